// A real print through the private print server's "Velmora-PDF" queue (VELMORA_NEEDS_CUPS):
// the PDF the spooler received is checked with pdfinfo and measured on pdftoppm rasters.
#include "platform/PPrinter.h"
#include "report/LRBuilder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

namespace {
constexpr double Dpi = 300; // raster resolution used for measuring
constexpr double UnitsPerMm = 96 / 25.4;

double PxToMm(double px) {
    return px / Dpi * 25.4;
}
double UnitsToMm(double units) {
    return units / UnitsPerMm;
}

QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll());
}

QString WaitForPdf(int job) {
    const QString dir = BuildDirPath("cups") + "/pdf";
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        const QStringList found =
            QDir(dir).entryList({QString("job-%1-*.pdf").arg(job)}, QDir::Files);
        if (!found.isEmpty())
            return dir + "/" + found.first();
        QThread::msleep(25);
    }
    return {};
}

bool Dark(QRgb c) {
    return qGray(c) < 100;
}

// Centres of the dark runs along a row or a column, in pixels.
QList<double> Runs(const QImage& img, int index, bool row) {
    QList<double> centres;
    const int n = row ? img.width() : img.height();
    int start = -1;
    for (int i = 0; i <= n; ++i) {
        const bool d = i < n && Dark(row ? img.pixel(i, index) : img.pixel(index, i));
        if (d && start < 0)
            start = i;
        if (!d && start >= 0) {
            centres << (start + i - 1) / 2.0;
            start = -1;
        }
    }
    return centres;
}

// The bounding box of pixels that are not white inside a region, in pixels.
QRect Ink(const QImage& img, const QRect& region, bool darkOnly) {
    QRect r;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb c = img.pixel(x, y);
            if (darkOnly ? Dark(c) : qGray(c) < 245)
                r |= QRect(x, y, 1, 1);
        }
    return r;
}

