// The job flow on a small layout and the recording printer.
#include "app/i_Gauge.h"
#include "printjobs/i_JobHost.h"
#include "printjobs/p_PrintBase.h"
#include "report/LRBuilder.h"
#include "report/support_FakePrinter.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A layout of one panel that notes every page it draws.
class TTestLayout : public TprtPrintBase {
public:
    // finish: end creation with its paper check; otherwise the test runs the first check.
    explicit TTestLayout(int pages, bool finish = true)
        : TprtPrintBase("test job", 1123, 794, poLandscape), Pages(pages) {
        TLRBuilder b(LightRep());
        auto* base = b.Layout("BasePanel", LightRep(), laClient);
        base->BeforePrint = [this](TLRControl*, const TRect&, TPrintStatus&) {
            Drawn << CurrentPage;
            if (OnPage)
                OnPage(CurrentPage);
        };
        b.Item("Text", base);
        b.Finish();
        if (finish)
            FinishCreate();
    }
    int ComputePageCount() const override { return Pages; }
    int Pages;
    QList<int> Drawn;
    std::function<void(int)> OnPage;

protected:
    void LayoutPanels(const TRect&) override {}
};

// A host that answers as a test says and notes what it was asked.
class TScriptHost : public TSilentJobHost {
public:
    int Answer = 1;
    bool DialogOK = true;
    std::function<void()> InDialog;
    TPrintRange Offered;
    QList<int> PagesShown;
    std::function<void(const TPreviewHooks&)> InPreview;

    int Message(const QString& text, bool withCancel) override {
        TSilentJobHost::Message(text, withCancel);
        return withCancel ? Answer : 1;
    }
    bool PrintDialog(TPrintRange& range, bool) override {
        Offered = range;
        if (InDialog)
            InDialog();
        range.FromPage = 2, range.ToPage = 3;
        return DialogOK;
    }
    void PreviewShowPage(const QImage& page, int number, int count) override {
        TSilentJobHost::PreviewShowPage(page, number, count);
        PagesShown << number;
    }
    void PreviewRun(const TPreviewHooks& hooks) override { InPreview(hooks); }
};

// What a person may change between two paper checks.
enum TChange { None, OtherPrinter, Letter, Offset, Portrait };
void Apply(TFakePrinter& f, TChange change) {
    if (change == OtherPrinter)
        f.Index = 1;
    if (change == Letter)
        f.Paper = {6600, 5100};
    if (change == Offset)
        f.Offset = {100, 100};
    if (change == Portrait)
        f.Mode.Orientation = DMORIENT_PORTRAIT;
}

} // namespace

TEST(JobFlow, PaperCheckReportsWhatChangedSinceTheLastCheck) {
    TScopedFakePrinter p;
    p.Fake.Mode.Orientation = DMORIENT_LANDSCAPE;
    TTestLayout layout(1, false);
    EXPECT_TRUE(layout.SyncWithPrinter()); // the first check always reports a change
    for (TChange change : {None, OtherPrinter, Letter, Offset, Portrait, None}) {
        Apply(p.Fake, change);
        EXPECT_EQ(layout.SyncWithPrinter(), change != None) << change;
    }
    EXPECT_EQ(layout.LightRep()->Height(), 816); // the report follows the paper
}

TEST(JobFlow, CancelInTheProgressWindowOrAnErrorAbortsTheDocument) {
    TScopedFakePrinter p;
    TTestLayout layout(4);
    TfrmGauge gauge;
    frmGauge = &gauge;
    layout.Host = &WindowJobHost();
    // The click arrives as an event while page 2 is drawn.
    layout.OnPage = [&](int page) {
        if (page == 2)
            QTimer::singleShot(0, gauge.Button1, [&] { gauge.Button1->click(); });
    };
    layout.PrintPages();
    EXPECT_EQ(layout.Drawn, QList<int>({1, 2}));
    EXPECT_TRUE(p.Fake.Log.contains("Abort"));
    EXPECT_TRUE(p.Fake.Sheets.empty());
    // The next print starts afresh and goes through.
    layout.OnPage = nullptr;
    layout.Drawn.clear();
    layout.PrintPages();
    frmGauge = nullptr;
    EXPECT_EQ(layout.Drawn, QList<int>({1, 2, 3, 4}));
    EXPECT_EQ(p.Fake.Sheets.size(), 4u);
    // An error while a page is drawn discards the document.
    layout.OnPage = [](int) { throw Exception("disk full"); };
    EXPECT_THROW(layout.PrintPages(), Exception);
    EXPECT_EQ(p.Fake.Log.last(), "Abort");
}

TEST(JobFlow, PrintFlowAsksForPaperOffersTheRangeAndConfirmsAChange) {
    const QString paper = SelectPaperText, changed = PrinterChangedText;
    const struct {
        const char* Name;
        bool DialogOK;
        TChange InDialog;
        int Answer;
        QStringList Messages;
        QList<int> Pages;
        int Applied;
    } cases[] = {
        {"nothing changed", true, None, 1, {paper}, {2, 3}, 0},
        {"dialog cancelled", false, None, 1, {paper}, {}, 0},
        {"printer changed, OK", true, OtherPrinter, 1, {paper, changed}, {2, 3}, 1},
        {"paper changed, Cancel", true, Letter, 2, {paper, changed}, {}, 1},
        {"portrait chosen", true, Portrait, 1, {paper}, {2, 3}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TScopedFakePrinter p;
        p.Fake.Mode.Orientation = DMORIENT_LANDSCAPE;
        TTestLayout layout(5);
        TScriptHost host;
        layout.Host = &host;
        int applied = 0;
        layout.OnApplySettings = [&] { ++applied; };
        host.DialogOK = c.DialogOK;
        host.Answer = c.Answer;
        host.InDialog = [&] { Apply(p.Fake, c.InDialog); };
        layout.Print();
        EXPECT_EQ(host.Messages, c.Messages);
        EXPECT_EQ(host.Offered.MaxPage, 5);
        EXPECT_EQ(layout.Drawn, c.Pages);
        EXPECT_EQ(p.Fake.Log.filter("NewPage").size(), c.Pages.isEmpty() ? 0 : 1);
        EXPECT_EQ(applied, c.Applied);
        EXPECT_EQ(p.Fake.Orientation(), TPrinterOrientationKind::Landscape);
    }
}

TEST(JobFlow, PreviewFlowPagesThroughAndPrints) {
    TScopedFakePrinter p;
    p.Fake.Mode.Orientation = DMORIENT_LANDSCAPE;
    p.Fake.Paper = {7016, 4961};
    TTestLayout layout(3);
    TScriptHost host;
    layout.Host = &host;
    QSize size;
    host.InPreview = [&](const TPreviewHooks& h) {
        size = host.LastPage.size();
        for (auto step : {h.Previous, h.Next, h.Next, h.Next, h.First, h.Last, h.Print})
            step();
    };
    layout.ShowPreview();
    EXPECT_EQ(host.PagesShown, QList<int>({1, 2, 3, 1, 3}));
    EXPECT_EQ(layout.CurrentPage, 1);
    EXPECT_EQ(size, QSize(1123 * 2, 794 * 2)); // zoom 2500 div 1123 = 2
    EXPECT_EQ(host.Messages, QStringList({SelectPaperText}));
    EXPECT_EQ(layout.Drawn.mid(5), QList<int>({2, 3}));
}
