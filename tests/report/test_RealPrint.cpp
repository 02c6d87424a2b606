// A real print through the private print server's "Velmora-PDF" queue (VELMORA_NEEDS_CUPS):
// the PDF the spooler received is checked with pdfinfo and measured on a pdftoppm raster.
#include "platform/PPrinter.h"
#include "report/LRBuilder.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QPageLayout>
#include <QPrinter>
#include <QThread>
#include <gtest/gtest.h>

TEST(RealPrint, TwoPagesReachTheSpoolerAtActualSizeWithTheOffsetCompensated) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "the print server fixture did not run";
    TQtPrinter printer;
    const int queue = int(printer.Printers().indexOf("Velmora-PDF"));
    ASSERT_GE(queue, 0) << printer.Printers().join(",").toStdString();
    printer.SetPrinterIndex(queue);
    TPrinter* old = SetApplicationPrinter(&printer);
    {
        TLightRep rep;
        TLRBuilder b(&rep);
        rep.SetPaperSize(psNone);
        rep.SetBounds(0, 0, 794, 1123);
        rep.Title = "realprint";
        // An unprintable margin of 12 mm left and 20 mm top: the origin is not the corner.
        rep.OnSetPrinter = [&](TLRControl*) {
            printer.QueuePrinter()->setPageSize(QPageSize(QPageSize::A4));
            printer.QueuePrinter()->setPageOrientation(QPageLayout::Portrait);
            printer.QueuePrinter()->setPageMargins(QMarginsF(12, 20, 12, 12),
                                                   QPageLayout::Millimeter);
        };
        auto* base = b.Layout("BasePanel", &rep, laClient);
        b.Item("Frame", base, [](TLRItem& i) {
            i.SetBounds(0, 0, 378, 378); // 100 mm between line centres at 600 dpi
            Lines(i, clBlack, lsSingle, lsSingle, lsSingle, lsSingle);
        });
        int offsetX = 0, offsetY = 0, dpi = 0;
        base->BeforePrint = [&](TLRControl*, const TRect&, TPrintStatus&) {
            offsetX = printer.GetDeviceCaps(PHYSICALOFFSETX);
            offsetY = printer.GetDeviceCaps(PHYSICALOFFSETY);
            dpi = printer.GetDeviceCaps(LOGPIXELSY);
        };
        b.Finish();
        rep.BeginDoc();
        rep.PrintPage();
        rep.NewPage();
        rep.PrintPage();
        rep.EndDoc();
        ASSERT_GT(dpi, 0);
        EXPECT_NEAR(offsetX * 25.4 / dpi, 12.0, 0.2); // Qt keeps margins in whole points
        EXPECT_NEAR(offsetY * 25.4 / dpi, 20.0, 0.2);
    }
    SetApplicationPrinter(old);
    ASSERT_GT(printer.LastJobId(), 0);
    const QString pdf = JobPdf(printer.LastJobId());
    ASSERT_FALSE(pdf.isEmpty()) << "the spooler kept no PDF for job " << printer.LastJobId();
    EXPECT_EQ(PdfPages(pdf), 2);
    EXPECT_TRUE(RunTool("pdfinfo", {pdf}).contains("(A4)"));

    const QString prefix = BuildDirPath("report-realprint");
    const QImage page1 = PdfPage(pdf, 1, prefix + "-1"), page2 = PdfPage(pdf, 2, prefix + "-2");
    ASSERT_FALSE(page1.isNull());
    ASSERT_FALSE(page2.isNull());

    // The frame's lines along a row and along a column.
    const double frameLeftMm = UnitsMm(37) - 6 / 600.0 * 25.4; // paper edge to line centre
    const QList<double> across = Runs(page1, UnitsToPx(37 + 360), true, IsDark);
    const QList<double> down = Runs(page1, UnitsToPx(37 + 300), false, IsDark);
    ASSERT_GE(across.size(), 2);
    ASSERT_GE(down.size(), 2);
    EXPECT_NEAR(PxToMm(across.last() - across.first()), 100.0, 0.3);
    EXPECT_NEAR(PxToMm(down.last() - down.first()), 100.0, 0.3);
    // Where the layout puts it on the paper, not 12 mm / 20 mm further in.
    EXPECT_NEAR(PxToMm(across.first()), frameLeftMm, 0.3);
    EXPECT_NEAR(PxToMm(down.first()), frameLeftMm, 0.3);
    EXPECT_EQ(Runs(page2, UnitsToPx(37 + 360), true, IsDark), across); // page 2 the same
}

TEST(RealPrint, AbortSendsNothingAndANewPrinterStartsFromItsDefaults) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "the print server fixture did not run";
    TQtPrinter printer;
    printer.SetPrinterIndex(int(printer.Printers().indexOf("Velmora-PDF")));
    TPrinter* old = SetApplicationPrinter(&printer);
    {
        TLightRep rep; // fixed A4 paper, portrait
        auto* base = new TLRLayoutPanel(&rep);
        base->SetParent(&rep);
        const int before = int(QDir(BuildDirPath("cups") + "/pdf").count());
        rep.BeginDoc();
        rep.PrintPage();
        rep.Abort();
        EXPECT_EQ(printer.LastJobId(), 0);
        QThread::msleep(300);
        EXPECT_EQ(int(QDir(BuildDirPath("cups") + "/pdf").count()), before);

        // The second queue (US Letter) chosen and turned to landscape as the print dialog
        // would: the next document resets it to its defaults but keeps what was chosen.
        printer.SetPrinterIndex(int(printer.Printers().indexOf("Velmora-PDF-2")));
        printer.QueuePrinter()->setPageOrientation(QPageLayout::Landscape);
        rep.SetPaperSize(psNone);
        QPageSize::PageSizeId seen = QPageSize::Custom;
        QPageLayout::Orientation orientation = QPageLayout::Landscape;
        rep.OnSetPrinter = [&](TLRControl*) {
            seen = printer.QueuePrinter()->pageLayout().pageSize().id();
            orientation = printer.QueuePrinter()->pageLayout().orientation();
        };
        rep.BeginDoc();
        rep.Abort();
        EXPECT_EQ(seen, QPageSize::Letter);
        EXPECT_EQ(orientation, QPageLayout::Landscape);
        EXPECT_EQ(rep.SeenPrinterIndex(), printer.PrinterIndex());
    }
    SetApplicationPrinter(old);
}
