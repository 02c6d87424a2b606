#pragma once
// Helpers shared by the image reader and thumbnail maker tests (header only, so that the
// suites of both folders can use them).
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>
#include <initializer_list>
#include <libexif/exif-data.h>
#include <utility>

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

// A damaged copy: bit flips, random bytes, runs of 00 or FF, cut short, a chunk repeated or
// left out, or the header (sizes, counts, offsets, markers) overwritten.
inline QByteArray Mutate(QByteArray d, QRandomGenerator& rng) {
    const int n = int(d.size()), at = rng.bounded(n), len = 1 + rng.bounded(256);
    switch (rng.bounded(7)) {
    case 0:
        for (int k = 1 + rng.bounded(8); k > 0; --k)
            d[rng.bounded(n)] = char(d[rng.bounded(n)] ^ (1 << rng.bounded(8)));
        break;
    case 1:
        for (int k = 1 + rng.bounded(16); k > 0; --k)
            d[rng.bounded(n)] = char(rng.generate());
        break;
    case 2:
        d.replace(at, len / 4, QByteArray(len / 4, rng.bounded(2) ? char(0xFF) : char(0)));
        break;
    case 3:
        d.truncate(at);
        break;
    case 4:
        d.insert(at, d.mid(at, len));
        break;
    case 5:
        d.remove(at, len);
        break;
    default:
        for (int k = 1 + rng.bounded(4); k > 0; --k)
            d[rng.bounded(std::min(n, 200))] = rng.bounded(3) ? char(rng.generate()) : char(0xFF);
    }
    return d;
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

// Offset and total length (marker included) of the first APP1 "Exif" segment, or -1.
inline std::pair<int, int> FindApp1(const QByteArray& jpeg) {
    for (int i = 2; i + 4 <= jpeg.size() && uchar(jpeg[i + 1]) != 0xDA;) {
        const int len = qFromBigEndian<quint16>(jpeg.constData() + i + 2);
        if (uchar(jpeg[i + 1]) == 0xE1 && jpeg.mid(i + 4, 4) == "Exif")
            return {i, len + 2};
        i += 2 + len;
    }
    return {-1, 0};
}

// The camera's own block with some tags taken out, written back with libexif.
inline QByteArray WithoutTags(const QByteArray& jpeg, std::initializer_list<ExifTag> tags) {
    const auto [at, len] = FindApp1(jpeg);
    ExifData* ed = exif_data_new();
    exif_data_unset_option(ed, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(ed, reinterpret_cast<const uchar*>(jpeg.constData() + at + 4),
                        unsigned(len - 4));
    for (ExifTag t : tags)
        for (int i = 0; i < EXIF_IFD_COUNT; ++i)
            if (ExifEntry* e = exif_content_get_entry(ed->ifd[i], t))
                exif_content_remove_entry(ed->ifd[i], e);
    uchar* out = nullptr;
    unsigned int size = 0;
    exif_data_save_data(ed, &out, &size);
    exif_data_unref(ed);
    QByteArray segment("\xFF\xE1\0\0", 4);
    qToBigEndian(quint16(size + 2), segment.data() + 2);
    segment.append(reinterpret_cast<const char*>(out), qsizetype(size));
    free(out);
    return jpeg.left(at) + segment + jpeg.mid(at + len);
}

} // namespace imgtest
