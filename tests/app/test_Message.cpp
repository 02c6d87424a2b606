#include "app/c_Message.h"
#include "app/i_Gauge.h"
#include "app/i_Logo.h"
#include "app/i_Version.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// Lets the event loop run until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void PressEscape(QWidget* w) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

struct TSeen {
    QSize Size;
    QString Caption, Kind, Text;
    QList<QRect> Buttons;
    QStringList Captions;
    QRect Label;
    bool Wrap = false;
    Qt::WindowFlags Flags;
};

struct MessageTest : ::testing::Test {
    std::shared_ptr<TSeen> seen = std::make_shared<TSeen>();
    void Expect(const std::function<void(QDialog*, const QList<QPushButton*>&)>& act) {
        auto s = seen;
        SetDialogAnswerer([s, act](TDialogRequest& r) {
            s->Size = r.Dialog->size();
            s->Caption = r.Caption;
            s->Kind = r.Kind;
            s->Text = r.Text;
            s->Flags = r.Dialog->windowFlags();
            QList<QPushButton*> buttons;
            for (int k = 1; k <= 3; ++k)
                if (auto* b = r.Dialog->findChild<QPushButton*>(QString("MsgButton%1").arg(k)))
                    buttons.append(b);
            for (QPushButton* b : buttons) {
                s->Buttons.append(b->geometry());
                s->Captions.append(b->text());
            }
            if (auto* l = r.Dialog->findChild<QLabel*>("MsgLabel")) {
                s->Label = l->geometry();
                s->Wrap = l->wordWrap();
            }
            act(r.Dialog, buttons);
            return 0;
        });
    }
    void TearDown() override { SetDialogAnswerer({}); }
};

} // namespace

