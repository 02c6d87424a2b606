// The index card layout on the recording printer: which item lands in which cell.
#include "printjobs/p_ThumbnailPrint.h"
#include "report/support_FakePrinter.h"
#include "support_Print.h"

#include <gtest/gtest.h>

TEST(IndexCard, RightCardFirstThenLeftRowByRow) {
    const QColor empty(0xED, 0xED, 0xED), icon(Qt::black);
    const struct {
        int Count, N, Pages, Page;
        bool Right;
        int Col, Row;
        QColor Expect; // ColourOf the item, empty, or the video's icon
    } cases[] = {
        {0, 6, 1, 1, true, 0, 0, empty},
        {3, 1, 2, 1, true, 0, 0, ColourOf(0)},
        {3, 1, 2, 1, false, 0, 0, ColourOf(1)},
        {3, 1, 2, 2, true, 0, 0, ColourOf(2)},
        {3, 1, 2, 2, false, 0, 0, empty},
        {72, 6, 1, 1, false, 5, 5, ColourOf(71)},
        {73, 6, 2, 1, true, 1, 1, ColourOf(7)},
        {73, 6, 2, 2, true, 0, 0, ColourOf(72)},
        {73, 6, 2, 2, true, 1, 0, empty},
        // p001 unreadable: frame only, the rest prints; CLIP.AVI after p002 shows its icon.
        {-3, 2, 1, 1, true, 1, 0, empty},
        {-3, 2, 1, 1, true, 0, 1, ColourOf(2)},
        {-3, 2, 1, 1, true, 1, 1, icon},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TScopedFakePrinter printer;
        printer.Fake.Mode.Orientation = DMORIENT_LANDSCAPE;
        printer.Fake.Paper = {7016, 4961};
        TPrintItemVector items;
        for (int i = 0; i < std::abs(c.Count); ++i)
            items.AddFile(QString("/photos/p%1.jpg").arg(i, 3, 10, QChar('0')));
        if (c.Count < 0)
            items.AddFile("/photos/CLIP.AVI");
        TprtThumbnailPrint layout;
        layout.ItemList = &items;
        layout.SetGridSize(c.N);
        layout.Pictures.Thumbnail = [&](const QString& path, QImage& bitmap) {
            if (c.Count < 0 && path == "/photos/p001.jpg")
                throw std::runtime_error("unreadable");
            EXPECT_FALSE(path.endsWith(".AVI"));
            bitmap = QImage(64, 64, QImage::Format_RGB32);
            bitmap.fill(ColourOf(path.mid(9, 3).toInt()));
            return true;
        };
        layout.Pictures.FileIcon = [](const QString&, QImage& bitmap) {
            bitmap = QImage(48, 48, QImage::Format_RGB32);
            bitmap.fill(Qt::black);
        };
        EXPECT_EQ(layout.ComputePageCount(), c.Pages);
        layout.CurrentPage = c.Page;
        const QImage page = layout.RenderBitmap(1);
        // The middle of the cell's picture box.
        const TLRGridPanel* grid =
            c.Right ? layout.ThumbnailRightCenter : layout.ThumbnailLeftCenter;
        const TRect cell = grid->CellRect(OnPage(grid), c.Col, c.Row);
        const int top = cell.Top + (c.Row == 0 ? 1 : 0), fh = cell.Height() - (c.Row == 0 ? 1 : 0);
        EXPECT_TRUE(
            Near(page.pixel(cell.Left + 3 + (cell.Width() - 5) / 2, top + fh / 20 + fh * 15 / 40),
                 c.Expect));
    }
}
