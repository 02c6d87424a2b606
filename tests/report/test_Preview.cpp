// The preview window, headless: fitting the page, the counter and navigation states, the
// wheel, the smallest size and the job's button hooks.
#include "platform/PDialogSeam.h"
#include "report/i_Preview.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {
QImage Page(int w = 1588, int h = 2246) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}
} // namespace

TEST(Preview, WindowFitsThePageInBothModesAndFramesIt) {
    TfrmPreview w;
    w.resize(600, 500); // tool bar 31, scroll box 600 x 469
    w.show();
    QApplication::processEvents();
    ASSERT_EQ(w.PreviewPosition->size(), QSize(600, 469));
    w.ShowPage(Page(), 1, 1);
    EXPECT_EQ(w.PreviewImage->geometry(), QRect(12, 20, 560, 792));
    // The page in the middle nine tenths with a black frame round it.
    const QImage shown = w.PreviewImage->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(560, 792));
    const int dx = 560 / 20, dy = 792 / 20;
    EXPECT_EQ(QColor(shown.pixel(dx - 1, dy + 5)), QColor(Qt::black));
    EXPECT_EQ(QColor(shown.pixel(dx + 5, 792 - dy)), QColor(Qt::black));
    EXPECT_EQ(QColor(shown.pixel(dx + 5, dy + 5)), QColor(Qt::white));
    EXPECT_NE(QColor(shown.pixel(dx / 2, dy / 2)), QColor(Qt::black));
    // The page scrolls: the content is taller than the box.
    EXPECT_GT(w.PreviewPosition->verticalScrollBar()->maximum(), 0);

    w.btnZoomToFit->click();
    EXPECT_EQ(w.PreviewPosition->verticalScrollBar()->maximum(), 0);
    w.resize(560, 442 + 31);
    QApplication::processEvents();
    EXPECT_EQ(w.PreviewImage->geometry(), QRect(138, 20, 284, 402));
    // The window refuses to become smaller than 250 x 250.
    w.resize(100, 120);
    QApplication::processEvents();
    EXPECT_GE(w.width(), 250);
    EXPECT_GE(w.height(), 250);
}

TEST(Preview, CounterNavigationStatesAndTheJobsHooks) {
    TfrmPreview w;
    const struct {
        int Page, Count;
        const char* Text;
        bool FirstPrev, NextLast;
    } cases[] = {
        {1, 1, "1/1", false, false}, {2, 5, "2/5", true, true}, {5, 5, "5/5", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        w.ShowPage(Page(40, 60), c.Page, c.Count);
        EXPECT_EQ(w.pnlPageNumber->text(), c.Text);
        EXPECT_EQ(w.btnFirst->isEnabled(), c.FirstPrev);
        EXPECT_EQ(w.btnPrevios->isEnabled(), c.FirstPrev);
        EXPECT_EQ(w.btnNext->isEnabled(), c.NextLast);
        EXPECT_EQ(w.btnLast->isEnabled(), c.NextLast);
    }

    // Shown maximised through the seam; each button runs its own hook; closing frees the page.
    QStringList calls;
    w.OnFirst = [&] { calls << "first"; };
    w.OnPrevios = [&] { calls << "previous"; };
    w.OnNext = [&] { calls << "next"; };
    w.OnLast = [&] { calls << "last"; };
    w.OnPrintOut = [&] { calls << "print"; };
    w.ShowPage(Page(50, 70), 2, 3);
    bool maximised = false;
    SetDialogAnswerer([&](TDialogRequest& r) {
        EXPECT_EQ(r.Kind, "preview");
        maximised = r.Dialog->windowState() & Qt::WindowMaximized;
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                 w.btnNext, w.btnPrevios, w.btnFirst, w.btnLast, w.btnPrintOut, w.btnFormClose})
            b->click();
        return 0;
    });
    w.ShowModal();
    SetDialogAnswerer({});
    EXPECT_TRUE(maximised);
    EXPECT_EQ(calls, QStringList({"next", "previous", "first", "last", "print"}));
    EXPECT_TRUE(w.PageImage().isNull());
}

TEST(Preview, WheelStepsStopAtBothEnds) {
    TfrmPreview w;
    w.resize(600, 500);
    w.show();
    QApplication::processEvents();
    w.ShowPage(Page(), 1, 2);
    QScrollBar* bar = w.PreviewPosition->verticalScrollBar();
    const int range = bar->maximum();
    ASSERT_GT(range, 20);
    auto wheel = [&](int delta) {
        QWheelEvent e(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.PreviewPosition->viewport(), &e);
    };
    wheel(120); // up at the top stays at the top
    EXPECT_EQ(bar->value(), 0);
    wheel(-120);
    EXPECT_EQ(bar->value(), 8);
    wheel(120);
    EXPECT_EQ(bar->value(), 0);
    bar->setValue(range - 3);
    wheel(-120); // down near the end stops at the range
    EXPECT_EQ(bar->value(), range);
    // A new page starts at the top again.
    w.ShowPage(Page(), 2, 2);
    EXPECT_EQ(bar->value(), 0);
}
