#include "ImageTestUtil.h"
#include "imaging/ExifReader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace imgtest;

TEST(Exif, DatesOfRealCameraBlocks) {
    TExifReader exif;
    // Canon EOS Digital Rebel: both tags, with different values.
    ASSERT_TRUE(exif.Read(TestDataPath("dune.jpg")));
    EXPECT_EQ(exif.DateTimeOriginal(), "2007:08:06 10:29:13");
    EXPECT_EQ(exif.DateTime(), "2008:07:22 22:19:57");

    // Brother MFC-7840W: a block with neither tag.
    ASSERT_TRUE(exif.Read(TestDataPath("exif_brother_nodate.jpg")));
    EXPECT_EQ(exif.DateTimeOriginal(), "");
    EXPECT_EQ(exif.DateTime(), "");
    EXPECT_EQ(exif.TagText(0x010F), "Brother") << "the block was really read";

    // Kodak C663: only the shooting date.
    ASSERT_TRUE(exif.Read(TestDataPath("exif_kodak_original_only.jpg")));
    EXPECT_EQ(exif.DateTimeOriginal(), "2007:08:15 14:42:46");
    EXPECT_EQ(exif.DateTime(), "");

    // The Canon block without 0x9003: only 0x0132 is left.
    QTemporaryDir tmp;
    const QByteArray dune = ReadBytes(TestDataPath("dune.jpg"));
    const QString onlyDt = tmp.path() + "/only_datetime.jpg";
    ASSERT_TRUE(WriteBytes(onlyDt, WithoutTags(dune, {EXIF_TAG_DATE_TIME_ORIGINAL})));
    ASSERT_TRUE(exif.Read(onlyDt));
    EXPECT_EQ(exif.DateTimeOriginal(), "");
    EXPECT_EQ(exif.DateTime(), "2008:07:22 22:19:57");
    EXPECT_EQ(exif.TagText(0x0110), "Canon EOS DIGITAL REBEL");
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

    const QByteArray dune = ReadBytes(TestDataPath("dune.jpg"));
    const auto [at, len] = FindApp1(dune);
    ASSERT_GT(at, 0);
    const QByteArray block = dune.mid(at, len);
    const QByteArray plain = ReadBytes(TestDataPath("seed.jpg")); // no block of its own
    ASSERT_EQ(FindApp1(plain).first, -1);

    // The block after the start of scan does not count.
    const QByteArray late = plain.left(plain.size() - 2) + block + QByteArray("\xFF\xD9", 2);
    EXPECT_FALSE(exif.ReadData(reinterpret_cast<const uchar*>(late.constData()), late.size()));
    // After other segments but before the scan it does.
    const int afterApp0 = 2 + 2 + ((uchar(plain[4]) << 8) | uchar(plain[5]));
    const QByteArray early = plain.left(afterApp0) + block + plain.mid(afterApp0);
    EXPECT_TRUE(exif.ReadData(reinterpret_cast<const uchar*>(early.constData()), early.size()));
    EXPECT_EQ(exif.DateTime(), "2008:07:22 22:19:57");
    // An APP1 that is not "Exif" (XMP, say) is passed over.
    QByteArray xmp = block;
    xmp.replace(4, 4, "http");
    const QByteArray other = plain.left(afterApp0) + xmp + plain.mid(afterApp0);
    EXPECT_FALSE(exif.ReadData(reinterpret_cast<const uchar*>(other.constData()), other.size()));

    // Damaged headers end the search without harm.
    for (int cut = 0; cut < early.size() && cut < at + len + 40; cut += 7) {
        exif.ReadData(reinterpret_cast<const uchar*>(early.constData()), size_t(cut));
        QByteArray broken = early;
        broken[qMin(cut, int(broken.size()) - 1)] = char(0xFF);
        exif.ReadData(reinterpret_cast<const uchar*>(broken.constData()), broken.size());
        exif.DateTime();
    }
}
