// Grid sizes and the order in which a grid's cells are drawn.
#include "report/LRBuilder.h"
#include "report/LightRep.h"

#include <gtest/gtest.h>

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
