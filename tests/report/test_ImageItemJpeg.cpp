// JPEG pictures in the image item, damaged in every way a file can be: each is either
// refused when it is taken, with a readable reason and the item's picture unchanged, or
// printed whole. Run under the address sanitizer (the fuzz build) this also shows that a
// failed decode leaves nothing behind.
#include "report/LightRepEx.h"
#include "support/TestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// Where the entropy-coded data of the first scan begins.
qsizetype ScanStart(const QByteArray& jpeg) {
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0)
        return -1;
    const int len = (uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]);
    return sos + 2 + len;
}

} // namespace

TEST(ImageItemJpeg, DamagedPicturesAreRefusedWhenTakenAndWholeOnesPrintWhole) {
    const QByteArray dune = ReadAll(TestDataPath("dune.jpg"));
    const qsizetype scan = ScanStart(dune);
    ASSERT_GT(scan, 0);
    struct TCase {
        const char* Name;
        QByteArray Data;
        bool Good;
    };
    const TCase cases[] = {
        {"whole", dune, true},
        {"progressive", ReadAll(TestDataPath("storm_progressive.jpg")), true},
        {"CMYK", ReadAll(TestDataPath("blinds_cmyk.jpg")), true},
        {"header only", dune.left(scan), false},
        {"cut in the scan", dune.left(scan + (dune.size() - scan) / 3), false},
        {"a second start of image in the scan",
         dune.left(scan + 400) + QByteArray("\xFF\xD8", 2) + dune.mid(scan + 400), false},
        {"cut progressive", ReadAll(TestDataPath("storm_progressive.jpg")).chopped(2000), false},
        {"not a picture", QByteArray("not a jpeg at all"), false},
        {"empty", QByteArray(), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TLRJPEGImage jpeg;
        try {
            jpeg.LoadFromData(c.Data);
            ASSERT_TRUE(c.Good) << "a damaged picture was taken";
        } catch (const Exception& e) {
            EXPECT_FALSE(c.Good) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().startsWith("JPEG image cannot be read: "))
                << e.Message().toStdString();
            EXPECT_TRUE(jpeg.Empty());
            continue;
        }
        const QImage image = jpeg.ToImage();
        QImage reference;
        ASSERT_TRUE(reference.loadFromData(c.Data, "JPEG"));
        ASSERT_EQ(image.size(), reference.size());
        EXPECT_EQ(QSize(jpeg.Width(), jpeg.Height()), reference.size());
        reference = reference.convertToFormat(QImage::Format_RGB32);
        double diff = 0;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7) {
                const QRgb a = image.pixel(x, y), b = reference.pixel(x, y);
                diff += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                        std::abs(qBlue(a) - qBlue(b));
            }
        EXPECT_LT(diff / ((image.width() / 7.0) * (image.height() / 7.0) * 3), 4.0);
    }

    // A refused picture leaves the one held before.
    TLRJPEGImage held;
    held.LoadFromData(dune);
    EXPECT_THROW(held.LoadFromData(dune.left(scan + 100)), Exception);
    EXPECT_EQ(held.Data(), dune);
}
