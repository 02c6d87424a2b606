// The grid's text lines keep the parts of letters below the baseline: at each thumbnail
// size a caption and a file name "g_jpy" show their underscore and descenders whole,
// inside their own line of the cell.
#include "app/c_ThumbListView.h"

#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

bool Ink(QRgb p) {
    return qGray(p) < 128;
}

// Dark pixels of the image in rows [top, bottom) and columns [left, right).
int InkIn(const QImage& img, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(0, top); y < std::min(bottom, img.height()); ++y)
        for (int x = std::max(0, left); x < std::min(right, img.width()); ++x)
            n += Ink(img.pixel(x, y)) ? 1 : 0;
    return n;
}

} // namespace

TEST(CaptionLines, UnderscoreAndDescendersStayInsideTheirLineAtEverySize) {
    const QString text = "g_jpy";
    for (const int box : {256, 128, 96}) {
        SCOPED_TRACE(box);
        TThumbListView grid;
        QPalette pal = grid.palette();
        pal.setColor(QPalette::Window, Qt::black);
        grid.setPalette(pal);
        grid.SetThumbWidth(box);
        grid.SetThumbHeight(box);
        grid.resize(box + 100, box + 200);
        grid.show();
        grid.SetCount(1);
        grid.Item(0)->FileName = text;
        grid.Item(0)->Info[8] = text;
        const QImage shot = grid.Surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(shot.isNull());

        // The same text drawn freely with the grid's font: what a whole line holds, and
        // the part of it below the baseline (descenders and the underscore).
        const QFont font = grid.Surface()->font();
        const QFontMetrics fm(font);
        const int pitch = grid.FontHeight();
        EXPECT_LE(fm.ascent() + fm.descent(), pitch);
        QImage free(fm.horizontalAdvance(text) + 40, 4 * pitch, QImage::Format_RGB32);
        free.fill(Qt::white);
        QPainter p(&free);
        p.setFont(font);
        p.setPen(Qt::black);
        const int baseline = 2 * pitch;
        p.drawText(QPoint(20, baseline), text);
        p.end();
        const int whole = InkIn(free, 0, 0, free.width(), free.height());
        const int below = InkIn(free, 0, baseline + 1, free.width(), free.height());
        ASSERT_GT(below, 0);

        const QRect cell = grid.CellRect(0);
        for (int line = 0; line < 2; ++line) { // the caption, then the name
            SCOPED_TRACE(line);
            const int top = cell.top() + 2 * TThumbListView::CellMargin + box + line * pitch;
            EXPECT_EQ(InkIn(shot, cell.left(), top, cell.right() + 1, top + pitch), whole);
            EXPECT_EQ(
                InkIn(shot, cell.left(), top + fm.ascent() + 1, cell.right() + 1, top + pitch),
                below);
        }
    }
}
