#include "LRGraphics.h"

#include "platform/PRegularFile.h"
#include "services/CException.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPainter>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

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

// ---- JPEG through libjpeg -------------------------------------------------------------

namespace {
struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Text[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
    auto* err = reinterpret_cast<TJpegError*>(info->err);
    info->err->format_message(info, err->Text);
    std::longjmp(err->Jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

// Decodes (or with headerOnly just reads the size of) a JPEG image held in memory.
// Returns false and fills error on failure; libjpeg never exits or prints.
bool DecodeJpeg(const QByteArray& data, bool headerOnly, QImage* out, int* width, int* height,
                QString* error) {
    jpeg_decompress_struct info;
    TJpegError err;
    info.err = jpeg_std_error(&err.Manager);
    err.Manager.error_exit = JpegErrorExit;
    err.Manager.emit_message = JpegSilence;
    err.Text[0] = 0;
    QImage image;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&info);
        *error = QString::fromLatin1(err.Text);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    *width = static_cast<int>(info.image_width);
    *height = static_cast<int>(info.image_height);
    if (headerOnly) {
        jpeg_destroy_decompress(&info);
        return true;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    const int w = static_cast<int>(info.output_width);
    const int h = static_cast<int>(info.output_height);
    const int comps = info.output_components;
    image = QImage(w, h, QImage::Format_RGB32);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        *error = QStringLiteral("not enough memory for a %1 x %2 picture").arg(w).arg(h);
        return false;
    }
    std::vector<unsigned char> row(static_cast<size_t>(w) * comps);
    const bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        unsigned char* rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = row.data() + static_cast<size_t>(x) * comps;
            if (cmyk) {
                int c = p[0], m = p[1], yy = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                line[x] = qRgb(c * k / 255, m * k / 255, yy * k / 255);
            } else {
                line[x] = qRgb(p[0], p[1], p[2]);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    *out = image;
    return true;
}
} // namespace

QImage TLRJPEGImage::ToImage() const {
    if (FData.isEmpty())
        return QImage();
    QImage image;
    int w = 0, h = 0;
    QString error;
    if (!DecodeJpeg(FData, false, &image, &w, &h, &error))
        throw Exception(QStringLiteral("JPEG image cannot be decoded: %1").arg(error));
    return image;
}

std::unique_ptr<TLRGraphic> TLRJPEGImage::Clone() const {
    return std::make_unique<TLRJPEGImage>(*this);
}

void TLRJPEGImage::LoadFromData(const QByteArray& data) {
    QImage unused;
    int w = 0, h = 0;
    QString error;
    if (!DecodeJpeg(data, true, &unused, &w, &h, &error))
        throw Exception(QStringLiteral("JPEG image cannot be read: %1").arg(error));
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
