// Photographs past the pixel limit at full size still get their thumbnails: the limit binds
// what the decoder allocates at the scale it decodes. The files are made here with libjpeg,
// row by row, just over 134 megapixels, left half dark and right half light.
#include "ImageTestUtil.h"
#include "cache/CThGraphic.h"
#include "imaging/JpegReader.h"

#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 16400, kHeight = 8200; // 134.48 megapixels, over the 2^27 limit

// Colour: red left, blue right; grey: 40 left, 220 right.
bool WriteLargeJpeg(const QString& path, bool progressive, bool gray) {
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = gray ? 1 : 3;
    c.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 50, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(kWidth) * c.input_components);
    const JSAMPLE left[] = {220, 20, 20}, right[] = {20, 20, 220};
    for (int x = 0; x < kWidth; ++x)
        for (int k = 0; k < c.input_components; ++k)
            row[size_t(x) * c.input_components + k] =
                gray ? (x < kWidth / 2 ? 40 : 220) : (x < kWidth / 2 ? left[k] : right[k]);
    for (JSAMPROW r = row.data(); c.next_scanline < c.image_height;)
        jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(out) == 0;
}

int Distance(QRgb p, QRgb q) {
    return std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
           std::abs(qBlue(p) - qBlue(q));
}

} // namespace

TEST(LargePhotos, OverTheLimitAtFullSizeStillMakeThumbnailsAndOnlyAFullDecodeIsRefused) {
    QTemporaryDir tmp;
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive grey" : "baseline colour");
        const QString path = tmp.filePath("large.jpg");
        ASSERT_TRUE(WriteLargeJpeg(path, progressive, progressive));
        TThGraphic maker;
        maker.SetBoxWidth(512);
        maker.SetBoxHeight(512);
        try {
            ASSERT_TRUE(maker.MakeThumbnail(path));
        } catch (const std::exception& e) {
            FAIL() << "no thumbnail: " << e.what();
        }
        const QImage& t = maker.Thumbnail();
        ASSERT_EQ(t.size(), QSize(512, 256));
        EXPECT_EQ(QSize(maker.Picture().Width(), maker.Picture().Height()), QSize(kWidth, kHeight));
        EXPECT_LT(Distance(t.pixel(100, 128), progressive ? qRgb(40, 40, 40) : qRgb(220, 20, 20)),
                  60);
        EXPECT_LT(
            Distance(t.pixel(400, 128), progressive ? qRgb(220, 220, 220) : qRgb(20, 20, 220)), 60);

        // At full size the raster itself would pass the limit: a clear error, nothing else.
        int w = 0, h = 0;
        QImage raster;
        try {
            DecodeJpegFile(path, 0, 0, w, h, raster);
            ADD_FAILURE() << "a full-size decode was made";
        } catch (const std::exception& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains("too large")) << e.what();
        }
        EXPECT_TRUE(raster.isNull());
    }

    // A progressive file whose coefficients alone would need gigabytes is refused before the
    // decoder asks for them.
    const QByteArray jpeg =
        imgtest::JpegWithSize(ReadAll(TestDataPath("storm_progressive.jpg")), 60000, 60000);
    int w = 0, h = 0;
    QImage raster;
    try {
        DecodeJpegData(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size()),
                       "bomb.jpg", 512, 512, w, h, raster);
        ADD_FAILURE() << "the progressive bomb was decoded";
    } catch (const std::exception& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("too large")) << e.what();
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("bomb.jpg")) << e.what();
    }
}
