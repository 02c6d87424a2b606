// The grid as a keyboard and wheel user meets it, on the offscreen platform: keys moving the
// selection at the grid's edges and keeping it in view, the wheel distance per notch at the
// three sizes, Enter and double-click opening, the broken-picture cell and the tooltips, and
// the finer picture kept for a device pixel ratio of 2.
#include "app/c_ThumbListView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<TThumbListView> MakeGrid(int surfaceWidth, int height, int thumb = 128) {
    auto grid = std::make_unique<TThumbListView>();
    QPalette pal = grid->palette();
    pal.setColor(QPalette::Window, Qt::black);
    grid->setPalette(pal);
    grid->SetThumbWidth(thumb);
    grid->SetThumbHeight(thumb);
    grid->resize(surfaceWidth + TThumbListView::ScrollBarWidth, height);
    grid->show();
    return grid;
}

void Key(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

void Wheel(QWidget* w, QPoint angle, QPoint pixels = QPoint()) {
    QWheelEvent ev(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), pixels, angle, Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
}

QImage Solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// Whether the whole cell lies on the surface.
bool FullyVisible(const TThumbListView& grid, int index) {
    const QRect cell = grid.CellRect(index);
    return cell.top() >= 0 && cell.top() + cell.height() <= grid.Surface()->height();
}

} // namespace

TEST(GridKeys, MovesTheSelectionAtTheEdgesAndKeepsItInView) {
    // 600 wide: 3 columns; 400 high: 2 rows a page (row step 196); 11 items: 4 rows, the
    // last holding 9 and 10.
    auto grid = MakeGrid(600, 400);
    grid->SetCount(11);
    ASSERT_EQ(grid->Columns(), 3);
    ASSERT_EQ(grid->RowsPerPage(), 2);
    struct TCase {
        int From;
        int Key;
        int To;
    };
    const TCase cases[] = {
        {-1, Qt::Key_Down, 0},     // the first key selects the first item
        {-1, Qt::Key_End, 10},     // End from nothing: the last
        {0, Qt::Key_Left, 0},      // first item: Left stays
        {0, Qt::Key_Up, 0},        // first row: Up stays
        {3, Qt::Key_Left, 2},      // Left wraps to the end of the row above
        {2, Qt::Key_Right, 3},     // Right wraps to the next row
        {10, Qt::Key_Right, 10},   // last item: Right stays
        {1, Qt::Key_Down, 4},      // Down: one row
        {7, Qt::Key_Down, 10},     // below 7 the last row ends at 10: its last item
        {8, Qt::Key_Down, 10},     // the same from the last column
        {9, Qt::Key_Down, 9},      // last row: Down stays
        {10, Qt::Key_Up, 7},       // Up: one row
        {1, Qt::Key_PageDown, 7},  // a page is two rows
        {7, Qt::Key_PageDown, 10}, // past the end: the same column of the last row, or last
        {4, Qt::Key_PageDown, 10}, {8, Qt::Key_PageUp, 2},
        {5, Qt::Key_PageUp, 2}, // past the start: the same column of the first row
        {6, Qt::Key_Home, 0},      {0, Qt::Key_End, 10},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "from " << c.From << " key " << std::hex << c.Key);
        grid->SetSelected(c.From);
        // Start from the far end of the view, so that keeping the target in view shows.
        grid->SetScrollPosition(c.To < 6 ? grid->ScrollBar()->maximum() : 0);
        QList<int> moved;
        auto link = QObject::connect(grid.get(), &TThumbListView::SelectionMoved,
                                     [&](int i) { moved << i; });
        Key(grid.get(), c.Key);
        QObject::disconnect(link);
        EXPECT_EQ(grid->Selected(), c.To);
        EXPECT_TRUE(FullyVisible(*grid, c.To)) << "cell top " << grid->CellRect(c.To).top();
        EXPECT_EQ(moved, QList<int>{c.To});
    }
    // No items: keys change nothing.
    grid->SetCount(0);
    Key(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->Selected(), -1);
}

