// Damaged files fed to the thumbnail maker: a fixed, reproducible set of mutations of real
// JPEG, PNG, TIFF and BMP files. Each one either makes a thumbnail that fits the box or
// raises Exception with a message; nothing else is acceptable.
#include "cache/CThGraphic.h"
#include "imaging/ImageTestUtil.h"
#include "services/CException.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace imgtest;

namespace {

QByteArray Mutate(const QByteArray& src, Rng& rng) {
    QByteArray d = src;
    const uint32_t n = uint32_t(d.size());
    switch (rng.Below(8)) {
    case 0: // a few bit flips anywhere
        for (uint32_t k = 1 + rng.Below(8); k > 0; --k)
            d[rng.Below(n)] = char(d[rng.Below(n)] ^ (1 << rng.Below(8)));
        break;
    case 1: // random bytes
        for (uint32_t k = 1 + rng.Below(16); k > 0; --k)
            d[rng.Below(n)] = char(rng.Next());
        break;
    case 2: { // a run of 0x00 or 0xFF
        const uint32_t at = rng.Below(n), len = 1 + rng.Below(64);
        for (uint32_t i = at; i < n && i < at + len; ++i)
            d[i] = rng.Below(2) ? char(0xFF) : char(0);
        break;
    }
    case 3: // cut short
        d.truncate(rng.Below(n));
        break;
    case 4: { // a chunk repeated
        const uint32_t at = rng.Below(n), len = 1 + rng.Below(256);
        d.insert(at, d.mid(at, len));
        break;
    }
    case 5: // a chunk left out
        d.remove(rng.Below(n), 1 + rng.Below(256));
        break;
    case 6: // the header: sizes, counts, offsets and markers live here
        for (uint32_t k = 1 + rng.Below(4); k > 0; --k)
            d[rng.Below(std::min<uint32_t>(n, 160))] = char(rng.Next());
        break;
    default: { // extreme values written over a header field
        const uint32_t at = rng.Below(std::min<uint32_t>(n, 200));
        const char v = rng.Below(2) ? char(0xFF) : char(0x7F);
        for (uint32_t i = at; i < n && i < at + 4; ++i)
            d[i] = v;
        break;
    }
    }
    return d;
}

} // namespace

TEST(ThGraphicRobustness, MutatedRealFilesNeverCrash) {
    struct {
        const char* Seed;
        const char* Ext;
        int Count;
    } seeds[] = {{"seed.jpg", "jpg", 80},
                 {"seed_progressive.jpg", "jpg", 60},
                 {"seed.png", "png", 60},
                 {"seed.tif", "tif", 60},
                 {"seed.bmp", "bmp", 60}};
    QTemporaryDir tmp;
    TThGraphic g;
    g.SetBoxWidth(64);
    g.SetBoxHeight(64);
    int made = 0, refused = 0, total = 0;
    uint64_t seedNo = 1;
    for (const auto& s : seeds) {
        const QByteArray original = ReadBytes(TestDataPath(s.Seed));
        ASSERT_FALSE(original.isEmpty()) << s.Seed;
        Rng rng(0xC0FFEE + seedNo++);
        for (int i = 0; i < s.Count; ++i) {
            const QByteArray data = Mutate(original, rng);
            // Now and then the content travels under another format's name.
            const char* ext = rng.Below(8) == 0 ? "jpg" : s.Ext;
            const QString file = tmp.path() + QString("/m%1_%2.%3").arg(s.Seed).arg(i).arg(ext);
            ASSERT_TRUE(WriteBytes(file, data));
            ++total;
            try {
                ASSERT_TRUE(g.MakeThumbnail(file));
                const QImage& t = g.Thumbnail();
                EXPECT_LE(t.width(), 64) << file.toStdString();
                EXPECT_LE(t.height(), 64) << file.toStdString();
                if (g.InnerSize().InnerHeight > 0 && g.InnerSize().InnerWidth > 0) {
                    EXPECT_EQ(t.size(), QSize(g.InnerSize().InnerWidth, g.InnerSize().InnerHeight));
                }
                int32_t w, h, size;
                QString a, b, c, l, v;
                EXPECT_TRUE(g.GetImageInfo(file, w, h, a, b, c, size, l, v));
                EXPECT_GT(w, 0);
                EXPECT_GT(h, 0);
                ++made;
            } catch (const Exception& e) {
                EXPECT_FALSE(e.Message().isEmpty()) << file.toStdString();
                EXPECT_EQ(g.LastFileName(), "");
                ++refused;
            } catch (...) {
                ADD_FAILURE() << "not an Exception: " << file.toStdString();
            }
            QFile::remove(file);
        }
    }
    EXPECT_EQ(total, 320);
    // Both outcomes occur: the set is not trivially all-broken or all-harmless.
    EXPECT_GT(made, 20);
    EXPECT_GT(refused, 20);
    std::printf("mutations: %d, thumbnails made: %d, refused with an error: %d\n", total, made,
                refused);
    // The maker still works afterwards.
    ASSERT_TRUE(g.MakeThumbnail(TestDataPath("dune.jpg")));
    EXPECT_EQ(g.Thumbnail().size(), QSize(64, 40));
}
