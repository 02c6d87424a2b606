// Placement rules, docking, margins, grid sizes, cell tiling and the page traversal.
#include "report/LRBuilder.h"
#include "report/LightRep.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
// An item that records how it was drawn.
class TRecordingItem : public TCustomLRItem {
public:
    using TCustomLRItem::TCustomLRItem;
    void Print(TLRCanvas&, const TRect& rect, TPrintStatus status, double) override {
        Calls << QString("%1 %2,%3,%4,%5 s%6")
                     .arg(Name)
                     .arg(rect.Left)
                     .arg(rect.Top)
                     .arg(rect.Width())
                     .arg(rect.Height())
                     .arg(int(status));
    }
    static QStringList Calls;
};
QStringList TRecordingItem::Calls;

// Draws a report once in a zoom-1 preview on a throw-away canvas.
void PreviewOnce(TLightRep& rep) {
    TLRCanvas canvas(nullptr, 96);
    rep.PreviewZoom = 1;
    rep.BeginPreview();
    rep.PreviewPage(canvas);
    rep.EndPreview();
}

} // namespace

TEST(LayoutModel, PlacementRulesRaiseTheirMessagesAndKeepTheParent) {
    TLightRep rep;
    auto* layout = new TLRLayoutPanel(&rep);
    layout->SetParent(&rep);
    auto* grid = new TLRGridPanel(&rep);
    grid->SetParent(layout);
    auto* item = new TLRItem(&rep);
    item->SetParent(layout);

    EXPECT_THROW(item->SetParent(&rep), ELRError);
    EXPECT_EQ(item->Parent(), layout);

    auto* grid2 = new TLRGridPanel(&rep);
    EXPECT_THROW(grid2->SetParent(grid), ELRError);
    EXPECT_EQ(grid2->Parent(), nullptr);
    // A grid may not go into a cell panel either.
    EXPECT_THROW(grid2->SetParent(grid->ChildPanel()), ELRError);

    TLightRep other;
    EXPECT_THROW(other.SetParent(layout), ELRError);

    auto* sub = new TLRSubPanel(&rep);
    EXPECT_THROW(sub->SetParent(&rep), ELRError);
    EXPECT_THROW(sub->SetParent(layout), ELRError);
    EXPECT_EQ(sub->Parent(), nullptr);

    // Naming the grid as parent puts layout panels and items into its cell panel.
    auto* inCell = new TLRLayoutPanel(&rep);
    inCell->SetParent(grid);
    EXPECT_EQ(inCell->Parent(), grid->ChildPanel());
    item->SetParent(grid);
    EXPECT_EQ(item->Parent(), grid->ChildPanel());
    // Layout panels and items are allowed on a sub panel.
    auto* onSub = new TLRItem(&rep);
    onSub->SetParent(sub);
    EXPECT_EQ(onSub->Parent(), sub);
}

TEST(LayoutModel, MarginsDockTheTopLevelPanelsAndIgnoreBadValues) {
    TLightRep rep;
    auto* fill = new TLRLayoutPanel(&rep);
    fill->SetLRAlign(laClient);
    fill->SetParent(&rep);
    EXPECT_EQ(fill->BoundsRect(), Bounds(37, 37, rep.Width() - 74, rep.Height() - 74));

    rep.SetMarginTop(0);
    rep.SetMarginLeft(rep.Width() / 2);
    rep.SetMarginBottom(500); // below half the height but not half the width
    rep.SetMarginRight(-3);
    EXPECT_EQ(rep.MarginTop(), 36);
    EXPECT_EQ(rep.MarginLeft(), 36);
    EXPECT_EQ(rep.MarginBottom(), 36);
    EXPECT_EQ(rep.MarginRight(), 36);
    EXPECT_EQ(fill->BoundsRect(), Bounds(37, 37, 720, 1049));

    rep.SetMarginLeft(rep.Width() / 2 - 1);
    EXPECT_EQ(fill->Left(), 1 + 396);
    rep.SetMarginLeft(50);
    rep.SetMarginBottom(100);
    EXPECT_EQ(fill->BoundsRect(), Rect(51, 37, 794 - 37, 1123 - 101));
}

