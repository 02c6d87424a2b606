#include "LRGraphics.h"

#include "imaging/JpegReader.h"
#include "platform/PRegularFile.h"
#include "services/CException.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPainter>
#include <algorithm>
#include <cstdio>

// ---- bitmap ---------------------------------------------------------------------------

QImage TLRBitmap::ToImage() const {
    if (FImage.isNull())
        return QImage();
    if (FImage.format() == QImage::Format_RGB32)
        return FImage;
    return FImage.convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<TLRGraphic> TLRBitmap::Clone() const {
    return std::make_unique<TLRBitmap>(*this);
}

void TLRBitmap::SetSize(int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == Width() && height == Height())
        return;
    if (width == 0 || height == 0) {
        FImage = QImage();
        return;
    }
    const QImage::Format format =
        FPixelFormat == TPixelFormat::pf1bit ? QImage::Format_Mono : QImage::Format_RGB32;
    QImage next(width, height, format);
    next.fill(Qt::white);
    if (!FImage.isNull()) {
        if (format == QImage::Format_Mono) {
            next = FImage.copy(0, 0, width, height);
        } else {
            QPainter p(&next);
            p.drawImage(0, 0, FImage, 0, 0, std::min(width, Width()), std::min(height, Height()));
        }
    }
    FImage = next;
}

void TLRBitmap::SetPixelFormat(TPixelFormat format) {
    FPixelFormat = format;
    if (FImage.isNull())
        return;
    if (format == TPixelFormat::pf1bit)
        FImage = FImage.convertToFormat(QImage::Format_Mono);
    else if (FImage.format() != QImage::Format_RGB32)
        FImage = FImage.convertToFormat(QImage::Format_RGB32);
}

void TLRBitmap::Assign(const TLRGraphic& source) {
    if (&source == this)
        return;
    SetImage(source.ToImage());
}

void TLRBitmap::SetImage(const QImage& image) {
    if (image.isNull()) {
        FImage = QImage();
        return;
    }
    if (image.hasAlphaChannel()) {
        // Transparent pixels become white, as on a bitmap without an alpha channel.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter p(&flat);
        p.drawImage(0, 0, image);
        FImage = flat;
    } else {
        FImage = image.format() == QImage::Format_RGB32
                     ? image
                     : image.convertToFormat(QImage::Format_RGB32);
    }
    FPixelFormat = TPixelFormat::pf32bit;
}

bool TLRBitmap::LoadFromFile(const QString& path) {
    QFile file;
    QImage image;
    if (!POpenRegularFile(file, path) || !image.load(&file, "BMP"))
        return false;
    SetImage(image);
    return true;
}

// ---- JPEG ----------------------------------------------------------------------------

