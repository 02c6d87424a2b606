// Formats read whole (TIFF, PNG, BMP, TGA) are reduced to the fitted size before they are
// converted, and the thumbnail is the very one the stretch of the whole raster gave.
// (bench/thumbnail_bench shows the time against Qt's own reader.)
#include "cache/CThGraphic.h"
#include "imaging/GraphicReader.h"
#include "support/TestSupport.h"

#include <QImageReader>
#include <gtest/gtest.h>

TEST(ReduceFirst, WholeRasterFormatsGiveTheFittedRasterAndTheSameThumbnail) {
    struct {
        const char* File;
        int BoxWidth, BoxHeight;
    } cases[] = {
        {"seed.tif", 30, 30},           {"multipage.tif", 120, 120},
        {"multipage.tif", 50, 200},     {"seed.png", 33, 17},
        {"ladybird_alpha.png", 90, 90}, {"meadow_16bit.png", 150, 100},
        {"garden_palette.bmp", 64, 64}, {"storm.tga", 40, 40},
        {"seed.bmp", 500, 500}, // smaller than the box: left whole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.File << " in " << c.BoxWidth << " x " << c.BoxHeight);
        const QString path = TestDataPath(c.File);
        int fw = 0, fh = 0, w = 0, h = 0;
        QImage whole, raster;
        DecodeImageFile(path, 0, 0, fw, fh, whole);
        DecodeImageFile(path, c.BoxWidth, c.BoxHeight, w, h, raster);
        ASSERT_FALSE(whole.isNull());
        ASSERT_FALSE(raster.isNull());
        EXPECT_EQ(QSize(w, h), QSize(fw, fh)); // the full size is reported either way
        EXPECT_EQ(raster.format(), QImage::Format_RGB888);

        const QSize fit = FitIntoBox(c.BoxWidth, c.BoxHeight, fw, fh);
        const bool reducible = fit.width() < fw && fit.height() < fh;
        EXPECT_EQ(raster.size(), reducible ? fit : whole.size());

        // The thumbnail maker's picture, against the whole raster stretched as before (PNG's
        // reader reduces while it reads, with its own filter).
        if (QImageReader(path).supportsOption(QImageIOHandler::ScaledSize))
            continue;
        TThGraphic maker;
        maker.SetBoxWidth(c.BoxWidth);
        maker.SetBoxHeight(c.BoxHeight);
        ASSERT_TRUE(maker.MakeThumbnail(path));
        QImage expected(fit, QImage::Format_RGB888);
        StretchDrawNearest(whole, expected, expected.rect());
        EXPECT_EQ(maker.Thumbnail(), expected);
    }
}
