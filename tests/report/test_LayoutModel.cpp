// Placement rules, docking, grid sizes, cell tiling and the page traversal.
#include "report/LRBuilder.h"
#include "report/LightRep.h"

#include <gtest/gtest.h>

namespace {
// An item that records how it was drawn.
class TRecordingItem : public TCustomLRItem {
public:
    using TCustomLRItem::TCustomLRItem;
    void Print(TLRCanvas&, const TRect& rect, TPrintStatus status, double) override {
        Calls << Name + QString::asprintf(" %d,%d,%d,%d s%d", rect.Left, rect.Top, rect.Width(),
                                          rect.Height(), int(status));
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
    TLightRep rep, other;
    TLRBuilder b(&rep);
    auto* layout = b.Layout("Layout", &rep, laClient);
    auto* grid = b.Grid("Grid", layout, laTop, pdHorz);
    auto* item = b.Item("Item", layout);
    auto* grid2 = new TLRGridPanel(&rep);
    auto* sub = new TLRSubPanel(&rep);
    for (auto [child, parent] : {std::pair<TLRControl*, TLRWinControl*>{item, &rep},
                                 {grid2, grid},
                                 {grid2, grid->ChildPanel()},
                                 {&other, layout},
                                 {sub, &rep},
                                 {sub, layout}})
        EXPECT_THROW(child->SetParent(parent), ELRError);
    EXPECT_EQ(item->Parent(), layout);
    EXPECT_EQ(grid2->Parent(), nullptr);
    // Naming the grid as parent puts layout panels and items into its cell panel.
    auto* inCell = new TLRLayoutPanel(&rep);
    inCell->SetParent(grid);
    item->SetParent(grid);
    EXPECT_EQ(inCell->Parent(), grid->ChildPanel());
    EXPECT_EQ(item->Parent(), grid->ChildPanel());
}

TEST(LayoutModel, DockingGoesTopBottomLeftRightFillInPositionOrder) {
    TLightRep rep;
    rep.SetPaperSize(psNone);
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

    for (auto [panel, want] : {std::pair{topEarly, Bounds(0, 0, 400, 30)},
                               {topLate, Bounds(0, 30, 400, 50)},
                               {bottomLow, Bounds(0, 275, 400, 25)},
                               {bottomHigh, Bounds(0, 255, 400, 20)},
                               {left, Bounds(0, 80, 40, 175)},
                               {rightOuter, Bounds(370, 80, 30, 175)},
                               {rightInner, Bounds(350, 80, 20, 175)},
                               {fill, Bounds(40, 80, 310, 175)}})
        EXPECT_EQ(panel->BoundsRect(), want) << panel->Name.toStdString();

    // A changed height is docked anew at once, and a container's resize redocks.
    topEarly->SetHeight(10);
    EXPECT_EQ(topLate->Top(), 10);
    EXPECT_EQ(fill->Height(), 195);
    host->SetWidth(500);
    EXPECT_EQ(fill->Width(), 410);
    EXPECT_EQ(rightOuter->Left(), 470);
}

// (How the cells tile the grid shows in the printed contact sheet's cells.)
TEST(LayoutModel, GridCountsAreCheckedAndTheDirectionOrdersTheCells) {
    TLightRep rep;
    TLRBuilder b(&rep);
    auto* grid = b.Grid("Grid", b.Layout("Host", &rep, laTop), laLeft, pdVert);
    b.Finish();
    grid->SetWidth(389);
    grid->SetColCount(4);
    EXPECT_THROW(grid->SetColCount(40), ELRError);
    EXPECT_THROW(grid->SetColCount(0), ELRError);
    EXPECT_EQ(grid->ColCount(), 4);
    grid->SetColCount(38); // 389 div 38 = 10 is still allowed
    EXPECT_THROW(grid->SetRowCount(31), ELRError);
    EXPECT_EQ(grid->RowCount(), 1);

    grid->SetColCount(2);
    grid->SetRowCount(3);
    QStringList order;
    grid->OnPrintPanel = [&](TLRGridPanel*, int c, int r, const TRect&, TPrintStatus&) {
        order << QString("%1%2").arg(c).arg(r);
    };
    for (auto [d, expect] :
         {std::pair{pdVert, "00 01 02 10 11 12"}, std::pair{pdHorz, "00 10 01 11 02 12"},
          std::pair{pdHolz, "00 10 01 11 02 12"}}) {
        order.clear();
        grid->PrintDirection = d;
        PreviewOnce(rep);
        EXPECT_EQ(order.join(' '), expect);
    }
}

TEST(LayoutModel, StatusFromTheEventsDecidesWhatIsDrawn) {
    TLightRep rep;
    TLRBuilder b(&rep);
    auto* base = b.Layout("Base", &rep, laClient);
    auto* grid = b.Grid("Grid", base, laTop, pdHorz);
    grid->SetHeight(200);
    grid->SetColCount(3);
    b.Add<TRecordingItem>("cell", grid);
    b.Add<TRecordingItem>("nested", b.Layout("Nested", grid, laTop));
    b.Add<TRecordingItem>("disabled", grid)->SetEnabled(false);
    b.Finish();

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

    // A layout panel that skips itself draws nothing and does not call AfterPrint; a
    // disabled panel is not drawn but keeps its place in the docking.
    TRecordingItem::Calls.clear();
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
