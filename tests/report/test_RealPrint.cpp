// The PDF printer and a real print through the private print server (VELMORA_NEEDS_CUPS):
// the pages have the paper, the page count and the layout's measures whatever unprintable
// margin the printer has; a document that fails or is aborted leaves no file, sends no job.
#include "platform/PPrinter.h"
#include "report/LRBuilder.h"
#include "report/LRPdfPrinter.h"
#include "services/CException.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QPrinter>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

namespace {
// A frame of 454 units (120.1 mm between its outer edges) at (100, 120) units of the base panel
// on every page; gives where the base panel begins on the paper, in units.
QPoint PrintFrames(TPrinter& printer, int pages, QSizeF mm = {210, 297}, bool abort = false,
                   const std::function<void(TLightRep&)>& setup = nullptr) {
    TPrinter* old = SetApplicationPrinter(&printer); // the printer the report starts from
    TLightRep rep;
    SetApplicationPrinter(old);
    TLRBuilder b(&rep);
    rep.SetPaperSize(psNone);
    rep.SetBounds(0, 0, int(mm.width() * 96 / 25.4), int(mm.height() * 96 / 25.4));
    b.Item("Frame", b.Layout("Base", &rep, laClient), [&](TLRItem& i) {
        i.SetBounds(100, 120, 454, 454);
        Lines(i, clBlack, lsSingle, lsSingle, lsSingle, lsSingle);
    });
    b.Finish();
    if (setup)
        setup(rep);
    rep.BeginDoc();
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            rep.NewPage();
        rep.PrintPage();
    }
    abort ? rep.Abort() : rep.EndDoc();
    return QPoint(rep.MarginLeft(), rep.MarginTop());
}

// The frame's lines on a page of the PDF, across its middle row and down its middle column:
// 120.1 mm apart at their outer edges and where the layout puts them on the paper.
void ExpectFrame(const QString& pdf, int page, const QPoint& origin) {
    const QImage img = PdfPage(pdf, page, BuildDirPath("report-frame"));
    // A line (1/96 in) lies outside the frame at the left and top, inside at the right and bottom.
    const double line = 25.4 / 96;
    for (const bool row : {true, false}) {
        const QPoint at = origin + QPoint(100, 120);
        const QList<double> runs = Runs(img, UnitsToPx((row ? at.y() : at.x()) + 227), row, IsDark);
        ASSERT_EQ(runs.size(), 2) << pdf.toStdString() << " page " << page
                                  << (row ? " row" : " column");
        EXPECT_NEAR(PxToMm(runs[1] - runs[0]) + line / 2, UnitsMm(454), 0.3);
        EXPECT_NEAR(PxToMm(runs[0]) - line / 2, UnitsMm(row ? at.x() : at.y()), 0.3);
    }
}
} // namespace

