// Photographs past the pixel limit at full size still get their thumbnails: the limit binds
// what the decoder allocates at the scale it decodes. The files are made here with libjpeg,
// row by row, just over 134 megapixels, left half dark and right half light.
#include "ImageTestUtil.h"
#include "cache/CThGraphic.h"
#include "imaging/JpegReader.h"

#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 16400, kHeight = 8200; // 134.48 megapixels, over the 2^27 limit

// The picture, left half dark and right half light, as a baseline colour or a progressive
// grey file; returns the thumbnail expected in a 512 box.
QImage WriteLargeJpeg(const QString& path, bool progressiveGray) {
    const int n = progressiveGray ? 1 : 3;
    const QColor left = progressiveGray ? QColor(40, 40, 40) : QColor(220, 20, 20);
    const QColor right = progressiveGray ? QColor(220, 220, 220) : QColor(20, 20, 220);
    std::vector<JSAMPLE> row(size_t(kWidth) * n);
    for (int x = 0; x < kWidth; ++x)
        for (int k = 0; k < n; ++k)
            row[size_t(x) * n + k] = JSAMPLE((x < kWidth / 2 ? left : right).rgb() >> (16 - 8 * k));
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = n;
    c.in_color_space = progressiveGray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 50, TRUE);
    if (progressiveGray)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (JSAMPROW r = row.data(); c.next_scanline < c.image_height;)
        jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(out);
    QImage expected(512, 256, QImage::Format_RGB888);
    expected.fill(right);
    QPainter(&expected).fillRect(0, 0, 256, 256, left);
    return expected;
}

// The message of what the call raised; empty when it raised nothing.
QString Refusal(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

TEST(LargePhotos, OverTheLimitAtFullSizeStillMakeThumbnailsAndOnlyAFullDecodeIsRefused) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("large.jpg");
    for (const bool progressiveGray : {false, true}) {
        SCOPED_TRACE(progressiveGray ? "progressive grey" : "baseline colour");
        const QImage expected = WriteLargeJpeg(path, progressiveGray);
        TThGraphic maker;
        maker.SetBoxWidth(512);
        maker.SetBoxHeight(512);
        EXPECT_EQ(Refusal([&] { maker.MakeThumbnail(path); }), "");
        EXPECT_EQ(QSize(maker.Picture().Width(), maker.Picture().Height()), QSize(kWidth, kHeight));
        EXPECT_LT(imgtest::MeanAbsDiff(maker.Thumbnail(), expected), 10.0);

        // At full size the raster itself would pass the limit: a clear error, nothing else.
        int w = 0, h = 0;
        QImage raster;
        EXPECT_TRUE(
            Refusal([&] { DecodeJpegFile(path, 0, 0, w, h, raster); }).contains("too large"));
        EXPECT_TRUE(raster.isNull());
    }

    // A progressive file whose coefficients alone would need gigabytes is refused before the
    // decoder asks for them.
    const QByteArray jpeg =
        imgtest::JpegWithSize(ReadAll(TestDataPath("storm_progressive.jpg")), 60000, 60000);
    int w = 0, h = 0;
    QImage raster;
    const QString refusal = Refusal([&] {
        DecodeJpegData(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size()),
                       "bomb.jpg", 512, 512, w, h, raster);
    });
    EXPECT_TRUE(refusal.contains("too large") && refusal.contains("bomb.jpg"))
        << refusal.toStdString();
}