TEST(LayoutModel, DockingGoesTopBottomLeftRightFillInPositionOrder) {
    TLightRep rep;
    rep.SetPaperSize(psNone);
    rep.SetBounds(0, 0, 402, 302); // docking area 36+1 .. : use a layout panel instead
    auto* host = new TLRLayoutPanel(&rep);
    host->SetAlign(alNone);
    host->SetParent(&rep);
    host->SetBounds(0, 0, 400, 300);

    // Bounds first, docking after: the order comes from the positions.
    host->DisableAlign();
    auto make = [&](const char* name, TLRAlign align, int pos, int size) {
        auto* p = new TLRLayoutPanel(&rep);
        p->Name = name;
        p->SetParent(host);
        p->SetLRAlign(align);
        if (align == laTop || align == laBottom)
            p->SetBounds(0, pos, 10, size);
        else
            p->SetBounds(pos, 0, size, 10);
        return p;
    };
    auto* fill = make("fill", laClient, 0, 0);
    auto* topLate = make("topLate", laTop, 200, 50);
    auto* topEarly = make("topEarly", laTop, 5, 30);
    auto* bottomHigh = make("bottomHigh", laBottom, 100, 20); // bottom edge 120
    auto* bottomLow = make("bottomLow", laBottom, 250, 25);   // bottom edge 275: lowest first
    auto* left = make("left", laLeft, 0, 40);
    auto* rightOuter = make("rightOuter", laRight, 350, 30); // right edge 380: rightmost first
    auto* rightInner = make("rightInner", laRight, 10, 20);
    host->EnableAlign();

    EXPECT_EQ(topEarly->BoundsRect(), Bounds(0, 0, 400, 30));
    EXPECT_EQ(topLate->BoundsRect(), Bounds(0, 30, 400, 50));
    EXPECT_EQ(bottomLow->BoundsRect(), Bounds(0, 275, 400, 25));
    EXPECT_EQ(bottomHigh->BoundsRect(), Bounds(0, 255, 400, 20));
    EXPECT_EQ(left->BoundsRect(), Bounds(0, 80, 40, 175));
    EXPECT_EQ(rightOuter->BoundsRect(), Bounds(370, 80, 30, 175));
    EXPECT_EQ(rightInner->BoundsRect(), Bounds(350, 80, 20, 175));
    EXPECT_EQ(fill->BoundsRect(), Bounds(40, 80, 310, 175));
    EXPECT_EQ(fill->LRAlign(), laClient);

    // A changed height is docked anew at once, and a container's resize redocks.
    topEarly->SetHeight(10);
    EXPECT_EQ(topLate->Top(), 10);
    EXPECT_EQ(fill->Height(), 195);
    host->SetWidth(500);
    EXPECT_EQ(fill->Width(), 410);
    EXPECT_EQ(rightOuter->Left(), 470);

    // A panel that is not docked reads as laClient.
    TLRSubPanel sub(nullptr);
    EXPECT_EQ(sub.Align(), alNone);
    EXPECT_EQ(sub.LRAlign(), laClient);
}

TEST(LayoutModel, GridCellsTileExactlyAndCountsAreChecked) {
    TLightRep rep;
    auto* host = new TLRLayoutPanel(&rep);
    host->SetParent(&rep);
    host->SetHeight(300);
    auto* grid = new TLRGridPanel(&rep);
    grid->SetParent(host);
    grid->SetLRAlign(laLeft);
    grid->SetWidth(389);
    EXPECT_EQ(grid->Height(), 300);
    grid->SetColCount(4);
    EXPECT_EQ(grid->ChildPanel()->Width(), 97);
    EXPECT_EQ(grid->ChildPanel()->Height(), 300);

    QList<TRect> cells;
    grid->OnPrintPanel = [&](TLRGridPanel*, int, int, const TRect& r, TPrintStatus&) {
        cells << r;
    };
    PreviewOnce(rep);
    ASSERT_EQ(cells.size(), 4);
    const int x0 = 37; // the host starts at the report's margin
    EXPECT_EQ(cells[0], Bounds(x0 + 0, 37, 97, 300));
    EXPECT_EQ(cells[1], Bounds(x0 + 97, 37, 97, 300));
    EXPECT_EQ(cells[2], Bounds(x0 + 194, 37, 97, 300));
    EXPECT_EQ(cells[3], Bounds(x0 + 291, 37, 98, 300));

    EXPECT_THROW(grid->SetColCount(40), ELRError);
    EXPECT_EQ(grid->ColCount(), 4);
    EXPECT_THROW(grid->SetColCount(0), ELRError);
    grid->SetColCount(38); // 389 div 38 = 10 is still allowed
    EXPECT_EQ(grid->ChildPanel()->Width(), 10);
    EXPECT_THROW(grid->SetRowCount(31), ELRError);
    EXPECT_EQ(grid->RowCount(), 1);
    grid->SetRowCount(3);
    EXPECT_EQ(grid->ChildPanel()->Height(), 100);
}

