// The grid's geometry, drawing, selection, wrapping and sorting, on the offscreen platform.
#include "Common/c_Fit.h"
#include "app/c_ThumbListView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// A grid whose surface is surfaceWidth wide once it holds items, with black background.
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

void Press(QWidget* w, QPoint p, Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), w->mapToGlobal(QPointF(p)), button,
                      button, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

void Wheel(QWidget* w, int delta) {
    QWheelEvent ev(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
}

QImage Solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

} // namespace

TEST(ThumbListView, ColumnsRowsRangeAndScrollBar) {
    struct {
        int Surface, Height, Thumb, Count;
        int Columns, Rows;
        bool Bar;
    } const cases[] = {
        {600, 400, 128, 7, 3, 3, true},  // a last row partly filled still counts
        {600, 400, 128, 6, 3, 2, false}, // two rows fit the surface
        {100, 300, 128, 3, 1, 3, true},  // narrower than a cell: one column
        {600, 300, 96, 10, 5, 2, true},  {600, 300, 128, 0, 4, 0, false},
    };
    for (const auto& c : cases) {
        auto grid = MakeGrid(c.Surface, c.Height, c.Thumb);
        grid->SetCount(c.Count);
        EXPECT_EQ(grid->Columns(), c.Columns) << c.Count;
        EXPECT_EQ(grid->Rows(), c.Rows) << c.Count;
        EXPECT_EQ(grid->ScrollRange(), grid->RowStep() * c.Rows);
        EXPECT_EQ(grid->ScrollBar()->isHidden(), !c.Bar) << c.Count;
        // The surface takes the scroll bar's place only while there are no items.
        EXPECT_EQ(grid->Surface()->width(),
                  c.Surface + (c.Count ? 0 : TThumbListView::ScrollBarWidth));
    }
    auto grid = MakeGrid(600, 400);
    grid->SetCount(7);
    EXPECT_EQ(grid->CellRect(4), QRect(160, 204, 144, 188));
    EXPECT_EQ(grid->LastVisible(), (400 / 196 + 1) * 3 - 1);
}

TEST(ThumbListView, HitTestAndSelectionByAnyButton) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(7);
    QWidget* s = grid->Surface();
    struct {
        QPoint At;
        int Cell;
    } const hits[] = {
        {{8, 8}, 0},      {{151, 195}, 0}, // edges belong to the cell
        {{152, 100}, -1},                  // the column step starts the gap
        {{155, 50}, -1},  {{50, 4}, -1},   // gaps beside and above
        {{170, 210}, 4},  {{599, 20}, -1}, // beyond the last column
    };
    for (const auto& h : hits)
        EXPECT_EQ(grid->HitTest(h.At), h.Cell) << h.At.x() << "," << h.At.y();

    Press(s, QPoint(170, 210));
    EXPECT_EQ(grid->Selected(), 4);
    Press(s, QPoint(155, 50)); // the gap clears the selection
    EXPECT_EQ(grid->Selected(), -1);
    Press(s, QPoint(20, 20), Qt::RightButton);
    EXPECT_EQ(grid->Selected(), 0);
    // The third row's middle cell does not exist (7 items): no selection.
    Press(s, QPoint(170, 2 * 196 + 20));
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

TEST(ThumbListView, WheelStepsWithinTheRange) {
    auto grid = MakeGrid(600, 300);
    grid->SetCount(30);                // 10 rows: range 1960
    const int inc = grid->WheelStep(); // a quarter row: 196 / 4
    Wheel(grid->Surface(), -120);
    EXPECT_EQ(grid->ScrollPosition(), inc);
    Wheel(grid->Surface(), 120);
    Wheel(grid->Surface(), 120);
    EXPECT_EQ(grid->ScrollPosition(), 0);
    // Over the scroll bar too, the step is the increment, not the bar's own.
    Wheel(grid->ScrollBar(), -120);
    EXPECT_EQ(grid->ScrollPosition(), inc);
    grid->SetScrollPosition(1e6);
    const int bottom = grid->ScrollPosition();
    EXPECT_GT(bottom, 0);
    EXPECT_LE(bottom, grid->ScrollRange());
    Wheel(grid->Surface(), -120);
    EXPECT_EQ(grid->ScrollPosition(), bottom);

    grid->SetScrollPosition(196 * 4 + 10);
    EXPECT_EQ(grid->FirstVisible(), 12);
    EXPECT_EQ(grid->CellRect(12).top(), 8 - 10);
    EXPECT_EQ(grid->HitTest(QPoint(20, 0)), 12);
}

