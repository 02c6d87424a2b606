// The job flow on a small layout and the recording printer: the print and preview flows,
// Cancel, the set-up event; and on the real printer service (VELMORA_NEEDS_CUPS) another queue
// chosen in the print dialog.
#include "app/i_Gauge.h"
#include "platform/PPrinter.h"
#include "printjobs/i_JobHost.h"
#include "printjobs/p_PrintBase.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/LRBuilder.h"
#include "report/support_FakePrinter.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A layout of one panel that notes every page it draws.
class TTestLayout : public TprtPrintBase {
public:
    explicit TTestLayout(int pages)
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
    int From = 2, To = 3;
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
        range.FromPage = From, range.ToPage = To;
        return DialogOK;
    }
    void PreviewShowPage(const QImage& page, int number, int count) override {
        TSilentJobHost::PreviewShowPage(page, number, count);
        PagesShown << number;
    }
    void PreviewRun(const TPreviewHooks& hooks) override { InPreview(hooks); }
};

} // namespace

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
    layout.OnPage = nullptr; // the next print starts afresh
    layout.Drawn.clear();
    layout.PrintPages();
    frmGauge = nullptr;
    EXPECT_EQ(layout.Drawn, QList<int>({1, 2, 3, 4}));
    EXPECT_EQ(p.Fake.Sheets.size(), 4u);
    layout.OnPage = [](int) { throw Exception("disk full"); };
    EXPECT_THROW(layout.PrintPages(), Exception);
    EXPECT_EQ(p.Fake.Log.last(), "Abort"); // an error discards the document too
}

TEST(JobFlow, PrintFlowAsksForPaperOffersTheRangeAndConfirmsAChange) {
    const QString paper = SelectPaperText, changed = PrinterChangedText;
    using F = TFakePrinter&;
    const struct {
        const char* Name;
        bool DialogOK;
        std::function<void(F)> InDialog; // what a person changes there
        int Answer;
        QStringList Messages; // a change reported: the settings are applied again
        QList<int> Pages;
    } cases[] = {
        {"nothing changed", true, [](F) {}, 1, {paper}, {2, 3}},
        {"dialog cancelled", false, [](F) {}, 1, {paper}, {}},
        {"printer, OK", true, [](F f) { f.Index = 1; }, 1, {paper, changed}, {2, 3}},
        {"paper, Cancel", true, [](F f) { f.Paper = QSize(6600, 5100); }, 2, {paper, changed}, {}},
        {"offset", true, [](F f) { f.Offset = QPoint(100, 100); }, 1, {paper, changed}, {2, 3}},
        {"portrait", true, [](F f) { f.Mode.Orientation = DMORIENT_PORTRAIT; }, 1, {paper}, {2, 3}},
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
        host.InDialog = [&] { c.InDialog(p.Fake); };
        layout.Print();
        EXPECT_EQ(host.Messages, c.Messages);
        EXPECT_EQ(host.Offered.MaxPage, 5);
        EXPECT_EQ(layout.Drawn, c.Pages);
        EXPECT_EQ(p.Fake.Log.filter("NewPage").size(), c.Pages.isEmpty() ? 0 : 1);
        EXPECT_EQ(applied, c.Messages.size() - 1);
        EXPECT_EQ(p.Fake.Orientation(), TPrinterOrientationKind::Landscape);
    }
}

// The set-up event leaves a device mode without a paper size alone (it forces landscape on
// the others), and one that cannot be locked stops the document before it begins.
TEST(JobFlow, SetUpEventLeavesAModeWithoutPaperAloneAndStopsWhenItCannotLock) {
    TScopedFakePrinter p;
    TTestLayout layout(1);
    layout.LastOrientation = poLandscape;
    p.Fake.Mode = {DM_ORIENTATION, DMPAPER_A4, DMORIENT_PORTRAIT, 100};
    layout.LightRepSetPrinter();
    EXPECT_EQ(p.Fake.Mode.Orientation, DMORIENT_PORTRAIT);
    p.Fake.LockFails = true;
    p.Fake.Log.clear();
    EXPECT_THROW(layout.LightRep()->BeginDoc(), ELRError);
    EXPECT_TRUE(p.Fake.Log.filter("BeginDoc").isEmpty());
}

TEST(JobFlow, PreviewFlowPagesThroughAndPrints) {
    TScopedFakePrinter p;
    p.Fake.Mode.Orientation = DMORIENT_LANDSCAPE;
    TTestLayout layout(3);
    TScriptHost host;
    layout.Host = &host;
    host.InPreview = [&](const TPreviewHooks& h) {
        h.Previous(); // on page 1: stays
        h.Next();
        h.Next();
        h.Next(); // on the last page: stays
        h.First();
        h.Last();
        h.Print();
    };
    layout.ShowPreview();
    EXPECT_EQ(host.PagesShown, QList<int>({1, 2, 3, 1, 3}));
    EXPECT_EQ(layout.CurrentPage, 1); // the settings window's miniature shows page 1 again
    // Print from the preview printed the range chosen, after the paper reminder.
    EXPECT_EQ(host.Messages, QStringList({SelectPaperText}));
    EXPECT_EQ(layout.Drawn.mid(5), QList<int>({2, 3}));
}

// Another queue, A4 and two copies chosen in the dialog of the real printer service: the
// document goes to that queue with what was chosen with it, turned to landscape.
TEST(JobFlow, AnotherQueueChosenInTheDialogKeepsThePaperChosenWithIt) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    TQtPrinter printer;
    printer.SetPrinterIndex(int(printer.Printers().indexOf("Velmora-PDF")));
    TPrinter* old = SetApplicationPrinter(&printer);
    {
        TprtThumbnailPrint layout;
        TPrintItemVector items;
        items.AddFile("/none/p0.jpg");
        layout.ItemList = &items;
        TScriptHost host;
        host.From = host.To = 1;
        host.InDialog = [&] {
            QPrinter* q = printer.QueuePrinter();
            q->setPrinterName("Velmora-PDF-2"); // US Letter by default
            q->setPageSize(QPageSize(QPageSize::A4));
            q->setPageOrientation(QPageLayout::Portrait);
            q->setCopyCount(2);
        };
        layout.Host = &host;
        printer.SetOrientation(TPrinterOrientationKind::Landscape);
        layout.SyncWithPrinter();
        EXPECT_TRUE(layout.Print());
        EXPECT_EQ(host.Messages, QStringList({SelectPaperText, PrinterChangedText}));
        EXPECT_EQ(printer.Printers().value(printer.PrinterIndex()), "Velmora-PDF-2");
        EXPECT_EQ(printer.QueuePrinter()->copyCount(), 2);
    }
    SetApplicationPrinter(old);
    const QString pdf = JobPdf(printer.LastJobId());
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_TRUE(RunTool("pdfinfo", {pdf})
                    .contains(QRegularExpression("Page size:\\s+842(\\.\\d+)? x 595")));
}