TEST_F(MessageTest, OneButtonBox) {
    Expect([](QDialog*, const QList<QPushButton*>& b) { b[0]->click(); });
    EXPECT_EQ(MsgManage.ShowMsg("Cannot set up printer.", "Velmora", {TMsgButton::Cancel}), 1);
    EXPECT_EQ(seen->Size, QSize(340, 100));
    EXPECT_EQ(seen->Caption, "Velmora");
    EXPECT_EQ(seen->Kind, "message");
    EXPECT_EQ(seen->Text, "Cannot set up printer.");
    ASSERT_EQ(seen->Buttons.size(), 1);
    EXPECT_EQ(seen->Buttons[0], QRect(133, 65, 85, 25));
    EXPECT_EQ(seen->Captions, QStringList{"Cancel"});
    // A short text keeps its natural width, centred; the box has no minimise or maximise.
    EXPECT_EQ(seen->Label.top(), 20);
    EXPECT_LT(seen->Label.width(), 330);
    EXPECT_EQ(seen->Label.left(), (340 - seen->Label.width()) / 2);
    EXPECT_TRUE(seen->Wrap);
    EXPECT_FALSE(seen->Flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(seen->Flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(seen->Flags & Qt::WindowSystemMenuHint);
}

TEST_F(MessageTest, ClosingTheBoxAnswersMinusOne) {
    Expect([](QDialog* d, const QList<QPushButton*>&) { d->close(); });
    EXPECT_EQ(MsgManage.ShowMsg("text", "Velmora", {TMsgButton::OK}), -1);
    Expect([](QDialog* d, const QList<QPushButton*>&) { d->reject(); });
    EXPECT_EQ(MsgManage.ShowMsg("text", "Velmora", {TMsgButton::OK, TMsgButton::Cancel}), -1);
    // Escape is a way of closing, not a button.
    Expect([](QDialog* d, const QList<QPushButton*>&) { PressEscape(d); });
    EXPECT_EQ(MsgManage.ShowMsg("text", "Velmora", {TMsgButton::Yes, TMsgButton::No}), -1);
}

TEST_F(MessageTest, TwoAndThreeButtonLayouts) {
    Expect([](QDialog*, const QList<QPushButton*>& b) { b[1]->click(); });
    EXPECT_EQ(MsgManage.ShowMsg("Print?", "Velmora", {TMsgButton::OK, TMsgButton::Cancel}), 2);
    EXPECT_EQ(seen->Size, QSize(380, 100));
    EXPECT_EQ(seen->Buttons, (QList<QRect>{QRect(80, 65, 85, 25), QRect(200, 65, 85, 25)}));
    EXPECT_EQ(seen->Captions, (QStringList{"OK", "Cancel"}));

    *seen = {};
    Expect([](QDialog*, const QList<QPushButton*>& b) { b[2]->click(); });
    EXPECT_EQ(MsgManage.ShowMsg("x", "Caption",
                                {TMsgButton::Stop, TMsgButton::TryAgain, TMsgButton::Ignore}),
              3);
    EXPECT_EQ(seen->Size, QSize(390, 100));
    EXPECT_EQ(seen->Caption, "Caption");
    EXPECT_EQ(seen->Buttons, (QList<QRect>{QRect(30, 65, 85, 25), QRect(140, 65, 85, 25),
                                           QRect(250, 65, 85, 25)}));
    EXPECT_EQ(seen->Captions, (QStringList{"Stop", "Try again", "Ignore"}));

    *seen = {};
    Expect([](QDialog*, const QList<QPushButton*>& b) { b[0]->click(); });
    EXPECT_EQ(MsgManage.ShowMsg("x", "Velmora", {TMsgButton::Yes, TMsgButton::No}), 1);
    EXPECT_EQ(seen->Captions, (QStringList{"Yes", "No"}));

    // Buttons beyond three have no place; an empty list still gives a way out.
    *seen = {};
    Expect([](QDialog*, const QList<QPushButton*>& b) { b.last()->click(); });
    EXPECT_EQ(
        MsgManage.ShowMsg("x", "Velmora",
                          {TMsgButton::OK, TMsgButton::Cancel, TMsgButton::Yes, TMsgButton::No}),
        3);
    EXPECT_EQ(seen->Buttons.size(), 3);
    *seen = {};
    Expect([](QDialog*, const QList<QPushButton*>& b) { b[0]->click(); });
    EXPECT_EQ(MsgManage.ShowMsg("x", "Velmora", {}), 1);
    EXPECT_EQ(seen->Captions, QStringList{"OK"});
}

TEST_F(MessageTest, LongTextWrapsInsideTheBox) {
    const QString text = "Copy this application to a disk on your computer and start it again. "
                         "The folder it was started from lies on a network share.";
    Expect([](QDialog*, const QList<QPushButton*>& b) { b[0]->click(); });
    EXPECT_EQ(MsgManage.ShowMsg(text, "Velmora", {TMsgButton::Cancel}), 1);
    EXPECT_EQ(seen->Size, QSize(340, 100)); // the box does not grow
    EXPECT_EQ(seen->Label.width(), 320);
    EXPECT_EQ(seen->Label.left(), 10);
    EXPECT_EQ(seen->Label.top(), 20);
    EXPECT_TRUE(seen->Wrap);
    EXPECT_GT(seen->Label.height(), 20); // wrapped onto more lines

    *seen = {};
    Expect([](QDialog*, const QList<QPushButton*>& b) { b[0]->click(); });
    MsgManage.ShowMsg(text, "Velmora", {TMsgButton::OK, TMsgButton::Cancel});
    EXPECT_EQ(seen->Label.width(), 360);
    EXPECT_EQ(seen->Label.left(), 10);
}

TEST(Gauge, ProgressCancelAndLayout) {
    TfrmGauge gauge;
    EXPECT_EQ(gauge.windowTitle(), "Preparing to print");
    EXPECT_EQ(gauge.size(), QSize(297, 94));
    EXPECT_EQ(gauge.Gauge->geometry(), QRect(8, 12, 281, 21));
    EXPECT_EQ(gauge.Button1->geometry(), QRect(96, 64, 101, 25));
    EXPECT_EQ(gauge.Button1->text(), "Cancel");
    EXPECT_EQ(gauge.Label1->text(), "Preparing to print");
    EXPECT_FALSE(gauge.windowFlags() & Qt::WindowCloseButtonHint);

    gauge.SetProgress(-5);
    EXPECT_EQ(gauge.Progress(), 0);
    gauge.SetProgress(150);
    EXPECT_EQ(gauge.Progress(), 100);
    gauge.SetProgress(40);
    EXPECT_EQ(gauge.Gauge->value(), 40);

    gauge.Cancelled = true;
    gauge.show();
    EXPECT_FALSE(gauge.Cancelled) << "showing clears the flag";
    gauge.Button1->click();
    EXPECT_TRUE(gauge.Cancelled);
    gauge.close(); // the page loop closes it: not a cancel
    EXPECT_FALSE(gauge.isVisible());
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
    gauge.activateWindow();
    EXPECT_TRUE(WaitFor([&] { return gauge.isActiveWindow(); }));
    printWindow.activateWindow();
    EXPECT_TRUE(WaitFor([&] { return gauge.isActiveWindow(); }));
}

TEST(VersionWindow, Layout) {
    TfrmVersion v;
    EXPECT_EQ(v.windowTitle(), "Version information");
    EXPECT_EQ(v.size(), QSize(324, 318));
    EXPECT_EQ(v.Label1->text(), "Velmora");
    EXPECT_EQ(v.Label1->pos(), QPoint(12, 12));
    EXPECT_EQ(v.Label2->pos(), QPoint(52, 38));
    EXPECT_EQ(v.lblVersion->text(), "Ver.1.1");
    EXPECT_EQ(v.lblVersion->pos(), QPoint(229, 38));
    EXPECT_TRUE(v.Label2->font().bold());
    EXPECT_EQ(v.Label2->font().pixelSize(), 17);
    // The tagline must not run into the version.
    EXPECT_LE(v.Label2->geometry().right(), 229);
    EXPECT_EQ(v.Bevel1->geometry().topLeft(), QPoint(4, 76));
    EXPECT_EQ(v.Image1->size(), QSize(293, 233));
    const QImage pic = VersionPicture().toImage();
    EXPECT_EQ(pic.size(), QSize(293, 233));
    EXPECT_EQ(qAlpha(pic.pixel(292, 232)), 0) << "the picture is transparent around its text";
    int ink = 0;
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x)
            ink += qAlpha(pic.pixel(x, y)) > 128;
    EXPECT_GT(ink, 1000);
    pic.save(BuildDirPath("version-picture.png"));

    SetDialogAnswerer([](TDialogRequest& r) {
        EXPECT_EQ(r.Kind, "version");
        r.Dialog->close();
        return 0;
    });
    v.ShowModal();
    SetDialogAnswerer({});
}

TEST(Logo, PictureAndSelfRelease) {
    const QImage pic = LogoPicture().toImage();
    ASSERT_EQ(pic.size(), QSize(420, 130));
    pic.save(BuildDirPath("logo.png"));
    const QColor corner = pic.pixelColor(2, 2);
    EXPECT_GT(corner.blue(), corner.red() + 60) << "a blue banner";

    QPointer<TfrmLogo> logo = new TfrmLogo;
    EXPECT_EQ(LogoWindow(), logo.data());
    EXPECT_EQ(logo->size(), QSize(421, 130));
    EXPECT_TRUE(logo->windowFlags() & Qt::FramelessWindowHint);
    logo->ShowNow();
    EXPECT_TRUE(logo->isVisible());
    EXPECT_TRUE(WaitFor([&] { return logo->isActiveWindow(); }));
    QWidget main;
    main.show();
    main.activateWindow();
    EXPECT_TRUE(WaitFor([&] { return logo.isNull(); }));
    EXPECT_EQ(LogoWindow(), nullptr);

    // A logo that never got activated still goes away.
    QPointer<TfrmLogo> quiet = new TfrmLogo;
    quiet->show();
    quiet->ReleaseAfter(10);
    EXPECT_TRUE(WaitFor([&] { return quiet.isNull(); }));
}