QImage TLRJPEGImage::ToImage() const {
    if (FData.isEmpty())
        return QImage();
    QImage raster;
    int w = 0, h = 0;
    try {
        // No box: the whole picture at full size.
        DecodeJpegData(reinterpret_cast<const uchar*>(FData.constData()), size_t(FData.size()),
                       QStringLiteral("the picture"), 0, 0, w, h, raster);
    } catch (const Exception& e) {
        throw Exception(QStringLiteral("JPEG image cannot be decoded: %1").arg(e.Message()));
    }
    return raster.convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<TLRGraphic> TLRJPEGImage::Clone() const {
    return std::make_unique<TLRJPEGImage>(*this);
}

void TLRJPEGImage::LoadFromData(const QByteArray& data) {
    // Decoded once at the smallest scale: a file that cannot be printed is refused here,
    // before it is taken, and the full size comes from its header.
    QImage unused;
    int w = 0, h = 0;
    try {
        DecodeJpegData(reinterpret_cast<const uchar*>(data.constData()), size_t(data.size()),
                       QStringLiteral("the picture"), 1, 1, w, h, unused);
    } catch (const Exception& e) {
        throw Exception(QStringLiteral("JPEG image cannot be read: %1").arg(e.Message()));
    }
    FData = data;
    FWidth = w;
    FHeight = h;
}

void TLRJPEGImage::LoadFromFile(const QString& path) {
    QFile file;
    if (!POpenRegularFile(file, path))
        throw Exception(QStringLiteral("Cannot open \"%1\".").arg(path));
    LoadFromData(file.readAll());
}

// ---- device-independent bitmap --------------------------------------------------------

QImage TDibImage::ToImage() const {
    return FImage.isNull() ? QImage() : FImage.convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<TLRGraphic> TDibImage::Clone() const {
    return std::make_unique<TDibImage>(*this);
}

void TDibImage::LoadFromData(const QByteArray& data) {
    QByteArray file = data;
    if (!data.startsWith("BM")) {
        // A bare DIB: put a BMP file header in front so that the BMP reader takes it.
        if (data.size() < 40)
            throw Exception(QStringLiteral("Device independent bitmap is too short."));
        auto le32 = [&](int at) {
            return quint32(quint8(data[at])) | quint32(quint8(data[at + 1])) << 8 |
                   quint32(quint8(data[at + 2])) << 16 | quint32(quint8(data[at + 3])) << 24;
        };
        const quint32 headerSize = le32(0);
        const int bitCount = quint8(data[14]) | quint8(data[15]) << 8;
        const quint32 compression = le32(16);
        quint32 colours = le32(32);
        if (colours == 0 && bitCount <= 8)
            colours = 1u << bitCount;
        quint32 masks = (compression == 3 && headerSize == 40) ? 12 : 0;
        const quint32 offset = 14 + headerSize + masks + colours * 4;
        QByteArray header(14, 0);
        header[0] = 'B';
        header[1] = 'M';
        const quint32 size = 14 + quint32(data.size());
        for (int i = 0; i < 4; ++i) {
            header[2 + i] = char((size >> (8 * i)) & 0xFF);
            header[10 + i] = char((offset >> (8 * i)) & 0xFF);
        }
        file = header + data;
    }
    QImage image;
    if (!image.loadFromData(file, "BMP"))
        throw Exception(QStringLiteral("Device independent bitmap cannot be read."));
    FImage = image;
}

void TDibImage::LoadFromFile(const QString& path) {
    QFile file;
    if (!POpenRegularFile(file, path))
        throw Exception(QStringLiteral("Cannot open \"%1\".").arg(path));
    LoadFromData(file.readAll());
}

// ---- picture holder -------------------------------------------------------------------

namespace {
struct TFileFormat {
    QString Description;
    TLRPicture::TGraphicFactory Factory;
};

QMap<QString, TFileFormat>& FileFormats() {
    static QMap<QString, TFileFormat> formats = [] {
        QMap<QString, TFileFormat> f;
        auto bmp = [](const QByteArray& data) -> std::unique_ptr<TLRGraphic> {
            QImage image;
            if (!image.loadFromData(data, "BMP"))
                throw Exception(QStringLiteral("Bitmap image is not valid."));
            return std::make_unique<TLRBitmap>(image);
        };
        auto jpeg = [](const QByteArray& data) -> std::unique_ptr<TLRGraphic> {
            auto g = std::make_unique<TLRJPEGImage>();
            g->LoadFromData(data);
            return g;
        };
        f.insert("bmp", {"Bitmaps", bmp});
        f.insert("jpg", {"JPEG Image File", jpeg});
        f.insert("jpeg", {"JPEG Image File", jpeg});
        return f;
    }();
    return formats;
}

QMap<int, TLRPicture::TGraphicFactory>& ClipboardFormats() {
    static QMap<int, TLRPicture::TGraphicFactory> formats;
    return formats;
}

// The DIB kind registers itself for its file extension and the clipboard format while
// the program runs.
struct TDibRegistration {
    TDibRegistration() {
        auto make = [](const QByteArray& data) -> std::unique_ptr<TLRGraphic> {
            auto g = std::make_unique<TDibImage>();
            g->LoadFromData(data);
            return g;
        };
        TLRPicture::RegisterFileFormat("dib", "Device Independent Bitmap", make);
        TLRPicture::RegisterClipboardFormat(CF_DIB, make);
    }
    ~TDibRegistration() {
        TLRPicture::UnregisterFileFormat("dib");
        TLRPicture::UnregisterClipboardFormat(CF_DIB);
    }
};
const TDibRegistration DibRegistration;
} // namespace

void TLRPicture::Assign(const TLRPicture& other) {
    if (&other == this)
        return;
    FGraphic = other.FGraphic ? other.FGraphic->Clone() : nullptr;
}

TLRBitmap& TLRPicture::Bitmap() {
    auto* bitmap = dynamic_cast<TLRBitmap*>(FGraphic.get());
    if (!bitmap) {
        auto fresh = std::make_unique<TLRBitmap>();
        bitmap = fresh.get();
        FGraphic = std::move(fresh);
    }
    return *bitmap;
}

void TLRPicture::LoadFromFile(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    auto it = FileFormats().constFind(ext);
    if (it == FileFormats().constEnd())
        throw Exception(QStringLiteral("Unknown picture file extension (.%1)").arg(ext));
    QFile file;
    if (!POpenRegularFile(file, path))
        throw Exception(QStringLiteral("Cannot open \"%1\".").arg(path));
    FGraphic = it->Factory(file.readAll());
}

void TLRPicture::RegisterFileFormat(const QString& extension, const QString& description,
                                    TGraphicFactory factory) {
    FileFormats().insert(extension.toLower(), {description, std::move(factory)});
}

void TLRPicture::UnregisterFileFormat(const QString& extension) {
    FileFormats().remove(extension.toLower());
}

bool TLRPicture::FileFormatRegistered(const QString& extension, QString* description) {
    auto it = FileFormats().constFind(extension.toLower());
    if (it == FileFormats().constEnd())
        return false;
    if (description)
        *description = it->Description;
    return true;
}

void TLRPicture::RegisterClipboardFormat(int format, TGraphicFactory factory) {
    ClipboardFormats().insert(format, std::move(factory));
}

void TLRPicture::UnregisterClipboardFormat(int format) {
    ClipboardFormats().remove(format);
}

bool TLRPicture::ClipboardFormatRegistered(int format) {
    return ClipboardFormats().contains(format);
}

void TLRPicture::LoadFromClipboardFormat(int format, const QByteArray& data) {
    auto it = ClipboardFormats().constFind(format);
    if (it == ClipboardFormats().constEnd())
        throw Exception(QStringLiteral("Unsupported clipboard format"));
    FGraphic = (*it)(data);
}