TEST(LayoutModel, PrintDirectionOrdersTheCellEvents) {
    TLightRep rep;
    auto* grid = new TLRGridPanel(&rep);
    grid->SetParent(&rep);
    grid->SetColCount(2);
    grid->SetRowCount(3);
    QStringList order;
    grid->OnPrintPanel = [&](TLRGridPanel*, int c, int r, const TRect&, TPrintStatus&) {
        order << QString("%1%2").arg(c).arg(r);
    };
    grid->PrintDirection = pdVert;
    PreviewOnce(rep);
    EXPECT_EQ(order.join(' '), "00 01 02 10 11 12");
    for (TPrintDirection d : {pdHorz, pdHolz}) {
        order.clear();
        grid->PrintDirection = d;
        PreviewOnce(rep);
        EXPECT_EQ(order.join(' '), "00 10 01 11 02 12");
    }
}

TEST(LayoutModel, StatusFromTheEventsDecidesWhatIsDrawn) {
    TLightRep rep;
    TLRBuilder b(&rep);
    auto* base = b.Layout("Base", &rep, laClient);
    auto* grid = b.Grid("Grid", base, laTop, pdHorz);
    grid->SetHeight(200);
    grid->SetColCount(3);
    auto* cellItem = b.Add<TRecordingItem>("cell", grid);
    auto* nested = b.Layout("Nested", grid, laTop);
    auto* nestedItem = b.Add<TRecordingItem>("nested", nested);
    auto* disabledItem = b.Add<TRecordingItem>("disabled", grid);
    disabledItem->SetEnabled(false);
    b.Finish();
    EXPECT_FALSE(rep.Visible);
    Q_UNUSED(cellItem);
    Q_UNUSED(nestedItem);

    QStringList events;
    grid->OnPrintPanel = [&](TLRGridPanel*, int col, int, const TRect&, TPrintStatus& s) {
        if (col == 0)
            s = stSkip;
        if (col == 1)
            s = stFrameOnly;
    };
    grid->BeforePrintPanel() = [&](TLRControl* sender, const TRect& r, TPrintStatus& s) {
        events << QString("before %1 %2 s%3").arg(sender->Name).arg(r.Left).arg(int(s));
    };
    grid->AfterPrintPanel() = [&](TLRControl*) { events << "after"; };
    TRecordingItem::Calls.clear();
    PreviewOnce(rep);
    // Column 0 was skipped: no events of the cell panel, nothing drawn.
    EXPECT_EQ(events, QStringList({"before ChildPanel 277 s1", "after", "before ChildPanel 517 s0",
                                   "after"}));
    // The frame-only cell hands its status to its items; nested panels start again.
    EXPECT_EQ(TRecordingItem::Calls,
              QStringList({"cell 277,37,65,17 s1", "nested 277,37,65,17 s0", "cell 517,37,65,17 s0",
                           "nested 517,37,65,17 s0"}));

    // A cell panel's BeforePrint may skip the cell; AfterPrint is then not called.
    events.clear();
    TRecordingItem::Calls.clear();
    grid->OnPrintPanel = nullptr;
    grid->BeforePrintPanel() = [&](TLRControl*, const TRect&, TPrintStatus& s) { s = stSkip; };
    PreviewOnce(rep);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(TRecordingItem::Calls.isEmpty());

    // A layout panel that skips itself draws nothing and does not call AfterPrint; a
    // disabled panel is not drawn but keeps its place in the docking.
    grid->BeforePrintPanel() = nullptr;
    bool after = false;
    base->BeforePrint = [](TLRControl*, const TRect&, TPrintStatus& s) { s = stSkip; };
    base->AfterPrint = [&](TLRControl*) { after = true; };
    PreviewOnce(rep);
    EXPECT_TRUE(TRecordingItem::Calls.isEmpty());
    EXPECT_FALSE(after);
    base->BeforePrint = nullptr;
    grid->SetEnabled(false);
    auto* below = b.Layout("Below", base, laTop);
    EXPECT_EQ(below->Top(), 200);
    PreviewOnce(rep);
    EXPECT_TRUE(TRecordingItem::Calls.isEmpty());
    EXPECT_TRUE(after);
}

