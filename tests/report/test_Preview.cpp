// The preview window, headless: fitting the page, the counter and navigation states, the
// wheel, the smallest size and the job's button hooks.
#include "platform/PDialogSeam.h"
#include "report/i_Preview.h"

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

TEST(Preview, FitGeometryWorkedExamples) {
    struct TCase {
        const char* Name;
        QSize Box;
        bool ToWindow;
        QRect Expect;
        bool Bar;
    };
    const TCase cases[] = {
        {"width, tall page", {600, 469}, false, {12, 20, 560, 792}, true},
        {"width, room enough", {600, 900}, false, {20, 20, 560, 792}, false},
        {"window", {560, 442}, true, {138, 20, 284, 402}, false},
        {"window, wide box", {1000, 300}, true, {408, 20, 184, 260}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        bool bar = !c.Bar;
        EXPECT_EQ(TfrmPreview::FitGeometry(c.Box, {1588, 2246}, c.ToWindow, &bar), c.Expect);
        EXPECT_EQ(bar, c.Bar);
    }
}

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

TEST(Preview, CounterAndNavigationStates) {
    TfrmPreview w;
    struct TCase {
        int Page, Count;
        const char* Text;
        bool FirstPrev, NextLast;
    };
    const TCase cases[] = {
        {1, 1, "1/1", false, false},
        {2, 5, "2/5", true, true},
        {5, 5, "5/5", true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        w.ShowPage(Page(40, 60), c.Page, c.Count);
        EXPECT_EQ(w.pnlPageNumber->text(), c.Text);
        EXPECT_EQ(w.btnFirst->isEnabled(), c.FirstPrev);
        EXPECT_EQ(w.btnPrevios->isEnabled(), c.FirstPrev);
        EXPECT_EQ(w.btnNext->isEnabled(), c.NextLast);
        EXPECT_EQ(w.btnLast->isEnabled(), c.NextLast);
    }
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

TEST(Preview, ShowModalRunsTheJobsHooksAndReleasesThePage) {
    TfrmPreview w;
    QStringList calls;
    w.OnFirst = [&] { calls << "first"; };
    w.OnPrevios = [&] { calls << "previous"; };
    w.OnNext = [&] {
        calls << "next";
        w.ShowPage(Page(50, 70), 2, 3);
    };
    w.OnLast = [&] { calls << "last"; };
    w.OnPrintOut = [&] { calls << "print"; };
    w.ShowPage(Page(50, 70), 1, 3);
    QString kind;
    bool maximised = false;
    SetDialogAnswerer([&](TDialogRequest& r) {
        kind = r.Kind;
        maximised = r.Dialog->windowState() & Qt::WindowMaximized;
        auto* p = static_cast<TfrmPreview*>(r.Dialog);
        p->btnNext->click();
        p->btnPrevios->click();
        p->btnFirst->click();
        p->btnLast->click();
        p->btnPrintOut->click();
        p->btnFormClose->click();
        return 0;
    });
    w.ShowModal();
    SetDialogAnswerer({});
    EXPECT_EQ(kind, "preview");
    EXPECT_TRUE(maximised);
    EXPECT_EQ(calls, QStringList({"next", "previous", "first", "last", "print"}));
    EXPECT_TRUE(w.PageImage().isNull()); // the memory goes, the window stays
    EXPECT_EQ(w.pnlPageNumber->text(), "2/3");
}
