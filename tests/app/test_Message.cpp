// The program's message box, progress window and logo, and the start-up checks that speak
// through them.
#include "app/c_Message.h"
#include "app/c_Startup.h"
#include "app/i_Gauge.h"
#include "app/i_Logo.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

void PressEscape(QWidget* w) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

struct TSeen {
    QString Kind;
    int Buttons = 0;
    QRect Label;
};

struct MessageTest : ::testing::Test {
    std::shared_ptr<TSeen> seen = std::make_shared<TSeen>();
    // Answers the next box with the action; what the box looked like lands in seen.
    void Expect(const std::function<void(QDialog*, const QList<QPushButton*>&)>& act) {
        auto s = seen;
        SetDialogAnswerer([s, act](TDialogRequest& r) {
            s->Kind = r.Kind;
            QList<QPushButton*> buttons;
            for (int k = 1; k <= 4; ++k)
                if (auto* b = r.Dialog->findChild<QPushButton*>(QString("MsgButton%1").arg(k)))
                    buttons.append(b);
            s->Buttons = int(buttons.size());
            if (auto* l = r.Dialog->findChild<QLabel*>("MsgLabel"))
                s->Label = l->geometry();
            act(r.Dialog, buttons);
            return 0;
        });
    }
    void TearDown() override { SetDialogAnswerer({}); }
};

} // namespace

TEST_F(MessageTest, AnswersAreTheOneBasedButtonOrMinusOneWhenClosedAndLongTextWraps) {
    using B = TMsgButton;
    const auto click = [](int k) {
        return [k](QDialog*, const QList<QPushButton*>& b) { b[k]->click(); };
    };
    const auto reject = [](QDialog* d, const QList<QPushButton*>&) { d->reject(); };
    const auto escape = [](QDialog* d, const QList<QPushButton*>&) { PressEscape(d); };
    const QString longText = "Copy this application to a disk on your computer and start it "
                             "again. The folder it was started from lies on a network share.";
    struct {
        QList<TMsgButton> Kinds;
        std::function<void(QDialog*, const QList<QPushButton*>&)> Act;
        int Shown, Answer;
        QString Text = "text";
    } const cases[] = {
        {{B::OK, B::Cancel}, click(1), 2, 2},
        {{B::OK, B::Cancel, B::Yes, B::No}, click(2), 3, 3}, // no place for a fourth
        {{}, click(0), 1, 1},                                // always a way out
        {{B::OK, B::Cancel}, reject, 2, -1},
        {{B::Yes, B::No}, escape, 2, -1}, // Escape closes; it is no button
        {{B::OK, B::Cancel}, click(0), 2, 1, longText},
    };
    for (const auto& c : cases) {
        *seen = {};
        Expect(c.Act);
        EXPECT_EQ(MsgManage.ShowMsg(c.Text, "Velmora", c.Kinds), c.Answer) << c.Kinds.size();
        EXPECT_EQ(seen->Kind, "message");
        EXPECT_EQ(seen->Buttons, c.Shown);
        if (c.Text == longText) { // wrapped onto more lines inside the box
            EXPECT_TRUE(seen->Label.left() == 10 && seen->Label.right() == 380 - 11);
            EXPECT_GT(seen->Label.height(), 20);
        }
    }
}

TEST(Gauge, ProgressCancelAndLayout) {
    TfrmGauge gauge;
    for (auto [set, got] : {std::pair{-5, 0}, {150, 100}, {40, 40}}) {
        gauge.SetProgress(set);
        EXPECT_EQ(gauge.Progress(), got);
    }

    gauge.Cancelled = true;
    gauge.show();
    EXPECT_FALSE(gauge.Cancelled) << "showing clears the flag";
    gauge.close(); // the page loop closes it: not a cancel
    gauge.show();
    EXPECT_FALSE(gauge.Cancelled);
    PressEscape(&gauge);
    EXPECT_TRUE(gauge.Cancelled);
    EXPECT_TRUE(gauge.isVisible()) << "Escape must not hide the window behind the loop's back";
}

TEST(Gauge, TakesTheFocusBackWhileVisible) {
    QWidget printWindow;
    printWindow.show();
    TfrmGauge gauge(&printWindow);
    gauge.show();
    printWindow.activateWindow();
    EXPECT_TRUE(WaitFor([&] { return gauge.isActiveWindow(); }));
}

TEST(Logo, GoesOnceTheMainWindowIsActiveOrAfterItsTime) {
    QPointer<TfrmLogo> logo = new TfrmLogo, quiet = new TfrmLogo;
    EXPECT_EQ(LogoWindow(), quiet.data());
    logo->ShowNow();
    EXPECT_TRUE(WaitFor([&] { return logo->isActiveWindow(); }));
    QWidget main;
    main.show();
    main.activateWindow();
    EXPECT_TRUE(WaitFor([&] { return logo.isNull(); }));
    // A logo that never got activated still goes away.
    quiet->show();
    quiet->ReleaseAfter(10);
    EXPECT_TRUE(WaitFor([&] { return quiet.isNull(); }));
    EXPECT_EQ(LogoWindow(), nullptr);
}

// The refusals themselves are checked on the real program (test_Program).
TEST_F(MessageTest, JapaneseFontNamesAndTheTestHookAnswersOnlyWhenAskedFor) {
    for (const char* name : {"ＭＳ Ｐゴシック", "MS PGothic"})
        EXPECT_EQ(QFontInfo(QFont(QString::fromUtf8(name), 12)).family(), "IPAPGothic") << name;
    {
        ScopedEnv unset("VELMORA_TEST_HOOK", "");
        qunsetenv("VELMORA_TEST_HOOK");
        InstallTestHook();
        EXPECT_FALSE(HasDialogAnswerer()) << "production runs install no answerer";
    }
    ScopedEnv hook("VELMORA_TEST_HOOK", "1");
    InstallTestHook();
    ASSERT_TRUE(HasDialogAnswerer());
    EXPECT_EQ(MsgManage.ShowMsg("Print?", "Velmora", {TMsgButton::Yes, TMsgButton::No}), 1);
}
