// The grid on the offscreen platform: geometry and hits, keys, the wheel, caption lines, the
// broken-picture cell; and the picture fit it relies on.
#include "Common/c_Fit.h"
#include "app/c_ThumbListView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// A grid whose surface is surfaceWidth wide once it holds items.
std::unique_ptr<TThumbListView> MakeGrid(int surfaceWidth, int height, int thumb = 128) {
    auto grid = std::make_unique<TThumbListView>();
    grid->SetThumbWidth(thumb);
    grid->SetThumbHeight(thumb);
    grid->resize(surfaceWidth + TThumbListView::ScrollBarWidth, height);
    grid->show();
    return grid;
}

int InkIn(const QImage& img, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(0, top); y < std::min(bottom, img.height()); ++y)
        for (int x = std::max(0, left); x < std::min(right, img.width()); ++x)
            n += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    return n;
}

} // namespace

TEST(ThumbListView, ColumnsRowsRangeAndScrollBar) {
    struct {
        int Surface, Height, Thumb, Count, Columns, Rows;
        bool Bar;
    } const cases[] = {
        {600, 400, 128, 7, 3, 3, true},  // a last row partly filled still counts
        {600, 400, 128, 6, 3, 2, false}, // two rows fit the surface
        {100, 300, 128, 3, 1, 3, true},  // narrower than a cell: one column
        {600, 300, 96, 10, 5, 2, true},  {600, 300, 128, 0, 4, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Count);
        auto grid = MakeGrid(c.Surface, c.Height, c.Thumb);
        grid->SetCount(c.Count);
        // The surface takes the scroll bar's place only while there are no items.
        EXPECT_EQ(std::tuple(grid->Columns(), grid->Rows(), grid->ScrollRange(),
                             grid->ScrollBar()->isVisible(), grid->Surface()->width()),
                  std::tuple(c.Columns, c.Rows, grid->RowStep() * c.Rows, c.Bar,
                             c.Surface + (c.Count ? 0 : TThumbListView::ScrollBarWidth)));
    }
}

TEST(GridKeys, MovesTheSelectionAtTheEdgesAndKeepsItInView) {
    // 3 columns, 2 rows a page, 11 items: 4 rows, the last holding 9 and 10.
    auto grid = MakeGrid(600, 400);
    grid->SetCount(11);
    EXPECT_EQ(grid->HitTest(QPoint(151, 195)), 0);  // the edge belongs to the cell
    EXPECT_EQ(grid->HitTest(QPoint(152, 100)), -1); // the column step starts the gap
    const std::array<int, 3> cases[] = {
        {-1, Qt::Key_Down, 0},     // the first key selects the first item
        {0, Qt::Key_Up, 0},        // first row: Up stays
        {3, Qt::Key_Left, 2},      // Left wraps to the end of the row above
        {10, Qt::Key_Right, 10},   // last item: Right stays
        {7, Qt::Key_Down, 10},     // below 7 the last row ends at 10: its last item
        {9, Qt::Key_Down, 9},      // last row: Down stays
        {1, Qt::Key_PageDown, 7},  // a page is two rows
        {7, Qt::Key_PageDown, 10}, // past the end: the same column of the last row, or last
        {5, Qt::Key_PageUp, 2},    // past the start: the same column of the first row
    };
    for (auto [from, key, to] : cases) {
        SCOPED_TRACE(::testing::Message() << "from " << from << " key " << std::hex << key);
        grid->SetSelected(from);
        // Start from the far end of the view, so that keeping the target in view shows.
        grid->SetScrollPosition(to < 6 ? grid->ScrollBar()->maximum() : 0);
        QList<int> moved;
        auto link = QObject::connect(grid.get(), &TThumbListView::SelectionMoved,
                                     [&](int i) { moved << i; });
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(grid.get(), &press);
        QObject::disconnect(link);
        const QRect cell = grid->CellRect(to);
        EXPECT_EQ(grid->Selected(), to);
        EXPECT_TRUE(cell.top() >= 0 && cell.bottom() < grid->Surface()->height());
        EXPECT_EQ(moved, QList<int>{to});
    }
}

