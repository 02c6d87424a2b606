// Document and page control, printer set-up, scale and offsets, preview.
#include "support_FakePrinter.h"

#include "report/LRBuilder.h"
#include "report/LightRep.h"

#include <gtest/gtest.h>

namespace {
// A report with one filling panel whose drawing is recorded.
struct TProbeReport {
    TScopedFakePrinter Printer;
    TLightRep Rep;
    TLRLayoutPanel* Panel;
    struct TDraw {
        TRect Rect;
        double Scale;
    };
    std::vector<TDraw> Draws;
    TProbeReport() {
        Panel = new TLRLayoutPanel(&Rep);
        Panel->SetLRAlign(laClient);
        Panel->SetParent(&Rep);
        Panel->BeforePrint = [this](TLRControl*, const TRect& r, TPrintStatus&) {
            Draws.push_back({r, Rep.PrintScale()});
        };
    }
    TFakePrinter& Fake() { return Printer.Fake; }
};

} // namespace

TEST(Printing, StateTableAndItsErrors) {
    TProbeReport p;
    TLightRep& rep = p.Rep;
    EXPECT_THROW(rep.PrintPage(), ELRError);
    EXPECT_EQ(rep.State(), TReportState::Idle);
    rep.NewPage();
    rep.EndDoc();
    rep.Abort();
    EXPECT_TRUE(p.Fake().Log.isEmpty());

    rep.Title = "Probe";
    rep.BeginDoc();
    EXPECT_EQ(p.Fake().Log.last(), "BeginDoc Probe");
    EXPECT_THROW(rep.BeginDoc(), ELRError);
    EXPECT_THROW(rep.BeginPreview(), ELRError);
    TLRCanvas canvas(nullptr, 96);
    EXPECT_THROW(rep.PreviewPage(canvas), ELRError);
    EXPECT_EQ(rep.State(), TReportState::Printing);
    rep.PrintPage();
    rep.NewPage();
    rep.PrintPage();
    EXPECT_EQ(rep.PageNumber(), 2);
    rep.EndDoc();
    EXPECT_EQ(rep.State(), TReportState::Idle);
    EXPECT_EQ(p.Fake().Sheets.size(), 2u);

    rep.BeginPreview();
    rep.PreviewPage(canvas);
    rep.PreviewPage(canvas);
    EXPECT_EQ(rep.PageNumber(), 2);
    rep.BeginPreview();
    EXPECT_EQ(rep.PageNumber(), 0);
    rep.PreviewPage(canvas);
    // BeginDoc during a preview ends the preview and starts printing from page 0.
    rep.BeginDoc();
    EXPECT_EQ(rep.State(), TReportState::Printing);
    EXPECT_EQ(rep.PageNumber(), 0);
    rep.PrintPage();
    rep.Abort();
    EXPECT_EQ(p.Fake().Log.last(), "Abort");

    // A failure while a page is drawn leaves the document open for the caller to end.
    p.Panel->AfterPrint = [](TLRControl*) { throw ELRError("boom"); };
    rep.BeginDoc();
    EXPECT_THROW(rep.PrintPage(), ELRError);
    EXPECT_EQ(rep.State(), TReportState::Printing);
    rep.Abort();
    EXPECT_EQ(rep.State(), TReportState::Idle);
    rep.BeginPreview();
    EXPECT_THROW(rep.PreviewPage(canvas), ELRError);
    EXPECT_EQ(rep.State(), TReportState::Previewing);
    rep.EndPreview();
}

TEST(Printing, ScaleAndPrintableAreaOffset) {
    TProbeReport p;
    TLightRep& rep = p.Rep;
    p.Fake().Offset = QPoint(100, 50);
    rep.BeginDoc();
    rep.PrintPage();
    rep.EndDoc();
    ASSERT_EQ(p.Draws.size(), 1u);
    EXPECT_EQ(rep.PrintScale(), 6.25);
    // 100 dots are 16 units: the panel at 37 is drawn at 21 on the printable area.
    EXPECT_EQ(p.Draws[0].Rect, Bounds(37 - 16, 37 - 8, 720, 1049));

    // At 300 dpi the offset is 32 units; unreadable capabilities give scale 1 and none.
    for (auto [dpi, unreadable, scale, left] :
         {std::tuple{300, false, 3.125, 37 - 32}, std::tuple{600, true, 1.0, 37}}) {
        p.Draws.clear();
        p.Fake().Dpi = dpi;
        p.Fake().CapsUnreadable = unreadable;
        rep.BeginDoc();
        rep.PrintPage();
        rep.EndDoc();
        EXPECT_EQ(p.Draws[0].Scale, scale);
        EXPECT_EQ(p.Draws[0].Rect.Left, left);
    }
    p.Fake().CapsUnreadable = false;

    // Previews use the zoom (at least 1) and never the printer's offset.
    TLRCanvas canvas(nullptr, 96);
    for (int zoom : {0, 3}) {
        p.Draws.clear();
        rep.PreviewZoom = zoom;
        rep.BeginPreview();
        rep.PreviewPage(canvas);
        rep.EndPreview();
        EXPECT_EQ(p.Draws[0].Scale, zoom < 1 ? 1.0 : double(zoom));
        EXPECT_EQ(p.Draws[0].Rect.Left, 37);
    }
    EXPECT_EQ(rep.PageNumber(), 0);
}

