// Docking, grid sizes and the order in which a grid's cells are drawn.
#include "report/LRBuilder.h"
#include "report/LightRep.h"

#include <gtest/gtest.h>

TEST(LayoutModel, DockingGoesTopBottomLeftRightFillInPositionOrder) {
    TLightRep rep;
    rep.SetPaperSize(psNone);
    auto* host = new TLRLayoutPanel(&rep);
    host->SetAlign(alNone);
    host->SetParent(&rep);
    host->SetBounds(0, 0, 400, 300);
    // Bounds first, docking after: the order comes from the positions (the lowest bottom and
    // the rightmost right edge first).
    const std::tuple<TLRAlign, int, int, TRect> cases[] = {
        {laClient, 0, 0, Bounds(40, 80, 310, 175)},   {laTop, 200, 50, Bounds(0, 30, 400, 50)},
        {laTop, 5, 30, Bounds(0, 0, 400, 30)},        {laBottom, 100, 20, Bounds(0, 255, 400, 20)},
        {laBottom, 250, 25, Bounds(0, 275, 400, 25)}, {laLeft, 0, 40, Bounds(0, 80, 40, 175)},
        {laRight, 350, 30, Bounds(370, 80, 30, 175)}, {laRight, 10, 20, Bounds(350, 80, 20, 175)}};
    std::vector<TLRLayoutPanel*> panels;
    host->DisableAlign();
    for (const auto& [align, pos, size, want] : cases) {
        panels.push_back(new TLRLayoutPanel(&rep));
        panels.back()->SetParent(host);
        panels.back()->SetLRAlign(align);
        align == laTop || align == laBottom ? panels.back()->SetBounds(0, pos, 10, size)
                                            : panels.back()->SetBounds(pos, 0, size, 10);
    }
    host->EnableAlign();
    for (size_t i = 0; i < panels.size(); ++i)
        EXPECT_EQ(panels[i]->BoundsRect(), std::get<3>(cases[i])) << i;
    // A changed height is docked anew at once, and a container's resize redocks.
    panels[2]->SetHeight(10);
    EXPECT_EQ(panels[1]->Top(), 10);
    EXPECT_EQ(panels[0]->Height(), 195);
    host->SetWidth(500);
    EXPECT_EQ(panels[0]->Width(), 410);
}

TEST(LayoutModel, GridCountsAreCheckedAndTheDirectionOrdersTheCells) {
    TLightRep rep;
    TLRBuilder b(&rep);
    auto* grid = b.Grid("Grid", b.Layout("Host", &rep, laTop), laLeft, pdVert);
    b.Finish();
    grid->SetWidth(389);
    EXPECT_THROW(grid->SetColCount(40), ELRError); // cells under 10 units wide
    grid->SetColCount(38);
    EXPECT_EQ(grid->ColCount(), 38);
    grid->SetColCount(2);
    grid->SetRowCount(3);
    QStringList order;
    grid->OnPrintPanel = [&](TLRGridPanel*, int c, int r, const TRect&, TPrintStatus&) {
        order << QString("%1%2").arg(c).arg(r);
    };
    TLRCanvas canvas(nullptr, 96);
    for (auto [d, expect] :
         {std::pair{pdVert, "00 01 02 10 11 12"}, std::pair{pdHorz, "00 10 01 11 02 12"},
          std::pair{pdHolz, "00 10 01 11 02 12"}}) {
        order.clear();
        grid->PrintDirection = d;
        rep.BeginPreview();
        rep.PreviewPage(canvas);
        rep.EndPreview();
        EXPECT_EQ(order.join(' '), expect);
    }
}
