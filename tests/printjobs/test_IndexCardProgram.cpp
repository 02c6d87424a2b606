// The built program prints an index card end to end (VELMORA_NEEDS_DISPLAY,
// VELMORA_NEEDS_CUPS): a folder of 73 photographs, "Print Index Card" from the File menu,
// Preview, then Print to the private print server's A4 queue and to its US Letter queue. The
// windows are driven with xdotool on the test display and left as screenshots under the
// build tree; the spooled PDF is measured page by page on pdftoppm rasters.
#include "Common/c_PrintGeometry.h"
#include "platform/PPrinter.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

constexpr int Photos = 73;

QColor ColourOf(int i) {
    return QColor(130 + (i % 4) * 40, 130 + ((i / 4) % 4) * 40, 130 + ((i / 16) % 5) * 30);
}

struct TQueueCase {
    QString Queue;
    QString PaperName; // as pdfinfo names it
    double WidthMm, HeightMm;
};

void PrintIndexCard(const TQueueCase& q) {
    ASSERT_FALSE(XvfbDisplay().isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";

    // Where the layout puts the cards on this queue's landscape paper.
    int printableHeight = 0;
    {
        TQtPrinter printer;
        const int index = int(printer.Printers().indexOf(q.Queue));
        ASSERT_GE(index, 0);
        printer.SetPrinterIndex(index);
        printer.SetOrientation(TPrinterOrientationKind::Landscape);
        printableHeight = PrintableRect(&printer).Height();
    }
    const int cardTop = 37 + (printableHeight - 454) / 2; // report units from the paper edge
    const int cardLeft = 37;

    QTemporaryDir photos;
    for (int i = 0; i < Photos; ++i) {
        QImage img(400, 300, QImage::Format_RGB32);
        img.fill(ColourOf(i));
        ASSERT_TRUE(
            img.save(photos.filePath(QString("p%1.jpg").arg(i, 3, 10, QChar('0'))), "JPG", 95));
    }
    TProgramRun run(q.Queue, photos.path());
    ASSERT_TRUE(run.WaitLoaded()) << run.Finish().toStdString();
    const QString settings = run.OpenFromFileMenu("i", "Print Index Card");
    ASSERT_FALSE(settings.isEmpty()) << run.Finish().toStdString();
    QThread::msleep(800);
    Shot(run.Display, QString("index_card_settings_%1.png").arg(q.Queue));

    Click(run.Display, settings, 632, 477); // Preview
    const QString preview = FindWindow(run.Display, "Preview");
    ASSERT_FALSE(preview.isEmpty());
    QThread::msleep(1200);
    Shot(run.Display, QString("index_card_preview_%1.png").arg(q.Queue));
    Click(run.Display, preview, 36, 15); // Close
    QThread::msleep(600);

    Click(run.Display, settings, 528, 477); // Print
    const QString pdf = run.WaitForPdf("Index_card");
    ASSERT_FALSE(pdf.isEmpty()) << run.Finish().toStdString();
    QThread::msleep(300);
    Click(run.Display, settings, 736, 477); // Close
    QThread::msleep(300);
    const QString out = run.Finish();
    EXPECT_TRUE(out.contains("Select A4 or US Letter as the paper size.")) << out.toStdString();

    EXPECT_EQ(PdfPages(pdf), 2);
    const QString prefix = BuildDirPath("index_card_" + q.Queue);
    const QImage page1 = PdfPage(pdf, 1, prefix + "-1"), page2 = PdfPage(pdf, 2, prefix + "-2");
    ASSERT_FALSE(page1.isNull());
    ASSERT_FALSE(page2.isNull());
    // Landscape paper of the queue's size.
    EXPECT_NEAR(PxToMm(page1.width()), q.WidthMm, 1.0);
    EXPECT_NEAR(PxToMm(page1.height()), q.HeightMm, 1.0);

    // Outlines: along a row through the empty title strips, the left edge, the shared middle
    // edge and the right edge; along a column near the right card's right edge, its top and
    // bottom.
    const QList<double> across = Runs(page1, MmToPx(UnitsMm(cardTop + 12)), true, IsDark);
    ASSERT_EQ(across.size(), 3) << q.Queue.toStdString();
    const QList<double> down = Runs(page1, MmToPx(UnitsMm(cardLeft + 2 * 454 - 8)), false, IsDark);
    ASSERT_GE(down.size(), 2);
    const double leftW = PxToMm(across[1] - across[0]), rightW = PxToMm(across[2] - across[1]);
    const double height = PxToMm(down.last() - down.first());
    std::printf("%s: cards %.2f and %.2f mm wide, %.2f mm high; left edge at %.2f mm, top at "
                "%.2f mm (layout: %.2f, %.2f)\n",
                qPrintable(q.Queue), leftW, rightW, height, PxToMm(across[0]), PxToMm(down.first()),
                UnitsMm(cardLeft), UnitsMm(cardTop));
    EXPECT_NEAR(leftW, 120.1, 0.3);
    EXPECT_NEAR(rightW, 120.1, 0.3);
    EXPECT_NEAR(height, 120.1, 0.3);
    EXPECT_NEAR(PxToMm(across[0]), UnitsMm(cardLeft), 0.3);
    EXPECT_NEAR(PxToMm(down.first()), UnitsMm(cardTop), 0.3);

    // Cells of the 6 x 6 grids (392 units high below a 30-unit title strip): the middle of
    // a cell's picture box holds the right photograph.
    auto cell = [&](bool right, int col, int row) {
        const int cw = 454 / 6;
        const int x = cardLeft + (right ? 454 : 0) + 454 * col / 6 + 3 + (cw - 5) / 2;
        const int ch = 392 / 6;
        const int y = cardTop + 30 + 392 * row / 6 + ch / 20 + ch * 15 / 40;
        return QPoint(MmToPx(UnitsMm(x)), MmToPx(UnitsMm(y)));
    };
    struct TSample {
        const QImage* Page;
        bool Right;
        int Col, Row, Item;
    };
    const TSample samples[] = {
        {&page1, true, 0, 0, 0},   {&page1, true, 1, 0, 1},   {&page1, true, 0, 1, 6},
        {&page1, true, 5, 5, 35},  {&page1, false, 0, 0, 36}, {&page1, false, 3, 2, 51},
        {&page1, false, 5, 5, 71}, {&page2, true, 0, 0, 72},  {&page2, true, 1, 0, -1},
        {&page2, false, 0, 0, -1},
    };
    for (const TSample& s : samples) {
        const QColor seen = Average(*s.Page, cell(s.Right, s.Col, s.Row));
        const QColor expect = s.Item >= 0 ? ColourOf(s.Item) : QColor(0xED, 0xED, 0xED);
        EXPECT_TRUE(Near(seen, expect))
            << q.Queue.toStdString() << (s.Right ? " right " : " left ") << s.Col << "," << s.Row
            << ": " << seen.name().toStdString() << " != " << expect.name().toStdString();
    }
}

} // namespace

TEST(IndexCardProgram, SeventyThreePhotosOnA4) {
    PrintIndexCard({"Velmora-PDF", "A4", 297, 210});
}

TEST(IndexCardProgram, SeventyThreePhotosOnLetter) {
    PrintIndexCard({"Velmora-PDF-2", "Letter", 279.4, 215.9});
}
