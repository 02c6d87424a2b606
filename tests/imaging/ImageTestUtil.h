#pragma once
// Helpers shared by the image reader and thumbnail maker tests (header only, so that the
// suites of both folders can use them).
#include "support/TestSupport.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <libexif/exif-data.h>
#include <utility>

namespace imgtest {

inline QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool WriteBytes(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Mean absolute difference per channel of two images of the same size (RGB compared).
inline double MeanAbsDiff(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 1e9;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int j = 0; j < x.height(); ++j) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(j));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(j));
        for (int i = 0; i < x.width(); ++i)
            sum += std::abs(qRed(p[i]) - qRed(q[i])) + std::abs(qGreen(p[i]) - qGreen(q[i])) +
                   std::abs(qBlue(p[i]) - qBlue(q[i]));
    }
    return sum / (3.0 * x.width() * x.height());
}

// Qt's own full decode of a file, laid on white and smoothly scaled to the given size: an
// independent reference for what a thumbnail should look like.
inline QImage Reference(const QString& path, const QSize& size) {
    QImage img(path);
    if (img.isNull())
        return {};
    QImage white(img.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    if (img.hasAlphaChannel()) {
        const QImage src = img.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < src.height(); ++y)
            for (int x = 0; x < src.width(); ++x) {
                const QRgb c = src.pixel(x, y);
                const int a = qAlpha(c);
                white.setPixel(x, y,
                               qRgb((qRed(c) * a + 255 * (255 - a)) / 255,
                                    (qGreen(c) * a + 255 * (255 - a)) / 255,
                                    (qBlue(c) * a + 255 * (255 - a)) / 255));
            }
        img = white;
    }
    return img.convertToFormat(QImage::Format_RGB32)
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A deterministic generator (xorshift64*), the same on every platform.
class Rng {
public:
    explicit Rng(uint64_t seed) : FState(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint64_t Next() {
        FState ^= FState >> 12;
        FState ^= FState << 25;
        FState ^= FState >> 27;
        return FState * 0x2545F4914F6CDD1Dull;
    }
    uint32_t Below(uint32_t n) { return n ? uint32_t(Next() % n) : 0; }

private:
    uint64_t FState;
};

// A damaged copy: bit flips, random bytes, runs of 00 or FF, cut short, a chunk repeated or
// left out, or the header (sizes, counts, offsets, markers) overwritten.
inline QByteArray Mutate(QByteArray d, Rng& rng) {
    const uint32_t n = uint32_t(d.size()), head = std::min<uint32_t>(n, 200);
    const uint32_t at = rng.Below(n), len = 1 + rng.Below(256);
    switch (rng.Below(7)) {
    case 0:
        for (uint32_t k = 1 + rng.Below(8); k > 0; --k)
            d[rng.Below(n)] = char(d[rng.Below(n)] ^ (1 << rng.Below(8)));
        break;
    case 1:
        for (uint32_t k = 1 + rng.Below(16); k > 0; --k)
            d[rng.Below(n)] = char(rng.Next());
        break;
    case 2:
        for (uint32_t i = at; i < n && i < at + len / 4; ++i)
            d[i] = rng.Below(2) ? char(0xFF) : char(0);
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
        for (uint32_t k = 1 + rng.Below(4); k > 0; --k)
            d[rng.Below(head)] = rng.Below(3) ? char(rng.Next()) : char(0xFF);
        break;
    }
    return d;
}

// A copy of a JPEG whose frame header claims the given size.
inline QByteArray JpegWithSize(QByteArray jpeg, int width, int height) {
    for (int i = 2; i + 9 < jpeg.size();) {
        if (uchar(jpeg[i]) != 0xFF)
            break;
        const uchar m = uchar(jpeg[i + 1]);
        const int len = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (m == 0xC0 || m == 0xC1 || m == 0xC2) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
        i += 2 + len;
    }
    return {};
}

inline uint32_t Crc32(const char* data, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= uchar(data[i]);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

// A copy of a PNG whose IHDR claims the given size (with a correct checksum).
inline QByteArray PngWithSize(QByteArray png, uint32_t width, uint32_t height) {
    // Signature (8), length (4), "IHDR" (4), width, height, ..., CRC after 13 data bytes.
    if (png.size() < 33 || png.mid(12, 4) != "IHDR")
        return {};
    auto put = [&](int at, uint32_t v) {
        png[at] = char(v >> 24);
        png[at + 1] = char(v >> 16);
        png[at + 2] = char(v >> 8);
        png[at + 3] = char(v);
    };
    put(16, width);
    put(20, height);
    put(29, Crc32(png.constData() + 12, 17));
    return png;
}

// Offset and total length (marker included) of the first APP1 "Exif" segment, or -1.
inline std::pair<int, int> FindApp1(const QByteArray& jpeg) {
    for (int i = 2; i + 4 <= jpeg.size();) {
        const uchar m = uchar(jpeg[i + 1]);
        const int len = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (m == 0xE1 && jpeg.mid(i + 4, 4) == "Exif")
            return {i, len + 2};
        if (m == 0xDA)
            break;
        i += 2 + len;
    }
    return {-1, 0};
}

// The camera's own block with some tags taken out, written back with libexif.
inline QByteArray WithoutTags(const QByteArray& jpeg, std::initializer_list<ExifTag> tags) {
    const auto [at, len] = FindApp1(jpeg);
    if (at < 0)
        return {};
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
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((size + 2) >> 8)).append(char((size + 2) & 0xFF));
    segment.append(reinterpret_cast<const char*>(out), qsizetype(size));
    free(out);
    return jpeg.left(at) + segment + jpeg.mid(at + len);
}

} // namespace imgtest