TEST(GridKeys, EnterAndDoubleClickOpenTheItemUnderThem) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(5);
    QList<int> opened;
    QObject::connect(grid.get(), &TThumbListView::ItemOpened, [&](int i) { opened << i; });
    Key(grid.get(), Qt::Key_Return); // nothing selected: nothing to open
    EXPECT_TRUE(opened.isEmpty());
    grid->SetSelected(4);
    Key(grid.get(), Qt::Key_Enter);
    EXPECT_EQ(opened, QList<int>{4});
    opened.clear();

    // A double-click on cell 1 (second column, first row) opens it; in a gap nothing.
    const QPoint cell1 = grid->CellRect(1).center();
    for (const QPoint& p : {cell1, QPoint(grid->CellRect(1).left() - 4, 50)}) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), grid->mapToGlobal(QPointF(p)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->Surface(), &press);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(p), grid->mapToGlobal(QPointF(p)),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->Surface(), &dbl);
    }
    EXPECT_EQ(opened, QList<int>{1});
    EXPECT_EQ(grid->Selected(), -1); // the gap's press cleared the selection
}

TEST(GridWheel, ANotchIsAQuarterRowScaledByLinesPerNotch) {
    struct TCase {
        int Thumb;
        int Lines;
        int Notch; // pixels
    };
    // Row steps: Large 256 + 36 + 24 + 8 = 324, Medium 196, Small 164.
    const TCase cases[] = {
        {256, 3, 81}, {128, 3, 49}, {96, 3, 41}, {256, 6, 162}, {128, 1, 16}, {96, 12, 164},
    };
    const int savedLines = QApplication::wheelScrollLines();
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.Thumb << " at " << c.Lines << " lines");
        QApplication::setWheelScrollLines(c.Lines);
        auto grid = MakeGrid(600, 300, c.Thumb);
        grid->SetCount(60);
        EXPECT_EQ(grid->WheelStep(), c.Notch);
        Wheel(grid->Surface(), QPoint(0, -120));
        EXPECT_EQ(grid->ScrollPosition(), c.Notch);
        // Over the scroll bar the same.
        Wheel(grid->ScrollBar(), QPoint(0, -120));
        EXPECT_EQ(grid->ScrollPosition(), 2 * c.Notch);
        // A high-resolution wheel's eighths of a notch add up to the same distance.
        grid->SetScrollPosition(0);
        for (int i = 0; i < 8; ++i)
            Wheel(grid->Surface(), QPoint(0, -15));
        EXPECT_NEAR(grid->ScrollPosition(), c.Notch, 1);
    }
    QApplication::setWheelScrollLines(savedLines);

    // A touchpad scrolls by its pixel distance; the ends hold.
    auto grid = MakeGrid(600, 300);
    grid->SetCount(60);
    Wheel(grid->Surface(), QPoint(0, -120), QPoint(0, -37));
    EXPECT_EQ(grid->ScrollPosition(), 37);
    Wheel(grid->Surface(), QPoint(0, 120), QPoint(0, 500));
    EXPECT_EQ(grid->ScrollPosition(), 0);
    grid->SetScrollPosition(grid->ScrollBar()->maximum());
    Wheel(grid->Surface(), QPoint(0, -120));
    EXPECT_EQ(grid->ScrollPosition(), grid->ScrollBar()->maximum());
}

