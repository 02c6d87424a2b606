#pragma once
// Test pictures stored lying as cameras store them: an upright picture of four coloured
// quarters laid into the raster the way each orientation tag describes, saved as a JPEG with
// an EXIF block carrying the tag. Turned correctly, all eight show the same upright picture.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <libexif/exif-data.h>

namespace oriented {

// 96 x 48: wider than high, so a quarter turn shows in the size too.
constexpr int UprightWidth = 96;
constexpr int UprightHeight = 48;

// The upright picture's quarters: top left, top right, bottom left, bottom right.
inline QColor Quarter(int i) {
    static const QColor colours[4] = {QColor(220, 30, 30), QColor(30, 200, 40), QColor(30, 60, 220),
                                      QColor(240, 220, 30)};
    return colours[i];
}

// The raster a camera stores for the tag: where stored row 0 and column 0 lie in the upright
// picture (1: top/left, 2: top/right, 3: bottom/right, 4: bottom/left, 5: left/top,
// 6: right/top, 7: right/bottom, 8: left/bottom).
inline QImage Stored(int tag) {
    const int W = UprightWidth, H = UprightHeight;
    const bool sideways = tag >= 5, flipX = tag == 2 || tag == 3 || tag == 6 || tag == 7,
               flipY = tag == 3 || tag == 4 || tag == 7 || tag == 8;
    QImage raster(sideways ? H : W, sideways ? W : H, QImage::Format_RGB32);
    for (int r = 0; r < raster.height(); ++r)
        for (int c = 0; c < raster.width(); ++c) {
            const int a = sideways ? r : c, b = sideways ? c : r;
            const int x = flipX ? W - 1 - a : a, y = flipY ? H - 1 - b : b;
            raster.setPixelColor(c, r, Quarter((y >= H / 2 ? 2 : 0) + (x >= W / 2 ? 1 : 0)));
        }
    return raster;
}

inline QImage Upright() {
    return Stored(1);
}

// A JPEG of the stored raster whose EXIF block carries the tag (0: no block at all); odd tags
// in Intel byte order, even ones in Motorola order.
inline QByteArray Jpeg(int tag) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    Stored(tag == 0 ? 1 : tag).save(&buffer, "JPG", 95);
    if (tag == 0)
        return jpeg;
    ExifData* ed = exif_data_new();
    const ExifByteOrder order = tag % 2 ? EXIF_BYTE_ORDER_INTEL : EXIF_BYTE_ORDER_MOTOROLA;
    exif_data_set_byte_order(ed, order);
    ExifEntry* e = exif_entry_new();
    exif_content_add_entry(ed->ifd[EXIF_IFD_0], e);
    exif_entry_initialize(e, EXIF_TAG_ORIENTATION);
    exif_set_short(e->data, order, ExifShort(tag));
    exif_entry_unref(e);
    uchar* out = nullptr;
    unsigned int size = 0;
    exif_data_save_data(ed, &out, &size);
    exif_data_unref(ed);
    // The block goes right after the start-of-image marker.
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((size + 2) >> 8)).append(char((size + 2) & 0xFF));
    segment.append(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

inline bool WriteJpeg(const QString& path, int tag) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(Jpeg(tag)) > 0;
}

// Whether a picture shows the upright picture: 2:1 and the middle of each quarter in that
// quarter's colour (within JPEG's tolerance); why receives what differs.
inline bool ShowsUpright(const QImage& img, QString* why = nullptr) {
    QString differs = img.isNull() ? QString("no picture")
                      : img.width() != 2 * img.height()
                          ? QString("size %1 x %2, not 2:1").arg(img.width()).arg(img.height())
                          : QString();
    for (int i = 0; i < 4 && differs.isEmpty(); ++i) {
        const QColor got =
            img.pixelColor(img.width() * (i % 2 ? 3 : 1) / 4, img.height() * (i / 2 ? 3 : 1) / 4);
        const QColor want = Quarter(i);
        const int off = std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                        std::abs(got.blue() - want.blue());
        if (off > 60)
            differs = QString("quarter %1 is %2, not %3").arg(i).arg(got.name(), want.name());
    }
    if (why && !differs.isEmpty())
        *why = differs;
    return differs.isEmpty();
}

} // namespace oriented
