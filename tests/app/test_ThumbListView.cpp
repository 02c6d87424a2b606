// The grid on the offscreen platform: geometry, hits and selection, keys, the wheel, picture
// scaling and drawing, caption lines, name wrapping, the broken-picture cell and tooltips.
#include "Common/c_Fit.h"
#include "app/c_ThumbListView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// A grid whose surface is surfaceWidth wide once it holds items, on black.
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

void Mouse(QWidget* w, QPoint p, QEvent::Type type = QEvent::MouseButtonPress,
           Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent ev(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
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
        EXPECT_EQ(grid->Columns(), c.Columns);
        EXPECT_EQ(grid->Rows(), c.Rows);
        EXPECT_EQ(grid->ScrollRange(), grid->RowStep() * c.Rows);
        EXPECT_EQ(grid->ScrollBar()->isHidden(), !c.Bar);
        // The surface takes the scroll bar's place only while there are no items.
        EXPECT_EQ(grid->Surface()->width(),
                  c.Surface + (c.Count ? 0 : TThumbListView::ScrollBarWidth));
    }
}

TEST(ThumbListView, HitTestSelectionByAnyButtonAndOpening) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(7);
    QWidget* s = grid->Surface();
    QList<int> opened;
    QObject::connect(grid.get(), &TThumbListView::ItemOpened, [&](int i) { opened << i; });
    EXPECT_EQ(grid->HitTest(QPoint(151, 195)), 0);  // the edge belongs to the cell
    EXPECT_EQ(grid->HitTest(QPoint(152, 100)), -1); // the column step starts the gap
    Key(grid.get(), Qt::Key_Return);                // nothing selected: nothing to open
    Mouse(s, QPoint(170, 210));
    EXPECT_EQ(grid->Selected(), 4);
    Key(grid.get(), Qt::Key_Enter);
    Mouse(s, QPoint(155, 50)); // the gap clears the selection and opens nothing
    Mouse(s, QPoint(155, 50), QEvent::MouseButtonDblClick);
    EXPECT_EQ(grid->Selected(), -1);
    Mouse(s, QPoint(20, 20), QEvent::MouseButtonPress, Qt::RightButton);
    Mouse(s, QPoint(20, 20), QEvent::MouseButtonDblClick);
    EXPECT_EQ(grid->Selected(), 0);
    EXPECT_EQ(opened, QList<int>({4, 0}));
    Mouse(s, QPoint(170, 2 * 196 + 20)); // the third row's middle cell does not exist
    EXPECT_EQ(grid->Selected(), -1);

    grid->SetSelected(6);
    grid->SetSelected(7); // at Count: ignored
    EXPECT_EQ(grid->Selected(), 6);
    grid->SetCount(5); // the selected item is gone
    EXPECT_EQ(grid->Selected(), -1);
    grid->SetSelected(2);
    grid->SetCount(3); // kept items are reset but the selection stays
    EXPECT_EQ(grid->Selected(), 2);
}

TEST(GridKeys, MovesTheSelectionAtTheEdgesAndKeepsItInView) {
    // 3 columns, 2 rows a page, 11 items: 4 rows, the last holding 9 and 10.
    auto grid = MakeGrid(600, 400);
    grid->SetCount(11);
    const std::array<int, 3> cases[] = {
        {-1, Qt::Key_Down, 0},     // the first key selects the first item
        {-1, Qt::Key_End, 10},     // End from nothing: the last
        {0, Qt::Key_Up, 0},        // first row: Up stays
        {3, Qt::Key_Left, 2},      // Left wraps to the end of the row above
        {2, Qt::Key_Right, 3},     // Right wraps to the next row
        {10, Qt::Key_Right, 10},   // last item: Right stays
        {7, Qt::Key_Down, 10},     // below 7 the last row ends at 10: its last item
        {9, Qt::Key_Down, 9},      // last row: Down stays
        {1, Qt::Key_PageDown, 7},  // a page is two rows
        {7, Qt::Key_PageDown, 10}, // past the end: the same column of the last row, or last
        {5, Qt::Key_PageUp, 2},    // past the start: the same column of the first row
        {6, Qt::Key_Home, 0},
    };
    for (auto [from, key, to] : cases) {
        SCOPED_TRACE(::testing::Message() << "from " << from << " key " << std::hex << key);
        grid->SetSelected(from);
        // Start from the far end of the view, so that keeping the target in view shows.
        grid->SetScrollPosition(to < 6 ? grid->ScrollBar()->maximum() : 0);
        QList<int> moved;
        auto link = QObject::connect(grid.get(), &TThumbListView::SelectionMoved,
                                     [&](int i) { moved << i; });
        Key(grid.get(), key);
        QObject::disconnect(link);
        const QRect cell = grid->CellRect(to);
        EXPECT_EQ(grid->Selected(), to);
        EXPECT_TRUE(cell.top() >= 0 && cell.bottom() < grid->Surface()->height());
        EXPECT_EQ(moved, QList<int>{to});
    }
    grid->SetCount(0); // no items: keys change nothing
    Key(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->Selected(), -1);
}