TEST(ThumbListView, SetThumbnailStretchesToTheBoxAndDrawsCentred) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(2);
    grid->SetThumbnail(0, Solid(1600, 1200, Qt::red));
    EXPECT_EQ(grid->Item(0)->Bitmap.size(), QSize(128, 96));
    grid->SetThumbnail(1, Solid(48, 48, Qt::blue)); // small pictures are enlarged
    EXPECT_EQ(grid->Item(1)->Bitmap.size(), QSize(128, 128));
    grid->SetThumbnail(5, Solid(10, 10, Qt::blue)); // beyond the items: nothing
    grid->SetThumbnail(0, Solid(1200, 1600, Qt::red));
    EXPECT_EQ(grid->Item(0)->Bitmap.size(), QSize(96, 128));
    grid->SetThumbnail(0, Solid(1600, 1200, Qt::red));

    const QRect box(16, 16, 128, 128);
    EXPECT_EQ(FitRect(grid->Item(0)->Bitmap, box), QRect(16, 32, 128, 96));

    // A prepared picture is taken only when it has the size this box gives.
    const QImage src = Solid(1600, 1200, Qt::green);
    grid->SetThumbnail(1, src, Solid(64, 48, Qt::yellow));
    EXPECT_EQ(grid->Item(1)->Bitmap.size(), QSize(128, 96));
    EXPECT_EQ(grid->Item(1)->Bitmap.pixelColor(5, 5), QColor(Qt::green));
    grid->SetThumbnail(1, src,
                       TThumbListView::ScaleThumbnail(Solid(1600, 1200, Qt::yellow), 128, 128));
    EXPECT_EQ(grid->Item(1)->Bitmap.pixelColor(5, 5), QColor(Qt::yellow));

    grid->SetSelected(1);
    grid->show();
    const QImage shot = grid->Surface()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(4, 4), QColor(Qt::black));   // gap
    EXPECT_EQ(shot.pixelColor(20, 20), QColor(Qt::white)); // cell above the picture
    EXPECT_EQ(shot.pixelColor(20, 33), QColor(Qt::red));   // picture at (0, 16)
    EXPECT_EQ(shot.pixelColor(20, 30), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(152 + 8 + 2, 20), TThumbListView::SelectedColor);
    EXPECT_EQ(shot.pixelColor(152 + 8 + 20, 40), QColor(Qt::yellow));
}

TEST(ThumbListView, WrapNameKeepsWholeCharactersAndAtMostTwoLines) {
    auto grid = MakeGrid(600, 400);
    const QFontMetrics fm(grid->Surface()->font());
    const int max = grid->CellWidth() - 16;

    QStringList lines{QString()};
    grid->WrapName("IMG_0001.JPG", max, lines);
    EXPECT_EQ(lines, QStringList({QString(), "IMG_0001.JPG"}));

    const QString longName = QString("a_very_long_file_name_").repeated(8) + ".jpg";
    lines = QStringList{QString()};
    grid->WrapName(longName, max, lines);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(longName.startsWith(lines[1] + lines[2]));
    EXPECT_LE(fm.horizontalAdvance(lines[1]), max);
    EXPECT_GT(fm.horizontalAdvance(lines[1] + longName.at(lines[1].size())), max);

    // Japanese and characters outside the basic plane (two UTF-16 units, four UTF-8 bytes).
    const QString wide = QString::fromUtf8("写真の名前がとても長いファイル😀😀😀😀😀😀😀😀"
                                           "😀😀😀😀😀😀旅行の思い出.jpg");
    lines = QStringList{"caption"};
    grid->WrapName(wide, max, lines);
    ASSERT_GE(lines.size(), 2);
    ASSERT_LE(lines.size(), 3);
    QString joined;
    for (int i = 1; i < lines.size(); ++i) {
        const QString& l = lines[i];
        EXPECT_FALSE(l.isEmpty());
        EXPECT_FALSE(l.front().isLowSurrogate()) << i;
        EXPECT_FALSE(l.back().isHighSurrogate()) << i;
        EXPECT_TRUE(l.toUtf8() == QString::fromUtf8(l.toUtf8()).toUtf8());
        EXPECT_LE(fm.horizontalAdvance(l), max);
        joined += l;
    }
    EXPECT_TRUE(wide.startsWith(joined));
    EXPECT_EQ(lines[0], "caption");

    // A name whose only overflow is its last character is not broken.
    QString edge;
    while (fm.horizontalAdvance(edge + "W") <= max)
        edge += "W";
    lines = QStringList{QString()};
    grid->WrapName(edge + "W", max, lines);
    EXPECT_EQ(lines.size(), 2);
}

