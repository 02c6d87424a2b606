// Printer geometry in report units.
#include "Common/c_PrintGeometry.h"
#include "report/support_FakePrinter.h"

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