TEST(Printing, SetupPrinterResetsANewPrinterAndWritesThePaper) {
    TProbeReport p;
    TLightRep& rep = p.Rep;
    rep.SetOrientation(poLandscape);
    rep.BeginDoc();
    rep.EndDoc();
    EXPECT_EQ(p.Fake().Log.first(), "SetPrinter Fake-A,FAKE, paper 9 orientation 2");

    // Another printer chosen: it is reset to its defaults before the paper is written.
    p.Fake().Log.clear();
    p.Fake().Index = 1;
    rep.SetPaperSize(psB5);
    rep.BeginDoc();
    rep.EndDoc();
    EXPECT_EQ(p.Fake().Log.mid(0, 2),
              QStringList({"SetPrinter Fake-B,FAKE, defaults",
                           "SetPrinter Fake-B,FAKE, paper 13 orientation 2"}));
    p.Fake().Log.clear();
    rep.BeginDoc();
    rep.EndDoc();
    EXPECT_FALSE(p.Fake().Log.join('\n').contains("defaults"));

    // Without a fixed paper the set-up event decides; the device mode is not written.
    p.Fake().Log.clear();
    rep.SetPaperSize(psNone);
    int calls = 0;
    rep.OnSetPrinter = [&](TLRControl*) { ++calls; };
    p.Fake().Index = 0;
    rep.BeginDoc();
    rep.EndDoc();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(p.Fake().Log.first(), "SetPrinter Fake-A,FAKE, defaults");
    EXPECT_EQ(p.Fake().Log.filter("paper").size(), 0);

    // An error from the set-up event leaves BeginDoc before the document starts.
    p.Fake().Log.clear();
    rep.OnSetPrinter = [](TLRControl*) { throw Exception("用紙設定ができません!!"); };
    EXPECT_THROW(rep.BeginDoc(), Exception);
    EXPECT_EQ(rep.State(), TReportState::Idle);
    EXPECT_TRUE(p.Fake().Log.filter("BeginDoc").isEmpty());

    // A device mode that cannot be locked stops it too; previews never touch the set-up.
    rep.SetPaperSize(psA4);
    p.Fake().LockFails = true;
    EXPECT_THROW(rep.BeginDoc(), ELRError);
    EXPECT_TRUE(p.Fake().Log.filter("BeginDoc").isEmpty());
    p.Fake().Log.clear();
    TLRCanvas canvas(nullptr, 96);
    rep.BeginPreview();
    rep.PreviewPage(canvas);
    rep.EndPreview();
    EXPECT_TRUE(p.Fake().Log.isEmpty());
}

TEST(Printing, PrinterCanvasKeepsPointSizesAndPreviewScalesThem) {
    TProbeReport p;
    TLightRep& rep = p.Rep;
    auto* item = new TLRItem(&rep);
    item->SetParent(p.Panel);
    item->SetFont(TLRFont::Points("IPAPGothic", 10));
    item->SetBounds(0, 0, 300, 60);
    int printerHeight = 0, previewHeight = 0;
    p.Panel->AfterPrint = [&](TLRControl*) {
        (rep.State() == TReportState::Printing ? printerHeight : previewHeight) =
            rep.PrintCanvas()->Font().Height;
    };
    rep.BeginDoc();
    rep.PrintPage();
    rep.EndDoc();
    EXPECT_EQ(printerHeight, -MulDiv(10, 600, 72)); // 10 pt at 600 dpi
    TLRCanvas canvas(nullptr, 96);
    rep.PreviewZoom = 3;
    rep.BeginPreview();
    rep.PreviewPage(canvas);
    rep.EndPreview();
    EXPECT_EQ(previewHeight, -MulDiv(30, 96, 72)); // 30 pt on the 96 dpi bitmap
}