TEST(ThumbListView, SortUsesTheCallbackAndKeepsTheSelectedPosition) {
    auto grid = MakeGrid(600, 400);
    grid->SetCount(4);
    const QStringList names{"d", "b", "c", "a"};
    for (int i = 0; i < 4; ++i)
        grid->Item(i)->FileName = names[i];
    grid->SetSelected(1);
    int calls = 0;
    grid->OnCompare = [&](int a, int b) {
        ++calls;
        grid->Sort(); // a sort inside a sort does nothing
        return grid->Item(a)->FileName > grid->Item(b)->FileName;
    };
    grid->Sort();
    EXPECT_EQ(calls, 6);
    QStringList sorted;
    for (int i = 0; i < 4; ++i)
        sorted << grid->Item(i)->FileName;
    EXPECT_EQ(sorted, QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(grid->Selected(), 1);
}

TEST(ThumbListView, NoFilePictureCentredOnBlackAndHiddenSurface) {
    auto grid = MakeGrid(600, 400);
    grid->SetNoFileBitmap(Solid(315, 234, Qt::blue));
    grid->show();
    QImage shot = grid->Surface()->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(621, 400));
    const int left = (621 - 315) / 2, top = (400 - 234) / 2;
    EXPECT_EQ(shot.pixelColor(left, top), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(left - 1, top), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(left + 314, top + 233), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(left + 315, top + 233), QColor(Qt::black));
    EXPECT_TRUE(grid->ScrollBar()->isHidden());

    // A surface smaller than the picture puts it at the corner.
    grid->resize(200, 100);
    shot = grid->Surface()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::blue));

    grid->SetDrawing(false);
    EXPECT_TRUE(grid->Surface()->isHidden());
    grid->SetDrawing(true);
    EXPECT_FALSE(grid->Surface()->isHidden());
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
    };
    for (const auto& c : rects)
        EXPECT_EQ(FitRect(c.Picture, c.Box), c.Fit) << c.Picture.width();

    QWidget w;
    const struct {
        QSize Picture;
        QRect Box, Fit;
    } controls[] = {
        // s = 0.5: 16.5 rounds to 16; top = (50 - 16) / 2 = 17.
        {{100, 33}, {0, 0, 50, 50}, {0, 17, 50, 16}},
        // s = 0.5: 1.5 rounds to 2; top = (101 - 2) / 2 = 49.5 -> 50.
        {{10, 3}, {0, 0, 5, 101}, {0, 50, 5, 2}},
    };
    for (const auto& c : controls) {
        FitImageControl(&w, c.Picture, c.Box);
        EXPECT_EQ(w.geometry(), c.Fit) << c.Picture.width();
    }
    for (auto [v, r] : {std::pair{2.5, 2}, {3.5, 4}, {-0.5, 0}, {0.4, 0}, {0.6, 1}})
        EXPECT_EQ(RoundHalfEven(v), r) << v;
}