TEST(GridWheel, ANotchIsAQuarterRowScaledByLinesPerNotch) {
    // Row steps: Large 324, Medium 196, Small 164.
    const std::array<int, 3> cases[] = {
        {256, 3, 81}, {128, 3, 49}, {96, 3, 41}, {128, 1, 16}, {96, 12, 164}};
    const int savedLines = QApplication::wheelScrollLines();
    for (auto [thumb, lines, notch] : cases) {
        SCOPED_TRACE(::testing::Message() << thumb << " at " << lines << " lines");
        QApplication::setWheelScrollLines(lines);
        auto grid = MakeGrid(600, 300, thumb);
        grid->SetCount(60);
        Wheel(grid->Surface(), QPoint(0, -120));
        EXPECT_EQ(grid->ScrollPosition(), notch);
        Wheel(grid->ScrollBar(), QPoint(0, -120)); // over the scroll bar the same
        EXPECT_EQ(grid->ScrollPosition(), 2 * notch);
        // A high-resolution wheel's eighths of a notch add up to the same distance.
        grid->SetScrollPosition(0);
        for (int i = 0; i < 8; ++i)
            Wheel(grid->Surface(), QPoint(0, -15));
        EXPECT_NEAR(grid->ScrollPosition(), notch, 1);
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
    grid->SetScrollPosition(196 * 4 + 10);
    EXPECT_EQ(grid->FirstVisible(), 12);
    EXPECT_EQ(grid->HitTest(QPoint(20, 0)), 12);
}

TEST(ThumbListView, SetThumbnailStretchesToTheBoxAndDrawsCentred) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(2);
    grid->SetThumbnail(0, Solid(1600, 1200, Qt::red));
    EXPECT_EQ(grid->Item(0)->Bitmap.size(), QSize(128, 96));
    grid->SetThumbnail(5, Solid(10, 10, Qt::blue)); // beyond the items: nothing
    // A prepared picture is taken only when it has the size this box gives.
    const QImage src = Solid(1600, 1200, Qt::green);
    grid->SetThumbnail(1, src, Solid(64, 48, Qt::yellow));
    EXPECT_EQ(grid->Item(1)->Bitmap.pixelColor(5, 5), QColor(Qt::green));
    grid->SetThumbnail(1, src,
                       TThumbListView::ScaleThumbnail(Solid(1600, 1200, Qt::yellow), 128, 128));
    EXPECT_EQ(grid->Item(1)->Bitmap.pixelColor(5, 5), QColor(Qt::yellow));
    const QImage shot = grid->Surface()->grab().toImage(); // the picture centred at (0, 16)
    EXPECT_EQ(shot.pixelColor(20, 30), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(20, 33), QColor(Qt::red));
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

TEST(ThumbListView, WrapNameKeepsWholeCharactersAndAtMostTwoLines) {
    auto grid = MakeGrid(600, 400);
    const QFontMetrics fm(grid->Surface()->font());
    const int max = grid->CellWidth() - 16;
    QString edge; // overflows by its last character only: not broken
    while (fm.horizontalAdvance(edge + "W") <= max)
        edge += "W";
    const QString names[] = {
        QString("a_very_long_file_name_").repeated(8) + ".jpg",
        // Japanese and characters outside the basic plane (two UTF-16 units).
        QString::fromUtf8("写真の名前がとても長いファイル😀😀😀😀😀😀😀😀😀😀😀😀😀😀旅行.jpg"), edge + "W"};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QStringList lines{"caption"};
        grid->WrapName(name, max, lines);
        ASSERT_EQ(lines.size(), name == names[2] ? 2 : 3);
        for (int i = 1; i < lines.size(); ++i) {
            EXPECT_FALSE(lines[i].front().isLowSurrogate() || lines[i].back().isHighSurrogate());
            EXPECT_TRUE(name == names[2] || fm.horizontalAdvance(lines[i]) <= max);
        }
        EXPECT_TRUE(name.startsWith(lines.mid(1).join(""))) << lines[0].toStdString();
    }
}