// (Landscape A4 is the command line's index card.)
TEST(PdfPrinter, FailureAndAbortLoseNothingAndPagesHaveThePaperAndTheLayoutsMeasures) {
    QTemporaryDir dir;
    const auto entries = [&] {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    // A folder that does not exist, a folder given as the file, a file given as a folder.
    WriteRaw(dir.filePath("plain"), "x");
    QDir(dir.path()).mkdir("sub.pdf");
    for (const QString& target : {dir.filePath("missing/out.pdf"), dir.filePath("sub.pdf"),
                                  dir.filePath("plain/out.pdf")}) {
        SCOPED_TRACE(target.toStdString());
        TPdfPrinter printer;
        printer.FileName = target;
        try {
            printer.BeginDoc();
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message().startsWith("Cannot write the PDF file \"" + target + "\""))
                << e.Message().toStdString();
        }
        EXPECT_FALSE(printer.Printing());
    }
    EXPECT_EQ(entries(), QStringList{"plain"});

    // Aborted halfway: an earlier file of the name is kept as it was, nothing else is left.
    TPdfPrinter printer;
    printer.SetDefaultPaper(QPageSize::Letter);
    printer.SetMargins({6.35, 3, 6.35, 3});
    printer.FileName = dir.filePath("old.pdf");
    WriteRaw(printer.FileName, "earlier");
    PrintFrames(printer, 2, {215.9, 279.4}, true);
    EXPECT_EQ(ReadAll(printer.FileName), QByteArray("earlier"));
    EXPECT_EQ(entries(), (QStringList{"old.pdf", "plain"}));

    // Finished, the document replaces it, the layout measured from the printable area's origin.
    const int dpi = printer.GetDeviceCaps(LOGPIXELSX);
    EXPECT_NEAR(printer.GetDeviceCaps(PHYSICALOFFSETX) * 25.4 / dpi, 6.35, 0.2);
    EXPECT_NEAR(printer.GetDeviceCaps(HORZRES) * 25.4 / dpi, 215.9 - 2 * 6.35, 0.2);
    const QPoint origin = PrintFrames(printer, 3, {215.9, 279.4});
    EXPECT_EQ(printer.PageCount(), 3);
    EXPECT_EQ(PdfPages(printer.FileName), 3);
    // Qt keeps the paper in whole points on some paths: within a fifth of a millimetre.
    const QRegularExpressionMatch size = QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+)")
                                             .match(RunTool("pdfinfo", {printer.FileName}));
    EXPECT_NEAR(size.captured(1).toDouble() / 72 * 25.4, 215.9, 0.2);
    EXPECT_NEAR(size.captured(2).toDouble() / 72 * 25.4, 279.4, 0.2);
    ExpectFrame(printer.FileName, 3, origin);
}

TEST(RealPrint, PagesReachTheSpoolerAtActualSizeAndAnAbortSendsNothing) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "the print server fixture did not run";
    TQtPrinter printer;
    printer.SetPrinterIndex(int(printer.Printers().indexOf("Velmora-PDF")));
    ASSERT_GE(printer.PrinterIndex(), 0) << printer.Printers().join(",").toStdString();
    // An unprintable margin of 12 mm left and 20 mm top: the origin is not the corner.
    const QPoint origin = PrintFrames(printer, 2, {210, 297}, false, [&](TLightRep& rep) {
        rep.Title = "realprint";
        rep.OnSetPrinter = [&](TLRControl*) {
            printer.QueuePrinter()->setPageSize(QPageSize(QPageSize::A4));
            printer.QueuePrinter()->setPageOrientation(QPageLayout::Portrait);
            printer.QueuePrinter()->setPageMargins(QMarginsF(12, 20, 12, 12),
                                                   QPageLayout::Millimeter);
        };
    });
    const double dpi = printer.GetDeviceCaps(LOGPIXELSY);
    EXPECT_NEAR(printer.GetDeviceCaps(PHYSICALOFFSETX) * 25.4 / dpi, 12.0, 0.2); // whole points
    EXPECT_NEAR(printer.GetDeviceCaps(PHYSICALOFFSETY) * 25.4 / dpi, 20.0, 0.2);
    const QString pdf = JobPdf(printer.LastJobId());
    ASSERT_FALSE(pdf.isEmpty()) << "the spooler kept no PDF for job " << printer.LastJobId();
    EXPECT_EQ(PdfPages(pdf), 2);
    EXPECT_TRUE(RunTool("pdfinfo", {pdf}).contains("(A4)"));
    ExpectFrame(pdf, 1, origin);
    ExpectFrame(pdf, 2, origin);

    // Aborted: no job, no PDF.
    const int files = int(QDir(BuildDirPath("cups") + "/pdf").count()), job = printer.LastJobId();
    PrintFrames(printer, 1, {210, 297}, true);
    EXPECT_EQ(printer.LastJobId(), job);
    QThread::msleep(300);
    EXPECT_EQ(int(QDir(BuildDirPath("cups") + "/pdf").count()), files);
}
