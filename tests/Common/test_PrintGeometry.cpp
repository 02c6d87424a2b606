// Printer geometry in report units and the quarter turns of a picture.
#include "Common/c_PrintGeometry.h"
#include "Common/c_Rotate.h"
#include "report/support_FakePrinter.h"

#include <QTransform>
#include <gtest/gtest.h>

TEST(PrintGeometry, PaperAndPrintableAreaForA4AndLetterAtTwoResolutionsAndOddScales) {
    struct TCase {
        int Dpi;
        QSize Paper;
        QPoint Offset;
        TRect ExpectPaper, ExpectPrintable;
    };
    const TCase cases[] = {
        {300, {2480, 3508}, {71, 71}, {0, 0, 794, 1123}, {23, 23, 771, 1100}},    // A4, 6 mm
        {600, {5100, 6600}, {100, 150}, {0, 0, 816, 1056}, {16, 24, 800, 1032}}}; // Letter
    for (const TCase& c : cases) {
        TScopedFakePrinter p;
        p.Fake.Dpi = c.Dpi;
        p.Fake.Paper = c.Paper;
        p.Fake.Offset = c.Offset;
        EXPECT_EQ(PaperRect(), c.ExpectPaper) << c.Dpi;
        EXPECT_EQ(PrintableRect(), c.ExpectPrintable) << c.Dpi;
    }
    // A device-mode scale of 0 or below is full size; at half scale a device pixel covers
    // twice the paper. Unreadable capabilities give no paper, not a division by zero.
    TScopedFakePrinter p;
    for (auto [scale, right] : {std::pair{0, 794}, {-5, 794}, {50, 1588}}) {
        p.Fake.Mode.Scale = int16_t(scale);
        EXPECT_EQ(PaperRect().Right, right) << scale;
    }
    p.Fake.CapsUnreadable = true;
    p.Fake.Mode.Scale = 100;
    EXPECT_EQ(PaperRect(), TRect{});
}

TEST(RotateBitmap, QuarterTurnsCounterClockwiseMoveEveryPixel) {
    QImage src(3, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.setPixel(x, y, qRgb(x * 80, y * 120, 7));
    for (int mode : {0, 1, 2, 3, 5}) {
        QImage img = src;
        RotateBitmap(img, mode, 0x0000FF);
        EXPECT_EQ(img, src.transformed(QTransform().rotate(-90 * (mode % 4)))) << mode;
    }
}
