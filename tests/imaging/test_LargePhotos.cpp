// Photographs past the pixel limit at full size still get their thumbnails: the limit binds
// what the decoder allocates at the scale it decodes. The files are made here with libjpeg,
// row by row: a baseline colour photograph and a progressive one, both just over
// 134 megapixels, left half red and right half blue.
#include "ImageTestUtil.h"
#include "cache/CThGraphic.h"
#include "imaging/GraphicReader.h"
#include "imaging/JpegReader.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 16400, kHeight = 8200; // 134.48 megapixels, over the 2^27 limit

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
    for (int x = 0; x < kWidth; ++x) {
        JSAMPLE* p = row.data() + size_t(x) * c.input_components;
        if (gray)
            p[0] = x < kWidth / 2 ? 40 : 220;
        else if (x < kWidth / 2)
            p[0] = 220, p[1] = 20, p[2] = 20;
        else
            p[0] = 20, p[1] = 20, p[2] = 220;
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(out) == 0;
}

bool Near(QRgb p, int r, int g, int b) {
    return std::abs(qRed(p) - r) < 24 && std::abs(qGreen(p) - g) < 24 &&
           std::abs(qBlue(p) - b) < 24;
}

} // namespace

TEST(LargePhotos, OverTheLimitAtFullSizeStillMakeThumbnailsAndOnlyAFullDecodeIsRefused) {
    QTemporaryDir tmp;
    struct {
        const char* Name;
        bool Progressive, Gray;
    } cases[] = {{"baseline.jpg", false, false}, {"progressive.jpg", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = tmp.filePath(c.Name);
        ASSERT_TRUE(WriteLargeJpeg(path, c.Progressive, c.Gray));

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
        EXPECT_EQ(maker.Picture().Width(), kWidth);
        EXPECT_EQ(maker.Picture().Height(), kHeight);
        const int r = c.Gray ? 40 : 220, g = c.Gray ? 40 : 20, b = c.Gray ? 40 : 20;
        EXPECT_TRUE(Near(t.pixel(100, 128), r, g, b)) << std::hex << t.pixel(100, 128);
        const int r2 = c.Gray ? 220 : 20, b2 = 220, g2 = c.Gray ? 220 : 20;
        EXPECT_TRUE(Near(t.pixel(400, 128), r2, g2, b2)) << std::hex << t.pixel(400, 128);

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
        QFile::remove(path);
    }

    // A progressive file whose coefficients alone would need gigabytes is refused before the
    // decoder asks for them.
    const QByteArray jpeg =
        imgtest::JpegWithSize(ReadAll(TestDataPath("storm_progressive.jpg")), 60000, 60000);
    ASSERT_FALSE(jpeg.isEmpty());
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
