// The preview window, headless: fitting the page, the counter and navigation states.
#include "report/i_Preview.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
QImage Page(int w = 1588, int h = 2246) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}
} // namespace

TEST(Preview, WindowFitsThePageToItsWidthOrWholeAndANewPageStartsAtTheTop) {
    TfrmPreview w;
    w.resize(600, 500); // tool bar 31, scroll box 600 x 469
    w.show();
    QApplication::processEvents();
    w.ShowPage(Page(), 1, 2);
    EXPECT_EQ(w.PreviewImage->geometry(), QRect(12, 20, 560, 792));
    QScrollBar* bar = w.PreviewPosition->verticalScrollBar();
    bar->setValue(bar->maximum());
    w.ShowPage(Page(), 2, 2);
    EXPECT_EQ(bar->value(), 0);
    w.btnZoomToFit->click();
    EXPECT_EQ(bar->maximum(), 0);
    w.resize(560, 442 + 31);
    QApplication::processEvents();
    EXPECT_EQ(w.PreviewImage->geometry(), QRect(138, 20, 284, 402));
}

TEST(Preview, CounterAndNavigationStates) {
    TfrmPreview w;
    for (auto [page, count, text, firstPrev, nextLast] :
         {std::tuple{1, 1, "1/1", false, false}, std::tuple{2, 5, "2/5", true, true},
          std::tuple{5, 5, "5/5", true, false}}) {
        w.ShowPage(Page(40, 60), page, count);
        EXPECT_EQ(w.pnlPageNumber->text(), text);
        EXPECT_EQ(w.btnFirst->isEnabled(), firstPrev) << text;
        EXPECT_EQ(w.btnPrevios->isEnabled(), firstPrev) << text;
        EXPECT_EQ(w.btnNext->isEnabled(), nextLast) << text;
        EXPECT_EQ(w.btnLast->isEnabled(), nextLast) << text;
    }
}