TEST(GridCells, BrokenPictureMarkAndTooltips) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(3);
    auto fill = [&](int i, const QStringList& info) {
        grid->Item(i)->Info = info;
        grid->Item(i)->FileName = info[1];
    };
    fill(0, {"Finished", "good <1>.jpg", "/photos/good <1>.jpg", "1263616", "2024/05/06 07:08:10",
             "2024/05/06 07:08:09", "4000", "3000", ""});
    fill(1,
         {"", "bad.jpg", "/photos/bad.jpg", "3600", "2024/05/07 10:00:00", "", "640", "480", ""});
    fill(2, {"", "clip.avi", "/photos/clip.avi", "", "", "", "", "", ""});
    grid->SetThumbnail(0, Solid(400, 300, Qt::green));
    grid->SetThumbnailError(1, "JPEG error in /photos/bad.jpg: Premature end of JPEG file");

    EXPECT_EQ(grid->ToolTipText(0).toStdString(), "/photos/good <1>.jpg\n"
                                                  "File size: 1,263,616 bytes\n"
                                                  "Pixel size: 4000 x 3000\n"
                                                  "Shooting date: 2024/05/06 07:08:09\n"
                                                  "File date: 2024/05/06 07:08:10");
    EXPECT_EQ(grid->ToolTipText(1).toStdString(),
              "/photos/bad.jpg\n"
              "File size: 3,600 bytes\n"
              "Pixel size: 640 x 480\n"
              "Shooting date: unknown\n"
              "File date: 2024/05/07 10:00:00\n"
              "Cannot show the picture: JPEG error in /photos/bad.jpg: Premature end of JPEG file");
    EXPECT_EQ(grid->ToolTipText(2).toStdString(), "/photos/clip.avi\n"
                                                  "File size: unknown\n"
                                                  "Pixel size: unknown\n"
                                                  "Shooting date: unknown\n"
                                                  "File date: unknown");

    // The broken cell shows a mark in its picture box; a cell not yet made stays blank.
    const QImage shot = grid->Surface()->grab().toImage();
    auto marked = [&](int i) {
        const QRect cell = grid->CellRect(i);
        const QRect box(cell.left() + 8, cell.top() + 8, 128, 128);
        int coloured = 0;
        for (int y = box.top(); y < box.bottom(); y += 2)
            for (int x = box.left(); x < box.right(); x += 2) {
                const QColor c = shot.pixelColor(x, y);
                coloured += (c.red() > 180 && c.green() < 80) ? 1 : 0; // the red cross
            }
        return coloured;
    };
    EXPECT_GT(marked(1), 20);
    EXPECT_EQ(marked(2), 0);
    EXPECT_TRUE(grid->Item(1)->Bitmap.isNull()) << "prints keep the frame-only cell";
    // A picture made later (Reload) takes the mark away; a new load clears it.
    grid->SetThumbnail(1, Solid(400, 300, Qt::green));
    EXPECT_TRUE(grid->Item(1)->Error.isEmpty());
    grid->SetThumbnailError(1, "gone");
    grid->SetCount(3);
    EXPECT_TRUE(grid->Item(1)->Error.isEmpty());
}

TEST(GridCells, FinerPictureForADevicePixelRatioOfTwo) {
    // The device picture comes from the cached thumbnail (512 box), at twice the cell's
    // pixels, tagged with the ratio; at a ratio of 1 there is none.
    const QImage cached = Solid(512, 384, Qt::blue);
    struct TCase {
        int Thumb;
        qreal Ratio;
        QSize Device;
    };
    const TCase cases[] = {
        {256, 2, {512, 384}}, {128, 2, {256, 192}}, {96, 2, {192, 144}}, {256, 1, {0, 0}}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Thumb);
        const QImage device =
            TThumbListView::ScaleDeviceThumbnail(cached, c.Thumb, c.Thumb, c.Ratio);
        EXPECT_EQ(device.size(), c.Device);
        if (!device.isNull()) {
            EXPECT_EQ(device.devicePixelRatio(), c.Ratio);
            // Large at ratio 2 is the cached thumbnail itself, not an enlargement.
            if (c.Thumb == 256) {
                EXPECT_EQ(device, cached);
            }
        }
    }
    // On this (ratio 1) screen the item keeps no device picture.
    auto grid = MakeGrid(600, 400);
    grid->SetCount(1);
    grid->SetThumbnail(0, cached);
    EXPECT_EQ(grid->Item(0)->Bitmap.size(), QSize(128, 96));
    EXPECT_TRUE(grid->Item(0)->DeviceBitmap.isNull());
}
