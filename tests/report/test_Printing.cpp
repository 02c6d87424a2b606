// Printer set-up, and the scale, offset and font sizes on the printer.
#include "support_FakePrinter.h"

#include "report/LRBuilder.h"
#include "report/LightRep.h"

#include <gtest/gtest.h>

namespace {
// A report with one filling panel whose drawing is recorded.
struct TProbeReport {
    TScopedFakePrinter Printer;
    TFakePrinter& Fake = Printer.Fake;
    TLightRep Rep;
    TLRLayoutPanel* Panel = new TLRLayoutPanel(&Rep);
    std::vector<std::pair<TRect, double>> Draws; // where, at which scale
    TProbeReport() {
        Panel->SetLRAlign(laClient);
        Panel->SetParent(&Rep);
        Panel->BeforePrint = [this](TLRControl*, const TRect& r, TPrintStatus&) {
            Draws.push_back({r, Rep.PrintScale()});
        };
    }
};
} // namespace

TEST(Printing, ScaleOffsetAndPointSizesOnThePrinter) {
    TProbeReport p;
    TLightRep& rep = p.Rep;
    auto* item = new TLRItem(&rep);
    item->SetParent(p.Panel);
    item->SetFont(TLRFont::Points("IPAPGothic", 10));
    int fontHeight = 0;
    p.Panel->AfterPrint = [&](TLRControl*) { fontHeight = rep.PrintCanvas()->Font().Height; };
    // 100 dots are 16 units at 600 dpi, 32 at 300: the panel at 37 is drawn that much further
    // up and left on the printable area; unreadable capabilities give scale 1 and no offset.
    p.Fake.Offset = QPoint(100, 50);
    for (auto [dpi, unreadable, scale, left, top] :
         {std::tuple{600, false, 6.25, 37 - 16, 37 - 8},
          std::tuple{300, false, 3.125, 37 - 32, 37 - 16}, std::tuple{600, true, 1.0, 37, 37}}) {
        p.Draws.clear();
        p.Fake.Dpi = dpi;
        p.Fake.CapsUnreadable = unreadable;
        rep.BeginDoc(), rep.PrintPage(), rep.EndDoc();
        ASSERT_EQ(p.Draws.size(), 1u);
        EXPECT_EQ(p.Draws[0], std::pair(Rect(left, top, left + 720, top + 1049), scale)) << dpi;
        EXPECT_TRUE(unreadable || fontHeight == -MulDiv(10, dpi, 72)); // points kept
    }
}

TEST(Printing, SetupPrinterResetsANewPrinterAndWritesThePaper) {
    TProbeReport p;
    TLightRep& rep = p.Rep;
    auto doc = [&] {
        p.Fake.Log.clear();
        rep.BeginDoc(), rep.EndDoc();
        return p.Fake.Log;
    };
    rep.SetOrientation(poLandscape);
    EXPECT_EQ(doc().first(), "SetPrinter Fake-A,FAKE, paper 9 orientation 2");
    // Another printer chosen: reset to its defaults before the paper is written, once.
    p.Fake.Index = 1;
    rep.SetPaperSize(psB5);
    EXPECT_EQ(doc().mid(0, 2), QStringList({"SetPrinter Fake-B,FAKE, defaults",
                                            "SetPrinter Fake-B,FAKE, paper 13 orientation 2"}));
    EXPECT_FALSE(doc().join('\n').contains("defaults")) << "only once";
    // Without a fixed paper the set-up event decides; an error from it leaves BeginDoc before
    // the document starts.
    rep.SetPaperSize(psNone);
    rep.OnSetPrinter = [](TLRControl*) { throw Exception("用紙設定ができません!!"); };
    EXPECT_THROW(doc(), Exception);
    EXPECT_EQ(rep.State(), TReportState::Idle);
    EXPECT_TRUE(p.Fake.Log.filter("BeginDoc").isEmpty());
}