TEST(LayoutModel, SubPanelsTakeTheCellSizeAndReplaceTheCellPanel) {
    TLightRep rep;
    auto* grid = new TLRGridPanel(&rep);
    grid->SetParent(&rep);
    grid->SetHeight(300);
    grid->SetColCount(2);
    grid->SetRowCount(3);
    auto* sub = new TLRSubPanel(&rep);
    EXPECT_FALSE(sub->Visible);
    auto* subItem = new TRecordingItem(&rep);
    subItem->Name = "sub";
    subItem->SetParent(sub);
    auto* cellItem = new TRecordingItem(&rep);
    cellItem->Name = "cell";
    cellItem->SetParent(grid);

    sub->SetGridPanel(grid);
    EXPECT_EQ(sub->Width(), 360);
    EXPECT_EQ(sub->Height(), 100);
    grid->SetColCount(3);
    EXPECT_EQ(sub->Width(), 240);
    ASSERT_EQ(grid->SubPanels().size(), 1u);

    grid->SetSubPanel(sub);
    TRecordingItem::Calls.clear();
    PreviewOnce(rep);
    EXPECT_EQ(TRecordingItem::Calls.size(), 9);
    EXPECT_TRUE(TRecordingItem::Calls.first().startsWith("sub 37,37"));

    // Attaching to another grid detaches first; destroying the sub panel detaches it.
    auto* grid2 = new TLRGridPanel(&rep);
    grid2->SetParent(&rep);
    sub->SetGridPanel(grid2);
    EXPECT_TRUE(grid->SubPanels().empty());
    EXPECT_EQ(grid2->SubPanels().size(), 1u);
    EXPECT_EQ(grid->SubPanel(), nullptr); // the old grid draws its own cell panel again
    grid2->SetSubPanel(sub);
    delete sub;
    EXPECT_TRUE(grid2->SubPanels().empty());
    EXPECT_EQ(grid2->SubPanel(), nullptr);
    TRecordingItem::Calls.clear();
    PreviewOnce(rep);
    // (the new grid, docked at its top 0, now comes first on the page)
    EXPECT_EQ(TRecordingItem::Calls.size(), 9);
    EXPECT_TRUE(TRecordingItem::Calls.first().startsWith("cell 37,137"));
}

TEST(LayoutModel, FixedPaperFollowsOrientationAndKeepsTheReportSize) {
    TLightRep rep;
    EXPECT_EQ(rep.Width(), 794);
    EXPECT_EQ(rep.Height(), 1123);
    rep.SetOrientation(poLandscape);
    EXPECT_EQ(rep.Width(), 1123);
    EXPECT_EQ(rep.Height(), 794);
    rep.SetBounds(0, 0, 500, 500);
    EXPECT_EQ(rep.Width(), 1123);
    rep.SetPaperSize(psB5);
    EXPECT_EQ(rep.PaperWidth(), 971);
    EXPECT_EQ(rep.PaperHeight(), 688);
    rep.SetPaperSize(psNone);
    rep.SetBounds(0, 0, 500, 400);
    EXPECT_EQ(rep.Width(), 500);
    rep.SetOrientation(poPortrait); // no paper: nothing happens
    EXPECT_EQ(rep.Height(), 400);

    // While loading, the orientation does not resize the report.
    TLightRep loading;
    loading.BeginLoad();
    loading.SetOrientation(poLandscape);
    EXPECT_EQ(loading.Width(), 794);
    loading.Loaded();
    EXPECT_EQ(loading.Width(), 1123);
}
