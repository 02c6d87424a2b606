// The program's message box and the test hook that answers it.
#include "app/c_Message.h"
#include "app/c_Startup.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(Message, AnswersAreTheOneBasedButtonOrMinusOneWhenClosedAndLongTextWraps) {
    using B = TMsgButton;
    const QString longText = "Copy this application to a disk on your computer and start it "
                             "again. The folder it was started from lies on a network share.";
    struct {
        QList<TMsgButton> Kinds;
        int Act, Shown, Answer; // Act: the button to click, -1 reject, -2 Escape
        QString Text = "text";
    } const cases[] = {
        {{B::OK, B::Cancel}, 1, 2, 2},
        {{B::OK, B::Cancel, B::Yes, B::No}, 2, 3, 3}, // no place for a fourth
        {{}, 0, 1, 1},                                // always a way out
        {{B::OK, B::Cancel}, -1, 2, -1},
        {{B::Yes, B::No}, -2, 2, -1}, // Escape closes; it is no button
        {{B::OK, B::Cancel}, 0, 2, 1, longText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Kinds.size());
        QRect label;
        SetDialogAnswerer([&](TDialogRequest& r) {
            EXPECT_EQ(r.Kind, "message");
            QList<QPushButton*> buttons;
            for (int k = 1; k <= 4; ++k)
                if (auto* b = r.Dialog->findChild<QPushButton*>(QString("MsgButton%1").arg(k)))
                    buttons.append(b);
            EXPECT_EQ(buttons.size(), c.Shown);
            label = r.Dialog->findChild<QLabel*>("MsgLabel")->geometry();
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            c.Act >= 0    ? buttons[c.Act]->click()
            : c.Act == -1 ? r.Dialog->reject()
                          : void(QApplication::sendEvent(r.Dialog, &escape));
            return 0;
        });
        EXPECT_EQ(MsgManage.ShowMsg(c.Text, "Velmora", c.Kinds), c.Answer);
        if (c.Text == longText) { // wrapped onto more lines inside the box
            EXPECT_TRUE(label.left() == 10 && label.right() == 380 - 11 && label.height() > 20);
        }
    }
    SetDialogAnswerer({});
}

// The refusals themselves are checked on the real program (test_Program).
TEST(Message, JapaneseFontNamesAndTheTestHookAnswersOnlyWhenAskedFor) {
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
    SetDialogAnswerer({});
}
