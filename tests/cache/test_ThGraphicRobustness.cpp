// Damaged files fed to the thumbnail maker: a fixed, reproducible set of mutations of real
// JPEG, PNG, TIFF and BMP files. Each one either makes a thumbnail that fits the box or
// raises Exception with a message; nothing else is acceptable.
#include "cache/CThGraphic.h"
#include "imaging/ImageTestUtil.h"
#include "services/CException.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace imgtest;

TEST(ThGraphicRobustness, MutatedRealFilesNeverCrash) {
    QTemporaryDir tmp;
    TThGraphic g;
    g.SetBoxWidth(64);
    g.SetBoxHeight(64);
    int made = 0, refused = 0;
    Rng rng(0xC0FFEE);
    for (const char* seed :
         {"seed.jpg", "seed_progressive.jpg", "seed.png", "seed.tif", "seed.bmp"}) {
        const QByteArray original = ReadBytes(TestDataPath(seed));
        ASSERT_FALSE(original.isEmpty()) << seed;
        for (int i = 0; i < 64; ++i) {
            // Now and then the content travels under another format's name.
            const QString ext = rng.Below(8) == 0 ? "jpg" : QString(seed).section('.', -1);
            const QString file = tmp.path() + QString("/m%1.%2").arg(i).arg(ext);
            ASSERT_TRUE(WriteBytes(file, Mutate(original, rng)));
            try {
                ASSERT_TRUE(g.MakeThumbnail(file));
                const QSize inner(g.InnerSize().InnerWidth, g.InnerSize().InnerHeight);
                EXPECT_TRUE(inner.isEmpty() || g.Thumbnail().size() == inner) << file.toStdString();
                EXPECT_LE(inner.width(), 64);
                EXPECT_LE(inner.height(), 64);
                int32_t w = 0, h = 0, size;
                QString a, b, c, l, v;
                EXPECT_TRUE(g.GetImageInfo(file, w, h, a, b, c, size, l, v));
                EXPECT_TRUE(w > 0 && h > 0);
                ++made;
            } catch (const Exception& e) {
                EXPECT_FALSE(e.Message().isEmpty()) << file.toStdString();
                EXPECT_EQ(g.LastFileName(), "");
                ++refused;
            } catch (...) {
                ADD_FAILURE() << "not an Exception: " << file.toStdString();
            }
        }
    }
    // Both outcomes occur: the set is not trivially all-broken or all-harmless.
    EXPECT_GT(made, 20);
    EXPECT_GT(refused, 20);
    ASSERT_TRUE(g.MakeThumbnail(TestDataPath("dune.jpg")));
    EXPECT_EQ(g.Thumbnail().size(), QSize(64, 40));
}