TEST(GridWheel, ANotchIsAQuarterRowScaledByLinesPerNotch) {
    // Row steps: Large 324, Medium 196, Small 164.
    const std::array<int, 3> cases[] = {{256, 3, 81}, {128, 3, 49}, {96, 3, 41}, {128, 1, 16}};
    const int savedLines = QApplication::wheelScrollLines();
    for (auto [thumb, lines, notch] : cases) {
        SCOPED_TRACE(::testing::Message() << thumb << " at " << lines << " lines");
        QApplication::setWheelScrollLines(lines);
        auto grid = MakeGrid(600, 300, thumb);
        grid->SetCount(60);
        QWheelEvent ev(QPointF(10, 10), grid->mapToGlobal(QPointF(10, 10)), QPoint(),
                       QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid->Surface(), &ev);
        EXPECT_EQ(grid->ScrollPosition(), notch);
    }
    QApplication::setWheelScrollLines(savedLines);
}

TEST(CaptionLines, UnderscoreAndDescendersStayInsideTheirLineAtEverySize) {
    const QString text = "g_jpy";
    for (const int box : {256, 128, 96}) {
        SCOPED_TRACE(box);
        auto grid = MakeGrid(box, box + 200, box);
        grid->SetCount(1);
        grid->Item(0)->FileName = text;
        grid->Item(0)->Info[8] = text;
        const QImage shot = grid->Surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The text drawn freely with the grid's font: its whole ink, and the ink below the
        // baseline (descenders and the underscore).
        const QFontMetrics fm(grid->Surface()->font());
        const int pitch = grid->FontHeight();
        QImage free(fm.horizontalAdvance(text) + 40, 4 * pitch, QImage::Format_RGB32);
        free.fill(Qt::white);
        QPainter p(&free);
        p.setFont(grid->Surface()->font());
        p.drawText(QPoint(20, 2 * pitch), text);
        p.end();
        const int whole = InkIn(free, 0, 0, free.width(), free.height());
        const int below = InkIn(free, 0, 2 * pitch + 1, free.width(), free.height());
        ASSERT_GT(below, 0);
        const QRect cell = grid->CellRect(0);
        for (int line = 0; line < 2; ++line) { // the caption, then the name
            const int top = cell.top() + 2 * TThumbListView::CellMargin + box + line * pitch;
            EXPECT_EQ(InkIn(shot, cell.left(), top, cell.right() + 1, top + pitch), whole);
            EXPECT_EQ(
                InkIn(shot, cell.left(), top + fm.ascent() + 1, cell.right() + 1, top + pitch),
                below);
        }
    }
}

TEST(GridCells, BrokenPictureMarkAndTooltip) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(3);
    grid->Item(1)->Info =
        QString("|bad.jpg|/photos/bad.jpg|3600|2024/05/07 10:00:00||||").split('|');
    grid->SetThumbnailError(1, "JPEG error: Premature end of JPEG file");
    EXPECT_EQ(grid->ToolTipText(1).toStdString(),
              "/photos/bad.jpg\nFile size: 3,600 bytes\nPixel size: unknown\n"
              "Shooting date: unknown\nFile date: 2024/05/07 10:00:00\n"
              "Cannot show the picture: JPEG error: Premature end of JPEG file");
    // The broken cell shows a red cross in its picture box; a cell not yet made stays blank.
    const QImage shot = grid->Surface()->grab().toImage();
    auto marked = [&](int i) { // red pixels in its picture box
        int red = 0;
        for (int k = 0; k < 64 * 64; ++k) {
            const QColor c = shot.pixelColor(grid->CellRect(i).topLeft() +
                                             QPoint(8 + k % 64 * 2, 8 + k / 64 * 2));
            red += (c.red() > 180 && c.green() < 80) ? 1 : 0;
        }
        return red;
    };
    EXPECT_GT(marked(1), 20);
    EXPECT_EQ(marked(2), 0);
    EXPECT_TRUE(grid->Item(1)->Bitmap.isNull()) << "prints keep the frame-only cell";
    grid->SetCount(3); // a new load clears the mark
    EXPECT_TRUE(grid->Item(1)->Error.isEmpty());
}

TEST(Fit, FitImageControlRoundsHalfToEven) {
    // s = 0.5: 16.5 rounds to 16 and 1.5 to 2; (101 - 2) / 2 to 50.
    QWidget w;
    FitImageControl(&w, {100, 33}, {0, 0, 50, 50});
    EXPECT_EQ(w.geometry(), QRect(0, 17, 50, 16));
    FitImageControl(&w, {10, 3}, {0, 0, 5, 101});
    EXPECT_EQ(w.geometry(), QRect(0, 50, 5, 2));
    for (auto [v, r] : {std::pair{2.5, 2}, {3.5, 4}, {-0.5, 0}, {0.6, 1}})
        EXPECT_EQ(RoundHalfEven(v), r) << v;
}