TEST(GridCells, BrokenPictureMarkAndTooltips) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(3);
    grid->Item(0)->Info = QString("Finished|good <1>.jpg|/photos/good <1>.jpg|1263616|"
                                  "2024/05/06 07:08:10|2024/05/06 07:08:09|4000|3000|")
                              .split('|');
    grid->Item(1)->Info =
        QString("|bad.jpg|/photos/bad.jpg|3600|2024/05/07 10:00:00||||").split('|');
    grid->SetThumbnail(0, Solid(400, 300, Qt::green));
    grid->SetThumbnailError(1, "JPEG error: Premature end of JPEG file");
    EXPECT_EQ(grid->ToolTipText(0).toStdString(),
              "/photos/good <1>.jpg\nFile size: 1,263,616 bytes\nPixel size: 4000 x 3000\n"
              "Shooting date: 2024/05/06 07:08:09\nFile date: 2024/05/06 07:08:10");
    EXPECT_EQ(grid->ToolTipText(1).toStdString(),
              "/photos/bad.jpg\nFile size: 3,600 bytes\nPixel size: unknown\n"
              "Shooting date: unknown\nFile date: 2024/05/07 10:00:00\n"
              "Cannot show the picture: JPEG error: Premature end of JPEG file");

    // The broken cell shows a red cross in its picture box; a cell not yet made stays blank.
    const QImage shot = grid->Surface()->grab().toImage();
    auto marked = [&](int i) { // red pixels in its picture box
        int red = 0;
        for (int y = 0; y < 128; y += 2)
            for (int x = 0; x < 128; x += 2) {
                const QColor c =
                    shot.pixelColor(grid->CellRect(i).topLeft() + QPoint(8 + x, 8 + y));
                red += (c.red() > 180 && c.green() < 80) ? 1 : 0;
            }
        return red;
    };
    EXPECT_GT(marked(1), 20);
    EXPECT_EQ(marked(2), 0);
    EXPECT_TRUE(grid->Item(1)->Bitmap.isNull()) << "prints keep the frame-only cell";
    grid->SetThumbnail(1, Solid(400, 300, Qt::green)); // made later: the mark goes
    EXPECT_TRUE(grid->Item(1)->Error.isEmpty());
    grid->SetThumbnailError(1, "gone");
    grid->SetCount(3); // a new load clears it
    EXPECT_TRUE(grid->Item(1)->Error.isEmpty());
}

TEST(GridCells, FinerPictureForADevicePixelRatioOfTwo) {
    // From the cached thumbnail (512 box), at twice the cell's pixels; none at a ratio of 1.
    const QImage cached = Solid(512, 384, Qt::blue);
    for (auto [thumb, ratio, size] : {std::tuple{256, 2.0, QSize(512, 384)},
                                      {96, 2.0, QSize(192, 144)},
                                      {256, 1.0, QSize(0, 0)}}) {
        SCOPED_TRACE(thumb);
        const QImage device = TThumbListView::ScaleDeviceThumbnail(cached, thumb, thumb, ratio);
        EXPECT_EQ(device.size(), size);
        EXPECT_TRUE(device.isNull() || device.devicePixelRatio() == ratio);
    }
    auto grid = MakeGrid(600, 400);
    grid->SetCount(1);
    grid->SetThumbnail(0, cached);
    EXPECT_TRUE(grid->Item(0)->DeviceBitmap.isNull());
}

TEST(Fit, FitRectTruncatesAndFitImageControlRoundsHalfToEven) {
    struct {
        QSize Picture;
        QRect Box, Fit;
    } const rects[] = {
        {{1600, 1200}, {0, 0, 128, 128}, {0, 16, 128, 96}},
        {{48, 48}, {10, 20, 128, 96}, {26, 20, 96, 96}},
        {{3, 1}, {0, 0, 100, 100}, {0, 33, 100, 33}}, // 33.33 truncated
        {{0, 5}, {0, 0, 10, 10}, {0, 0, 0, 0}},
        // FitImageControl: s = 0.5, 16.5 rounds to 16 and 1.5 to 2; (101 - 2) / 2 to 50.
        {{100, 33}, {0, 0, 50, 50}, {0, 17, 50, 16}},
        {{10, 3}, {0, 0, 5, 101}, {0, 50, 5, 2}},
    };
    QWidget w;
    for (int i = 0; i < 6; ++i) {
        if (i >= 4)
            FitImageControl(&w, rects[i].Picture, rects[i].Box);
        EXPECT_EQ(i < 4 ? FitRect(rects[i].Picture, rects[i].Box) : w.geometry(), rects[i].Fit)
            << i;
    }
    for (auto [v, r] : {std::pair{2.5, 2}, {3.5, 4}, {-0.5, 0}, {0.6, 1}})
        EXPECT_EQ(RoundHalfEven(v), r) << v;
}
