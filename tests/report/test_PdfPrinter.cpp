// The PDF printer: its pages have the paper, the page count and the measures of the layout,
// whatever unprintable margin it is given; a document that fails or is aborted leaves no file.
#include "report/LRBuilder.h"
#include "report/LRPdfPrinter.h"
#include "services/CException.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// One page per call: a square frame of `side` units at (left, top) in the page's base panel;
// gives where the base panel begins on the paper, in units.
int PrintFrames(TPdfPrinter& printer, int pages, int left, int top, int side, int width, int height,
                bool abort = false) {
    TPrinter* old = SetApplicationPrinter(&printer);
    int origin = 0;
    {
        TLightRep rep;
        rep.SetPrinter(&printer);
        TLRBuilder b(&rep);
        rep.SetPaperSize(psNone);
        rep.SetBounds(0, 0, width, height);
        auto* base = b.Layout("Base", &rep, laClient);
        b.Item("Frame", base, [&](TLRItem& i) {
            i.SetBounds(left, top, side, side);
            Lines(i, clBlack, lsSingle, lsSingle, lsSingle, lsSingle);
        });
        b.Finish();
        rep.BeginDoc();
        for (int p = 0; p < pages; ++p) {
            if (p > 0)
                rep.NewPage();
            rep.PrintPage();
        }
        abort ? rep.Abort() : rep.EndDoc();
        origin = rep.MarginLeft();
    }
    SetApplicationPrinter(old);
    return origin;
}
} // namespace

TEST(PdfPrinter, PagesHaveThePaperAndTheLayoutsMeasuresWhateverTheMargin) {
    const struct {
        QPageSize::PageSizeId Paper;
        TPrinterOrientationKind Orientation;
        QMarginsF Margins; // millimetres
        int Pages;
        double WidthMm, HeightMm;
    } cases[] = {
        {QPageSize::A4, TPrinterOrientationKind::Landscape, {}, 2, 297, 210},
        {QPageSize::A4, TPrinterOrientationKind::Portrait, {4.2, 6.5, 4.2, 4.2}, 1, 210, 297},
        {QPageSize::Letter, TPrinterOrientationKind::Portrait, {6.35, 3, 6.35, 3}, 3, 215.9, 279.4},
    };
    QTemporaryDir dir;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        TPdfPrinter printer;
        printer.SetDefaultPaper(c.Paper);
        printer.SetOrientation(c.Orientation);
        printer.SetMargins(c.Margins);
        printer.FileName = dir.filePath(QString("case%1.pdf").arg(n++));
        const int dpi = printer.GetDeviceCaps(LOGPIXELSX);
        EXPECT_NEAR(printer.GetDeviceCaps(PHYSICALOFFSETX) * 25.4 / dpi, c.Margins.left(), 0.2);
        EXPECT_NEAR(printer.GetDeviceCaps(HORZRES) * 25.4 / dpi,
                    c.WidthMm - c.Margins.left() - c.Margins.right(), 0.2);

        // A frame of 454 units (120.1 mm between its outer edges) at (100, 120) units.
        const int origin = PrintFrames(printer, c.Pages, 100, 120, 454, int(c.WidthMm * 96 / 25.4),
                                       int(c.HeightMm * 96 / 25.4));
        EXPECT_EQ(printer.PageCount(), c.Pages);
        EXPECT_EQ(PdfPages(printer.FileName), c.Pages);
        // Qt keeps the paper in whole points on some paths: within a fifth of a millimetre.
        const QRegularExpressionMatch size =
            QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+)")
                .match(RunTool("pdfinfo", {printer.FileName}));
        ASSERT_TRUE(size.hasMatch());
        EXPECT_NEAR(size.captured(1).toDouble() / 72 * 25.4, c.WidthMm, 0.2);
        EXPECT_NEAR(size.captured(2).toDouble() / 72 * 25.4, c.HeightMm, 0.2);

        const QImage page = PdfPage(printer.FileName, 1, printer.FileName);
        ASSERT_FALSE(page.isNull());
        const QList<double> across = Runs(page, UnitsToPx(origin + 120 + 227), true, IsDark);
        ASSERT_EQ(across.size(), 2);
        // Line centres half a line (1/96 in) in from the outer edges.
        const double line = 25.4 / 96;
        EXPECT_NEAR(PxToMm(across[1] - across[0]) + line, UnitsMm(454), 0.3);
        // The margin is compensated: the frame sits where the layout puts it on the paper.
        EXPECT_NEAR(PxToMm(across[0]) - line / 2, UnitsMm(origin + 100), 0.3);
    }
}

TEST(PdfPrinter, FailureAndAbortLeaveNoFileAndKeepAnEarlierOne) {
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

    // Aborted halfway: no new file, and an earlier file of the name is kept as it was.
    TPdfPrinter printer;
    printer.FileName = dir.filePath("new.pdf");
    PrintFrames(printer, 2, 10, 10, 100, 794, 1123, true);
    EXPECT_EQ(entries(), QStringList{"plain"});
    WriteRaw(dir.filePath("old.pdf"), "earlier");
    printer.FileName = dir.filePath("old.pdf");
    PrintFrames(printer, 2, 10, 10, 100, 794, 1123, true);
    EXPECT_EQ(ReadAll(dir.filePath("old.pdf")), QByteArray("earlier"));
    // Finished, the document replaces it.
    PrintFrames(printer, 1, 10, 10, 100, 794, 1123);
    EXPECT_TRUE(ReadAll(dir.filePath("old.pdf")).startsWith("%PDF"));
    EXPECT_EQ(entries(), (QStringList{"old.pdf", "plain"}));
}
