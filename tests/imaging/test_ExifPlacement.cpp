// EXIF dates wherever a camera or a program put them: the two date tags are read from any
// directory of the block, not only from the one the standard names.
#include "ImageTestUtil.h"
#include "imaging/ExifReader.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace imgtest;

namespace {

// An APP1 "Exif" block (little-endian TIFF) with one ASCII tag in IFD 0 and one in the
// Exif sub-directory that IFD 0 points to.
QByteArray ExifBlock(uint16_t ifd0Tag, const char* ifd0Text, uint16_t subTag, const char* subText) {
    QByteArray t("II*\0\x08\0\0\0", 8);
    auto u16 = [&](uint16_t v) { t.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            t.append(char((v >> (8 * i)) & 0xFF));
    };
    const uint32_t sub = 8 + 30, text0 = sub + 18, text1 = text0 + 20;
    u16(2); // IFD 0, at 8
    u16(ifd0Tag), u16(2), u32(20), u32(text0);
    u16(0x8769), u16(4), u32(1), u32(sub);
    u32(0);
    u16(1); // the Exif sub-directory
    u16(subTag), u16(2), u32(20), u32(text1);
    u32(0);
    t.append(ifd0Text, 19).append('\0');
    t.append(subText, 19).append('\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + t;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    return segment + payload;
}

} // namespace

TEST(ExifPlacement, BothDatesAreFoundInEitherDirectory) {
    struct TCase {
        const char* Name;
        uint16_t Ifd0Tag, SubTag;
    };
    const TCase cases[] = {
        {"where the standard puts them", 0x0132, 0x9003},
        {"the other way round", 0x9003, 0x0132},
    };
    const QByteArray seed = ReadBytes(TestDataPath("seed.jpg"));
    ASSERT_TRUE(seed.startsWith("\xFF\xD8"));
    QTemporaryDir tmp;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const char* ifd0Text = c.Ifd0Tag == 0x9003 ? "2001:02:03 04:05:06" : "2002:03:04 05:06:07";
        const char* subText = c.SubTag == 0x9003 ? "2001:02:03 04:05:06" : "2002:03:04 05:06:07";
        const QByteArray jpeg =
            seed.left(2) + ExifBlock(c.Ifd0Tag, ifd0Text, c.SubTag, subText) + seed.mid(2);
        const QString path = tmp.filePath("placed.jpg");
        ASSERT_TRUE(WriteBytes(path, jpeg));
        TExifReader exif;
        ASSERT_TRUE(exif.Read(path));
        EXPECT_EQ(exif.DateTimeOriginal(), "2001:02:03 04:05:06");
        EXPECT_EQ(exif.DateTime(), "2002:03:04 05:06:07");
    }
}
