// Printer geometry in report units and the quarter turns of a picture.
#include "Common/c_PrintGeometry.h"
#include "Common/c_Rotate.h"
#include "report/support_FakePrinter.h"

#include <gtest/gtest.h>

TEST(PrintGeometry, PaperAndPrintableAreaForA4AndLetterAtTwoResolutions) {
    struct TCase {
        const char* Name;
        int Dpi;
        QSize Paper;
        QPoint Offset;
        TRect ExpectPaper, ExpectPrintable;
    };
    const TCase cases[] = {
        {"A4 600 dpi", 600, {4961, 7016}, {0, 0}, {0, 0, 794, 1123}, {0, 0, 794, 1123}},
        {"A4 300 dpi, 6 mm", 300, {2480, 3508}, {71, 71}, {0, 0, 794, 1123}, {23, 23, 771, 1100}},
        {"Letter 600 dpi", 600, {5100, 6600}, {100, 150}, {0, 0, 816, 1056}, {16, 24, 800, 1032}}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TScopedFakePrinter p;
        p.Fake.Dpi = c.Dpi;
        p.Fake.Paper = c.Paper;
        p.Fake.Offset = c.Offset;
        EXPECT_EQ(PaperRect(), c.ExpectPaper);
        EXPECT_EQ(PrintableRect(), c.ExpectPrintable);
        EXPECT_EQ(PaperRect(&p.Fake), c.ExpectPaper); // the same printer handed in
    }
}

TEST(PrintGeometry, DeviceModeScaleOfZeroCountsAsFullSize) {
    TScopedFakePrinter p;
    for (int scale : {0, -5}) {
        p.Fake.Mode.Scale = int16_t(scale);
        EXPECT_EQ(PaperRect().Right, 794) << scale;
    }
    // At half scale a device pixel covers twice the paper.
    p.Fake.Mode.Scale = 50;
    EXPECT_EQ(PaperRect().Right, 1588);
    // Unreadable capabilities give no paper instead of a division by zero.
    p.Fake.CapsUnreadable = true;
    p.Fake.Mode.Scale = 100;
    EXPECT_EQ(PaperRect(), TRect{});
}

TEST(RotateBitmap, QuarterTurnsMoveEveryPixelAndSwapTheSides) {
    // A 3 x 2 picture with a distinct colour per pixel.
    QImage src(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.setPixel(x, y, qRgb(x * 80, y * 120, 7));
    struct TCase {
        int Mode;
        QSize Size;
        QPoint TopLeftComesFrom; // the source pixel that lands at (0, 0)
        QPoint SourceOf21;       // for pictures 3 wide: where (2, 1) of the result comes from
    };
    const TCase cases[] = {
        {0, {3, 2}, {0, 0}, {2, 1}},
        {1, {2, 3}, {2, 0}, {0, 1}}, // counter-clockwise: the top-right corner goes to top-left
        {2, {3, 2}, {2, 1}, {0, 0}},
        {3, {2, 3}, {0, 1}, {2, 0}}, // clockwise: the bottom-left corner goes to top-left
        {5, {2, 3}, {2, 0}, {0, 1}}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Mode);
        QImage img = src;
        RotateBitmap(img, c.Mode, 0x0000FF);
        ASSERT_EQ(img.size(), c.Size);
        EXPECT_EQ(img.format(), QImage::Format_RGB888);
        EXPECT_EQ(img.pixel(0, 0), src.pixel(c.TopLeftComesFrom));
        if (c.Size.width() == 3)
            EXPECT_EQ(img.pixel(2, 1), src.pixel(c.SourceOf21));
        else
            EXPECT_EQ(img.pixel(1, 2), src.pixel(c.SourceOf21));
    }
}
