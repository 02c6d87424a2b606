// The built program, started as a user would (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS):
// the logo, the main window, a start after a crash and the two refusals. VELMORA_TEST_HOOK
// answers the program's message boxes and reports its steps.
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// The visible windows named exactly "Velmora", with their sizes.
QList<QSize> VelmoraWindows(const QString& display) {
    QList<QSize> found;
    for (const QString& id :
         RunTool("xdotool", {"search", "--onlyvisible", "--name", "^Velmora$"}, display)
             .split('\n', Qt::SkipEmptyParts))
        if (id.toLongLong() > 0)
            found << Geometry(display, id).size();
    return found;
}

struct StartupProgram : ::testing::Test {
    QString display = XvfbDisplay();
    QTemporaryDir shared; // the runtime folder that holds the single-instance lock
    void SetUp() override {
        ASSERT_FALSE(display.isEmpty()) << "the display fixture did not run";
        ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "the print server fixture did not run";
    }
};

} // namespace

TEST_F(StartupProgram, ShowsTheLogoThenTheMainWindowAndACrashLeavesNothingInTheWay) {
    QTemporaryDir home;
    {
        TProgramRun run(home.path(), shared.path(), {},
                        {{"VELMORA_TEST_HOOK", "pause-after-logo=1500"}});
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: logo shown")) << run.Output().toStdString();
        // The logo sits in the middle of the screen: a blue banner.
        const QImage logo(Shot(display, "startup-logo.png"));
        ASSERT_FALSE(logo.isNull());
        const QColor middle = logo.pixelColor(logo.width() / 2 - 150, logo.height() / 2 - 50);
        EXPECT_GT(middle.blue(), middle.red() + 60) << middle.name().toStdString();

        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: main window shown"));
        EXPECT_TRUE(run.WaitFor("VELMORA_EVENT: logo released", 5000));
        EXPECT_TRUE(
            WaitUntil([&] { return VelmoraWindows(display) == QList{QSize(873, 550)}; }, 5000));
        Shot(display, "startup-main.png");
        // The first start made the settings file in the program folder, and the cache folder.
        EXPECT_TRUE(ReadAll(home.filePath("Thumbnail.ini")).contains("APPName=ヴェルモラ"));
        EXPECT_TRUE(QDir(home.filePath("Temp")).exists());
        EXPECT_FALSE(run.Output().contains("VELMORA_MESSAGE")) << run.Output().toStdString();
        ::kill(pid_t(run.Program.processId()), SIGKILL);
        run.Program.waitForFinished(5000);
    }
    TProgramRun next(home.path(), shared.path(), {});
    EXPECT_TRUE(next.WaitFor("VELMORA_EVENT: main window shown")) << next.Output().toStdString();
    EXPECT_FALSE(next.Output().contains("another instance runs"));
}

TEST_F(StartupProgram, NoPrinterOrANetworkShareRefusesToStart) {
    const std::tuple<const char*, const char*, QString> cases[] = {
        {"CUPS_SERVER", "/nonexistent/no-server.sock", "Cannot set up printer."},
        {"VELMORA_TEST_FS_TYPE", "nfs",
         "Copy this application to a disk on your computer and start it again."},
    };
    for (const auto& [name, value, message] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir home, tmp;
        TProgramRun run(home.path(), tmp.path(), {}, {{name, value}});
        ASSERT_TRUE(run.Program.waitForFinished(20000));
        EXPECT_TRUE(run.Output().contains("VELMORA_MESSAGE: [message] [Velmora] " + message))
            << run.Output().toStdString();
        EXPECT_FALSE(run.Output().contains("main window shown"));
        EXPECT_EQ(run.Program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.Program.exitCode(), 1);
        if (QString(name) == "VELMORA_TEST_FS_TYPE") {
            EXPECT_FALSE(QFile::exists(home.filePath("Thumbnail.ini"))) << "refused before set-up";
        }
    }
}
