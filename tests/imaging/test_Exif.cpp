#include "ImageTestUtil.h"
#include "imaging/ExifReader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <libexif/exif-data.h>

using namespace imgtest;

namespace {

// Offset and total length (marker included) of the first APP1 "Exif" segment, or -1.
std::pair<int, int> FindApp1(const QByteArray& jpeg) {
    for (int i = 2; i + 4 <= jpeg.size();) {
        const uchar m = uchar(jpeg[i + 1]);
        const int len = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (m == 0xE1 && jpeg.mid(i + 4, 4) == "Exif")
            return {i, len + 2};
        if (m == 0xDA)
            break;
        i += 2 + len;
    }
    return {-1, 0};
}

// The camera's own block with some tags taken out, written back with libexif.
QByteArray WithoutTags(const QByteArray& jpeg, std::initializer_list<ExifTag> tags) {
    const auto [at, len] = FindApp1(jpeg);
    if (at < 0)
        return {};
    ExifData* ed = exif_data_new();
    exif_data_unset_option(ed, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(ed, reinterpret_cast<const uchar*>(jpeg.constData() + at + 4),
                        unsigned(len - 4));
    for (ExifTag t : tags)
        for (int i = 0; i < EXIF_IFD_COUNT; ++i)
            if (ExifEntry* e = exif_content_get_entry(ed->ifd[i], t))
                exif_content_remove_entry(ed->ifd[i], e);
    uchar* out = nullptr;
    unsigned int size = 0;
    exif_data_save_data(ed, &out, &size);
    exif_data_unref(ed);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((size + 2) >> 8)).append(char((size + 2) & 0xFF));
    segment.append(reinterpret_cast<const char*>(out), qsizetype(size));
    free(out);
    return jpeg.left(at) + segment + jpeg.mid(at + len);
}

} // namespace

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
