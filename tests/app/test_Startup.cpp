// Start-up steps inside the test process (VELMORA_NEEDS_CUPS for the printer check).
#include "app/c_Message.h"
#include "app/c_Startup.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"

#include <QDialog>
#include <QFontInfo>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct TBox {
    int Count = 0;
    QString Text, Caption;
    QStringList Buttons;
};

// Records every message box and closes it with its first button.
std::shared_ptr<TBox> RecordBoxes() {
    auto box = std::make_shared<TBox>();
    SetDialogAnswerer([box](TDialogRequest& r) {
        ++box->Count;
        box->Text = r.Text;
        box->Caption = r.Caption;
        for (QPushButton* b : r.Dialog->findChildren<QPushButton*>())
            box->Buttons << b->text();
        if (auto* first = r.Dialog->findChild<QPushButton*>("MsgButton1"))
            first->click();
        return 0;
    });
    return box;
}

struct StartupTest : ::testing::Test {
    void TearDown() override { SetDialogAnswerer({}); }
};

} // namespace

TEST_F(StartupTest, LocationCheckRefusesNetworkFileSystems) {
    auto box = RecordBoxes();
    {
        ScopedEnv fake("VELMORA_TEST_FS_TYPE", "cifs");
        EXPECT_FALSE(CheckLocation());
    }
    EXPECT_EQ(box->Count, 1);
    EXPECT_EQ(box->Text, "Copy this application to a disk on your computer and start it again.");

    ScopedEnv local("VELMORA_TEST_FS_TYPE", "local");
    EXPECT_TRUE(CheckLocation());
    EXPECT_EQ(box->Count, 1) << "no message for a local folder";
}

TEST_F(StartupTest, PrinterCheckPassesWithAQueue) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty());
    auto box = RecordBoxes();
    EXPECT_TRUE(CheckPrinter());
    EXPECT_EQ(box->Count, 0);
}

TEST_F(StartupTest, JapaneseFontNamesResolveToIpaPGothic) {
    InstallFontSubstitutions();
    for (const char* name : {"ＭＳ Ｐゴシック", "MS PGothic"}) {
        QFont font(QString::fromUtf8(name), 12);
        EXPECT_EQ(QFontInfo(font).family(), "IPAPGothic") << name;
    }
}

TEST_F(StartupTest, MinimisedWindowIsBroughtBack) {
    QWidget window;
    window.setWindowTitle("Velmora");
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    BringWindowForward(&window);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
    QWidget hidden;
    BringWindowForward(&hidden);
    EXPECT_TRUE(hidden.isVisible());
    BringWindowForward(nullptr);
}

TEST_F(StartupTest, TestHookAnswersWithTheFirstButtonOnlyWhenAskedFor) {
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
