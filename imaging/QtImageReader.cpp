#include "QtImageReader.h"

#include "platform/PRegularFile.h"
#include "services/CException.h"

#include <QFile>
#include <QImageReader>
#include <cstring>
#include <memory>
#include <vector>

std::unique_ptr<TGraphicReader> TQtImageReader::Create() {
    return std::make_unique<TQtImageReader>();
}

void TQtImageReader::LoadFromFile(const QString& fileName) {
    FRaster = QImage();
    FWidth = FHeight = 0;
    FFormat.clear();
    DecodeImageFile(fileName, FBoxWidth, FBoxHeight, FWidth, FHeight, FRaster, &FFormat);
}

// The Qt format name for the file's extension, when Qt has a reader for it.
static QByteArray FormatOfSuffix(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || fileName.indexOf(u'/', dot) >= 0)
        return {};
    QByteArray ext = fileName.mid(dot + 1).toLower().toLatin1();
    if (ext == "icb" || ext == "vda" || ext == "vst" || ext == "win")
        ext = "tga";
    else if (ext == "tif" || ext == "fax")
        ext = "tiff";
    else if (ext == "dib" || ext == "rle")
        ext = "bmp";
    else if (ext == "jpe" || ext == "jfif")
        ext = "jpeg";
    return QImageReader::supportedImageFormats().contains(ext) ? ext : QByteArray();
}

bool QtCanDecode(const QString& fileName, QString* formatName) {
    QFile file;
    if (!POpenRegularFile(file, fileName))
        return false;
    QImageReader r(&file);
    r.setDecideFormatFromContent(true);
    const bool ok = r.canRead();
    if (ok && formatName)
        *formatName = QString::fromLatin1(r.format()).toUpper();
    return ok;
}

QImage ReduceNearest(const QImage& image, const QSize& size) {
    const int bytesPerPixel = image.depth() / 8;
    if (image.isNull() || size.isEmpty() || image.depth() % 8 != 0 || bytesPerPixel < 1)
        return image; // bit-packed formats: converted whole, as they are small anyway
    QImage out(size, image.format());
    if (out.isNull())
        throw Exception(QStringLiteral("Out of memory for a %1 x %2 image")
                            .arg(size.width())
                            .arg(size.height()));
    out.setColorTable(image.colorTable());
    const int64_t sw = image.width(), sh = image.height();
    const int64_t dw = size.width(), dh = size.height();
    // The source pixel under each target pixel's centre, as StretchDrawNearest takes it.
    std::vector<qsizetype> xoff(static_cast<size_t>(dw));
    for (int64_t i = 0; i < dw; ++i)
        xoff[size_t(i)] =
            qsizetype(std::min(sw - 1, ((2 * i + 1) * sw) / (2 * dw))) * bytesPerPixel;
    for (int64_t j = 0; j < dh; ++j) {
        const int sy = int(std::min(sh - 1, ((2 * j + 1) * sh) / (2 * dh)));
        const uchar* s = image.constScanLine(sy);
        uchar* d = out.scanLine(int(j));
        for (int64_t i = 0; i < dw; ++i, d += bytesPerPixel)
            std::memcpy(d, s + xoff[size_t(i)], size_t(bytesPerPixel));
    }
    return out;
}

QImage ToRgbOnWhite(const QImage& image) {
    if (image.isNull())
        return {};
    if (!image.hasAlphaChannel()) {
        QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        if (rgb.isNull())
            throw Exception(QStringLiteral("Out of memory for a %1 x %2 image")
                                .arg(image.width())
                                .arg(image.height()));
        return rgb;
    }
    const QImage src = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out = AcquireRaster(src.width(), src.height());
    if (src.isNull() || out.isNull())
        throw Exception(QStringLiteral("Out of memory for a %1 x %2 image")
                            .arg(image.width())
                            .arg(image.height()));
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        uchar* d = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x, d += 3) {
            // Premultiplied colour over white: c + (1 - alpha) * 255.
            const int blank = 255 - qAlpha(s[x]);
            d[0] = uchar(qRed(s[x]) + blank);
            d[1] = uchar(qGreen(s[x]) + blank);
            d[2] = uchar(qBlue(s[x]) + blank);
        }
    }
    return out;
}

void DecodeQtImageFile(const QString& fileName, int boxWidth, int boxHeight, int& width,
                       int& height, QImage& raster, QString* formatName) {
    QFile file;
    QString why;
    if (!POpenRegularFile(file, fileName, &why))
        throw Exception(QStringLiteral("Cannot open image file %1: %2").arg(fileName, why));
    if (file.size() == 0)
        throw Exception(QStringLiteral("Image file %1 is empty").arg(fileName));
    // The extension is asked first (some formats, TGA among them, have no signature to
    // recognise), then the content decides.
    auto reader = std::make_unique<QImageReader>(&file, FormatOfSuffix(fileName));
    if (reader->format().isEmpty() || !reader->canRead()) {
        file.seek(0);
        reader = std::make_unique<QImageReader>(&file);
        reader->setDecideFormatFromContent(true);
        if (!reader->canRead())
            throw Exception(QStringLiteral("Cannot read image file %1: unknown or unsupported "
                                           "image format")
                                .arg(fileName));
    }
    QImageReader& r = *reader;
    r.setAutoTransform(false);
    const QString format = QString::fromLatin1(r.format()).toUpper();
    QSize full = r.size();
    if (full.isValid() && int64_t(full.width()) * full.height() > kMaxImagePixels)
        throw Exception(QStringLiteral("Image file %1 is too large (%2 x %3 pixels; at most "
                                       "%4 pixels are decoded)")
                            .arg(fileName)
                            .arg(full.width())
                            .arg(full.height())
                            .arg(kMaxImagePixels));
    if (full.isValid() && boxWidth > 0 && boxHeight > 0 &&
        r.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize fit = FitIntoBox(boxWidth, boxHeight, full.width(), full.height());
        if (fit.width() > 0 && fit.height() > 0 && fit.width() < full.width() &&
            fit.height() < full.height())
            r.setScaledSize(fit);
    }
    // A whole-size read goes into memory kept from the previous picture of this thread:
    // readers that fill an image of the right size in place then write into pages already
    // mapped instead of fresh ones.
    QImage image;
    if (full.isValid() && r.scaledSize().isEmpty())
        image = AcquireDecodeTarget(full.width(), full.height(), r.imageFormat());
    if (!r.read(&image) || image.isNull())
        throw Exception(
            QStringLiteral("Cannot read image file %1: %2").arg(fileName, r.errorString()));
    if (!full.isValid())
        full = image.size();
    if (full.width() <= 0 || full.height() <= 0)
        throw Exception(QStringLiteral("Image file %1 has no pixels").arg(fileName));
    // A reader without a scaled read gives the whole raster: it is reduced to the fitted
    // size first and only the reduced picture converted. The reduction takes the pixels the
    // thumbnail's own stretch would take, so the thumbnail is the same.
    QImage reduced;
    if (boxWidth > 0 && boxHeight > 0) {
        const QSize fit = FitIntoBox(boxWidth, boxHeight, image.width(), image.height());
        if (fit.width() > 0 && fit.height() > 0 && fit.width() < image.width() &&
            fit.height() < image.height())
            reduced = ReduceNearest(image, fit);
    }
    raster = ToRgbOnWhite(reduced.isNull() ? image : reduced);
    width = full.width();
    height = full.height();
    if (formatName)
        *formatName = format;
}
