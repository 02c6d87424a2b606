// The built program, started as a user would (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS):
// the logo, the main window, the single-instance rule and the two refusals. VELMORA_TEST_HOOK
// answers the program's message boxes and reports its steps.
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
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

// A display of the test's own with a window manager, so that windows can be minimised.
class TPrivateDisplay {
public:
    TPrivateDisplay() {
        FXvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             "-auth", "/dev/null"});
        WaitUntil(
            [&] {
                FXvfb.waitForReadyRead(50);
                return FXvfb.canReadLine();
            },
            10000);
        Display = ":" + QString::fromUtf8(FXvfb.readLine()).trimmed();
        QFile rc(FDir.filePath("twmrc")); // Xvfb has no font path, only its built-in "fixed"
        if (rc.open(QIODevice::WriteOnly))
            rc.write("RandomPlacement\nNoGrabServer\nTitleFont \"fixed\"\nResizeFont \"fixed\"\n"
                     "MenuFont \"fixed\"\nIconFont \"fixed\"\nIconManagerFont \"fixed\"\n");
        rc.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", Display);
        env.insert("LC_ALL", "C");
        FWm.setProcessEnvironment(env);
        FWm.setStandardOutputFile(QProcess::nullDevice());
        FWm.setStandardErrorFile(QProcess::nullDevice());
        FWm.start("twm", {"-f", rc.fileName()});
        FWm.waitForStarted(5000);
        QThread::msleep(300); // the manager selects its events on the root window
    }
    ~TPrivateDisplay() {
        for (QProcess* p : {&FWm, &FXvfb}) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
    QString Display;
    bool HasManager() const { return FWm.state() == QProcess::Running; }

private:
    QTemporaryDir FDir;
    QProcess FXvfb, FWm;
};

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

TEST_F(StartupProgram, SecondStartBringsTheMinimisedFirstBack) {
    TPrivateDisplay screen;
    ASSERT_TRUE(screen.HasManager()) << "no Xvfb and twm of our own";
    const QMap<QString, QString> env{{"DISPLAY", screen.Display}};
    QTemporaryDir home1, home2;
    TProgramRun first(home1.path(), shared.path(), {}, env);
    ASSERT_TRUE(first.WaitFor("VELMORA_EVENT: main window shown")) << first.Output().toStdString();
    const QString id = FindWindow(screen.Display, "Velmora");
    auto state = [&] { return RunTool("xprop", {"-id", id, "WM_STATE"}, screen.Display); };
    ASSERT_TRUE(WaitUntil([&] { return state().contains("Normal"); }, 5000));
    RunTool("xdotool", {"windowminimize", id}, screen.Display);
    ASSERT_TRUE(WaitUntil([&] { return state().contains("Iconic"); }, 5000));

    QElapsedTimer took;
    took.start();
    TProgramRun second(home2.path(), shared.path(), {}, env);
    EXPECT_TRUE(second.WaitForEnd(10000)) << "ended with code 0";
    EXPECT_LT(took.elapsed(), 1000) << "the second start took " << took.elapsed() << " ms";
    EXPECT_TRUE(second.Output().contains("VELMORA_EVENT: another instance runs"));
    EXPECT_FALSE(second.Output().contains("main window shown"));
    EXPECT_FALSE(second.Output().contains("VELMORA_MESSAGE"));
    EXPECT_TRUE(first.WaitFor("VELMORA_EVENT: show requested", 3000));
    EXPECT_TRUE(WaitUntil([&] { return state().contains("Normal"); }, 5000))
        << state().toStdString();
    EXPECT_EQ(VelmoraWindows(screen.Display).size(), 1) << "the second start made a window";
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
