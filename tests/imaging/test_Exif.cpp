// EXIF dates of real camera blocks and of blocks placed as other programs place them: the
// two date tags are read from any directory of a block that stands before the scan.
#include "ImageTestUtil.h"
#include "imaging/ExifReader.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

const char *const A = "2001:02:03 04:05:06", *const B = "2002:03:04 05:06:07";

// An APP1 "Exif" block (little-endian TIFF) with an ASCII tag holding A in IFD 0 and one
// holding B in the Exif sub-directory that IFD 0 points to.
QByteArray ExifBlock(uint16_t ifd0Tag, uint16_t subTag) {
    QByteArray t("Exif\0\0II*\0\x08\0\0\0", 14);
    auto u16 = [&](uint16_t v) { t.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); };
    const uint32_t sub = 8 + 30, text0 = sub + 18, text1 = text0 + 20;
    u16(2); // IFD 0, at 8
    u16(ifd0Tag), u16(2), u32(20), u32(text0);
    u16(0x8769), u16(4), u32(1), u32(sub);
    u32(0);
    u16(1); // the Exif sub-directory
    u16(subTag), u16(2), u32(20), u32(text1);
    u32(0);
    t.append(A, 19).append('\0').append(B, 19).append('\0');
    return QByteArray("\xFF\xE1", 2) + char((t.size() + 2) >> 8) + char((t.size() + 2) & 0xFF) + t;
}

} // namespace

TEST(Exif, DatesOfRealCameraBlocksAndOfEitherDirectory) {
    TExifReader exif;
    struct {
        const char* File;
        const char *Original, *DateTime;
    } const cases[] = {
        {"dune.jpg", "2007:08:06 10:29:13", "2008:07:22 22:19:57"}, // Canon: both, different
        {"exif_kodak_original_only.jpg", "2007:08:15 14:42:46", ""},
        {"exif_brother_nodate.jpg", "", ""}}; // Brother: neither
    for (const auto& c : cases) {
        ASSERT_TRUE(exif.Read(TestDataPath(c.File))) << c.File;
        EXPECT_EQ(exif.DateTimeOriginal(), c.Original) << c.File;
        EXPECT_EQ(exif.DateTime(), c.DateTime) << c.File;
    }

    // Either date in either directory; the digitised date (0x9004) is neither.
    const QByteArray seed = ReadAll(TestDataPath("seed.jpg"));
    struct {
        uint16_t Ifd0, Sub;
        QString Original, DateTime;
    } const blocks[] = {{0x0132, 0x9003, B, A}, {0x9003, 0x0132, A, B}, {0x0132, 0x9004, "", A}};
    for (const auto& c : blocks) {
        const QByteArray jpeg = seed.left(2) + ExifBlock(c.Ifd0, c.Sub) + seed.mid(2);
        ASSERT_TRUE(exif.ReadData(reinterpret_cast<const uchar*>(jpeg.constData()), jpeg.size()));
        EXPECT_EQ(exif.DateTimeOriginal(), c.Original) << c.Ifd0 << " " << c.Sub;
        EXPECT_EQ(exif.DateTime(), c.DateTime) << c.Ifd0 << " " << c.Sub;
    }
}

TEST(Exif, OnlyAJpegWithTheBlockBeforeTheScan) {
    TExifReader exif;
    ASSERT_TRUE(exif.Read(TestDataPath("dune.jpg")));
    // A failed read forgets the previous block.
    EXPECT_FALSE(exif.Read(TestDataPath("meadow_16bit.png")));
    EXPECT_EQ(exif.DateTime(), "");
    EXPECT_FALSE(exif.Read(TestDataPath("storm_progressive.jpg"))) << "no block";
    EXPECT_FALSE(exif.Read(TestDataPath("png_named.jpg")));
    EXPECT_FALSE(exif.Read("/nonexistent/x.jpg"));

    const QByteArray block = ExifBlock(0x0132, 0x9003);
    const QByteArray plain = ReadAll(TestDataPath("seed.jpg")); // no block of its own
    auto read = [&](const QByteArray& d, int size = -1) {
        return exif.ReadData(reinterpret_cast<const uchar*>(d.constData()),
                             size_t(size < 0 ? d.size() : size));
    };
    // The block after the start of scan does not count; after other segments but before the
    // scan it does; an APP1 that is not "Exif" (XMP, say) is passed over.
    EXPECT_FALSE(read(plain.left(plain.size() - 2) + block + QByteArray("\xFF\xD9", 2)));
    const int afterApp0 = 2 + 2 + ((uchar(plain[4]) << 8) | uchar(plain[5]));
    const QByteArray early = plain.left(afterApp0) + block + plain.mid(afterApp0);
    EXPECT_TRUE(read(early));
    EXPECT_EQ(exif.DateTime(), A);
    EXPECT_FALSE(read(plain.left(afterApp0) + QByteArray(block).replace(4, 4, "http") +
                      plain.mid(afterApp0)));

    // Damaged headers end the search without harm.
    for (int cut = 0; cut < afterApp0 + block.size() + 40; cut += 3) {
        read(early, cut);
        read(QByteArray(early).replace(cut, 1, "\xFF"));
    }
}