int MmToPx(double mm) {
    return int(mm / 25.4 * Dpi + 0.5);
}
} // namespace

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
        // The printer's set-up gives the queue an unprintable margin of 12 mm left and
        // 20 mm top, so the drawing origin is not the paper's corner.
        rep.OnSetPrinter = [&](TLRControl*) {
            printer.QueuePrinter()->setPageSize(QPageSize(QPageSize::A4));
            printer.QueuePrinter()->setPageOrientation(QPageLayout::Portrait);
            printer.QueuePrinter()->setPageMargins(QMarginsF(12, 20, 12, 12),
                                                   QPageLayout::Millimeter);
        };
        auto* base = b.Layout("BasePanel", &rep, laClient);
        // A frame of 100 mm between the centres of its lines: (378 - 1) x 6.25 + 6 dots.
        b.Item("Frame", base, [](TLRItem& i) {
            i.SetBounds(0, 0, 378, 378);
            Lines(i, clBlack, lsSingle, lsSingle, lsSingle, lsSingle);
        });
        auto* photo = b.Image("Photo", base, [](TLRImage& i) {
            i.SetBounds(40, 40, 160, 110);
            i.SetStretch(true);
        });
        TLRPicture pic;
        pic.LoadFromFile(TestDataPath("dune.jpg"));
        photo->SetPicture(&pic);
        b.Item2("Turned", base, [](TLRItem2& i) {
            i.SetBounds(330, 40, 40, 300);
            i.Escapement = esLeft;
            i.SetFont(TLRFont::Points("IPAPGothic", 20));
            i.EditFont().Bold = true;
            i.Text = "VELMORA";
        });
        auto* caption = b.Item("Caption", base, [](TLRItem& i) {
            i.SetBounds(40, 200, 200, 30);
            i.SetFont(TLRFont::Points("IPAPGothic", 14));
        });
        int offsetX = 0, offsetY = 0, dpi = 0;
        base->BeforePrint = [&](TLRControl*, const TRect&, TPrintStatus&) {
            caption->Text = QString("Page %1").arg(rep.PageNumber());
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
        // The printable area really starts 12 mm and 20 mm in.
        ASSERT_GT(dpi, 0);
        EXPECT_NEAR(offsetX * 25.4 / dpi, 12.0, 0.2); // Qt keeps margins in whole points
        EXPECT_NEAR(offsetY * 25.4 / dpi, 20.0, 0.2);
        std::printf("printer: %d dpi, offsets %d, %d dots\n", dpi, offsetX, offsetY);
    }
    SetApplicationPrinter(old);
    ASSERT_GT(printer.LastJobId(), 0);
    const QString pdf = WaitForPdf(printer.LastJobId());
    ASSERT_FALSE(pdf.isEmpty()) << "the spooler kept no PDF for job " << printer.LastJobId();

    const QString info = RunTool("pdfinfo", {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2\\b"))) << info.toStdString();
    EXPECT_TRUE(info.contains("(A4)")) << info.toStdString();

    const QString prefix = BuildDirPath("report-realprint");
    RunTool("pdftoppm", {"-r", QString::number(Dpi), "-png", pdf, prefix});
    const QImage page1(prefix + "-1.png"), page2(prefix + "-2.png");
    ASSERT_FALSE(page1.isNull());
    ASSERT_FALSE(page2.isNull());
    EXPECT_EQ(page1.size(), QSize(MmToPx(210) - 1, MmToPx(297) - 1).expandedTo(page1.size()));

    // Frame: left and right lines along a row below the contents, top and bottom along a
    // column between the photo and the turned text.
    const double frameLeftMm = UnitsToMm(37) - 6 / 600.0 * 25.4; // paper edge to line centre
    const QList<double> across = Runs(page1, MmToPx(UnitsToMm(37 + 360)), true);
    ASSERT_GE(across.size(), 2);
    const QList<double> down = Runs(page1, MmToPx(UnitsToMm(37 + 300)), false);
    ASSERT_GE(down.size(), 2);
    const double width = PxToMm(across.last() - across.first());
    const double height = PxToMm(down.last() - down.first());
    std::printf("frame %.3f x %.3f mm, left line at %.3f mm, top line at %.3f mm\n", width, height,
                PxToMm(across.first()), PxToMm(down.first()));
    EXPECT_NEAR(width, 100.0, 0.3);
    EXPECT_NEAR(height, 100.0, 0.3);
    // The unprintable margin is compensated: the frame sits where the layout puts it on
    // the paper, not 12 mm / 20 mm further in.
    EXPECT_NEAR(PxToMm(across.first()), frameLeftMm, 0.3);
    EXPECT_NEAR(PxToMm(down.first()), frameLeftMm, 0.3);

    // The photo fills its rectangle (77, 77)-(237, 187) units on the paper.
    const QRect photoArea(MmToPx(UnitsToMm(60)), MmToPx(UnitsToMm(60)), MmToPx(UnitsToMm(200)),
                          MmToPx(UnitsToMm(150)));
    const QRect photo = Ink(page1, photoArea, false);
    EXPECT_NEAR(PxToMm(photo.left()), UnitsToMm(77), 0.3);
    EXPECT_NEAR(PxToMm(photo.top()), UnitsToMm(77), 0.3);
    EXPECT_NEAR(PxToMm(photo.right() + 1), UnitsToMm(237), 0.3);
    EXPECT_NEAR(PxToMm(photo.bottom() + 1), UnitsToMm(187), 0.3);

    // The turned text reads upwards from the bottom-left corner of its text rectangle:
    // x from 369 units, ending above 376 units (the item's bottom less its margin).
    const QRect textArea(MmToPx(UnitsToMm(360)), MmToPx(UnitsToMm(70)), MmToPx(UnitsToMm(50)),
                         MmToPx(UnitsToMm(310)));
    const QRect turned = Ink(page1, textArea, true);
    ASSERT_FALSE(turned.isNull());
    EXPECT_GT(turned.height(), 3 * turned.width());
    EXPECT_GE(PxToMm(turned.left()), UnitsToMm(369) - 0.3);
    EXPECT_LE(PxToMm(turned.right()), UnitsToMm(369) + 10);
    EXPECT_LE(PxToMm(turned.bottom() + 1), UnitsToMm(376) + 0.3);
    EXPECT_GE(PxToMm(turned.bottom() + 1), UnitsToMm(376) - 3);

    // Page 2 is the same layout with its own caption.
    const QRect captionArea(MmToPx(UnitsToMm(77)), MmToPx(UnitsToMm(237)), MmToPx(UnitsToMm(200)),
                            MmToPx(UnitsToMm(30)));
    EXPECT_FALSE(Ink(page1, captionArea, true).isNull());
    EXPECT_FALSE(Ink(page2, captionArea, true).isNull());
    EXPECT_NE(page1.copy(captionArea), page2.copy(captionArea));
    EXPECT_EQ(Runs(page2, MmToPx(UnitsToMm(37 + 360)), true), across);
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

        // The second queue (US Letter by default) is chosen and turned to landscape, as the
        // print dialog would: the next document resets it to its defaults but keeps what was
        // chosen for it.
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
