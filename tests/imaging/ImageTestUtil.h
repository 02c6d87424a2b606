#pragma once
// Helpers shared by the image reader and thumbnail maker tests (header only, so that the
// suites of both folders can use them).
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QtEndian>

namespace imgtest {

// Mean absolute difference per channel of two images of the same size (RGB compared).
inline double MeanAbsDiff(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 1e9;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < 3 * x.width(); ++i)
            sum += std::abs(int(x.constScanLine(j)[i]) - int(y.constScanLine(j)[i]));
    return sum / (3.0 * x.width() * x.height());
}

// Qt's own full decode of a file, laid on white and smoothly scaled to the given size: an
// independent reference for what a thumbnail should look like.
inline QImage Reference(const QString& path, const QSize& size) {
    const QImage img(path);
    QImage white(img.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    QPainter(&white).drawImage(0, 0, img);
    return img.isNull() ? QImage()
                        : white.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A copy of a JPEG whose frame header claims the given size.
inline QByteArray JpegWithSize(QByteArray jpeg, int width, int height) {
    for (int i = 2; i + 9 < jpeg.size() && uchar(jpeg[i]) == 0xFF;
         i += 2 + qFromBigEndian<quint16>(jpeg.constData() + i + 2))
        if (uchar(jpeg[i + 1]) >= 0xC0 && uchar(jpeg[i + 1]) <= 0xC2) {
            qToBigEndian<quint16>(quint16(height), jpeg.data() + i + 5);
            qToBigEndian<quint16>(quint16(width), jpeg.data() + i + 7);
            return jpeg;
        }
    return {};
}

// A copy of a PNG whose IHDR claims the given size, with a correct checksum.
inline QByteArray PngWithSize(QByteArray png, uint32_t width, uint32_t height) {
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    uint32_t c = 0xFFFFFFFFu; // the CRC-32 of "IHDR" and its 13 data bytes
    for (int i = 12; i < 29; ++i) {
        c ^= uchar(png[i]);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    qToBigEndian(c ^ 0xFFFFFFFFu, png.data() + 29);
    return png;
}

} // namespace imgtest
