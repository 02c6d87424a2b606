// The built program, started as a user would (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS):
// the logo, the main window, the single-instance rule and the two refusals. The program runs
// with VELMORA_TEST_HOOK, which answers its message boxes and reports its steps on stderr.
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// Output of a helper tool ("" when it cannot run).
QString Tool(const QString& program, const QStringList& args, const QString& display) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(10000))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Windows named exactly "Velmora" on the display, with their sizes.
struct TWindow {
    QString Id;
    QSize Size;
};
QList<TWindow> VelmoraWindows(const QString& display) {
    QList<TWindow> found;
    const QString tree = Tool("xwininfo", {"-root", "-tree"}, display);
    static const QRegularExpression line(R"((0x[0-9a-f]+) "Velmora": .*?(\d+)x(\d+)[+-])");
    for (const QString& l : tree.split('\n')) {
        const auto m = line.match(l);
        if (m.hasMatch())
            found.append({m.captured(1), QSize(m.captured(2).toInt(), m.captured(3).toInt())});
    }
    return found;
}

// One run of the program with its own home, temporary folder and stderr log.
class TProgram {
public:
    TProgram(const QString& display, const QMap<QString, QString>& extra = {},
             const QString& tmp = QString()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("CUPS_SERVER", PrivateCupsServer());
        env.insert("VELMORA_HOME", FHome.path() + "/");
        env.insert("TMPDIR", tmp.isEmpty() ? FTmp.path() : tmp);
        // Starts given a shared folder share it as their runtime folder, which holds the
        // single-instance lock, as two starts in one session do.
        env.insert("XDG_RUNTIME_DIR", tmp.isEmpty() ? FTmp.path() : tmp);
        env.insert("VELMORA_TEST_HOOK", "1");
        env.remove("VELMORA_TEST_FS_TYPE");
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.insert(it.key(), it.value());
        FProcess.setProcessEnvironment(env);
        FProcess.setProcessChannelMode(QProcess::SeparateChannels);
        FTimer.start();
        FProcess.start(VelmoraBinPath(), {});
        FProcess.waitForStarted(10000);
    }
    ~TProgram() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
    // Waits until stderr holds the text; false when the time is up or the program ended.
    bool WaitFor(const QString& text, int ms = 15000) {
        QElapsedTimer t;
        t.start();
        while (!Log().contains(text)) {
            if (t.elapsed() > ms)
                return false;
            if (FProcess.state() == QProcess::NotRunning) {
                Log();
                return Log().contains(text);
            }
            FProcess.waitForReadyRead(50);
        }
        return true;
    }
    bool WaitForEnd(int ms = 15000) { return FProcess.waitForFinished(ms); }
    const QString& Log() {
        FLog += QString::fromUtf8(FProcess.readAllStandardError());
        return FLog;
    }
    qint64 Elapsed() const { return FTimer.elapsed(); }
    int ExitCode() const { return FProcess.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return FProcess.exitStatus(); }
    qint64 Pid() const { return FProcess.processId(); }
    QString Home() const { return FHome.path() + "/"; }
    QString Tmp() const { return FTmp.path(); }

private:
    QTemporaryDir FHome, FTmp;
    QProcess FProcess;
    QString FLog;
    QElapsedTimer FTimer;
};

// A display of the test's own with a window manager, so that windows can be minimised.
class TPrivateDisplay {
public:
    TPrivateDisplay() {
        FXvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             "-auth", "/dev/null"});
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && !FXvfb.canReadLine())
            FXvfb.waitForReadyRead(50);
        const QString n = QString::fromUtf8(FXvfb.readLine()).trimmed();
        if (n.isEmpty())
            return;
        FDisplay = ":" + n;
        QFile rc(FDir.filePath("twmrc"));
        if (rc.open(QIODevice::WriteOnly))
            // Xvfb has no font path, only its built-in "fixed".
            rc.write("RandomPlacement\nNoGrabServer\nTitleFont \"fixed\"\nResizeFont \"fixed\"\n"
                     "MenuFont \"fixed\"\nIconFont \"fixed\"\nIconManagerFont \"fixed\"\n");
        rc.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", FDisplay);
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
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    const QString& Display() const { return FDisplay; }
    bool HasManager() const { return FWm.state() == QProcess::Running; }

private:
    QTemporaryDir FDir;
    QProcess FXvfb, FWm;
    QString FDisplay;
};

QString WmState(const QString& id, const QString& display) {
    return Tool("xprop", {"-id", id, "WM_STATE"}, display);
}

bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

struct StartupProgram : ::testing::Test {
    QString display = XvfbDisplay();
    void SetUp() override {
        ASSERT_FALSE(display.isEmpty()) << "the display fixture did not run";
        ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "the print server fixture did not run";
    }
};

} // namespace

TEST_F(StartupProgram, ShowsTheLogoThenTheMainWindow) {
    TProgram run(display, {{"VELMORA_TEST_HOOK", "pause-after-logo=1500"}});
    ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: logo shown")) << run.Log().toStdString();
    const QString logoShot = BuildDirPath("startup-logo.png");
    Tool("import", {"-window", "root", logoShot}, display);
    const QImage logo(logoShot);
    ASSERT_FALSE(logo.isNull());
    // The logo sits in the middle of the screen: a blue banner.
    const QColor middle = logo.pixelColor(logo.width() / 2 - 150, logo.height() / 2 - 50);
    EXPECT_GT(middle.blue(), middle.red() + 60) << middle.name().toStdString();

    ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: main window shown")) << run.Log().toStdString();
    EXPECT_TRUE(run.WaitFor("VELMORA_EVENT: logo released", 5000)) << run.Log().toStdString();
    QList<TWindow> windows;
    EXPECT_TRUE(WaitUntil([&] {
        windows = VelmoraWindows(display);
        return !windows.isEmpty();
    }));
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0].Size, QSize(873, 550));
    const QString mainShot = BuildDirPath("startup-main.png");
    Tool("import", {"-window", "root", mainShot}, display);
    EXPECT_FALSE(QImage(mainShot).isNull());

    // The first start made the settings file in the program folder, and the cache folder.
    QFile ini(run.Home() + "Thumbnail.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(ini.readAll()).contains("APPName=ヴェルモラ"));
    EXPECT_TRUE(QDir(run.Home() + "Temp").exists());
    EXPECT_FALSE(run.Log().contains("VELMORA_MESSAGE")) << run.Log().toStdString();
}

TEST_F(StartupProgram, SecondStartBringsTheMinimisedFirstBack) {
    TPrivateDisplay screen;
    ASSERT_FALSE(screen.Display().isEmpty()) << "no Xvfb of our own";
    ASSERT_TRUE(screen.HasManager()) << "twm did not start";
    QTemporaryDir shared; // both starts share the runtime folder that holds the lock
    TProgram first(screen.Display(), {}, shared.path());
    ASSERT_TRUE(first.WaitFor("VELMORA_EVENT: main window shown")) << first.Log().toStdString();
    QList<TWindow> windows;
    ASSERT_TRUE(WaitUntil([&] {
        windows = VelmoraWindows(screen.Display());
        return windows.size() == 1 && WmState(windows[0].Id, screen.Display()).contains("Normal");
    })) << Tool("xwininfo", {"-root", "-tree"}, screen.Display()).toStdString();
    const QString id = windows[0].Id;
    Tool("xdotool", {"windowminimize", id}, screen.Display());
    ASSERT_TRUE(WaitUntil([&] { return WmState(id, screen.Display()).contains("Iconic"); }))
        << WmState(id, screen.Display()).toStdString();

    TProgram second(screen.Display(), {}, shared.path());
    ASSERT_TRUE(second.WaitForEnd(10000));
    const qint64 took = second.Elapsed();
    EXPECT_LT(took, 1000) << "the second start took " << took << " ms";
    std::printf("second start ended after %lld ms\n", static_cast<long long>(took));
    EXPECT_EQ(second.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(second.Log().contains("VELMORA_EVENT: another instance runs"));
    EXPECT_FALSE(second.Log().contains("main window shown"));
    EXPECT_FALSE(second.Log().contains("VELMORA_MESSAGE"));

    EXPECT_TRUE(first.WaitFor("VELMORA_EVENT: show requested", 3000));
    EXPECT_TRUE(WaitUntil([&] { return WmState(id, screen.Display()).contains("Normal"); }))
        << WmState(id, screen.Display()).toStdString();
    EXPECT_EQ(VelmoraWindows(screen.Display()).size(), 1) << "the second start made a window";
    Tool("import", {"-window", "root", BuildDirPath("startup-restored.png")}, screen.Display());
}

TEST_F(StartupProgram, CrashedInstanceLeavesNothingInTheWay) {
    QTemporaryDir shared;
    {
        TProgram crashed(display, {}, shared.path());
        ASSERT_TRUE(crashed.WaitFor("VELMORA_EVENT: main window shown"));
        ::kill(static_cast<pid_t>(crashed.Pid()), SIGKILL);
        crashed.WaitForEnd(5000);
    }
    TProgram next(display, {}, shared.path());
    EXPECT_TRUE(next.WaitFor("VELMORA_EVENT: main window shown")) << next.Log().toStdString();
    EXPECT_FALSE(next.Log().contains("another instance runs"));
}

TEST_F(StartupProgram, NoPrinterRefusesToStart) {
    QTemporaryDir empty;
    TProgram run(display, {{"CUPS_SERVER", empty.filePath("no-server.sock")}});
    ASSERT_TRUE(run.WaitForEnd(20000));
    EXPECT_TRUE(run.Log().contains("VELMORA_MESSAGE: [message] [Velmora] Cannot set up printer."))
        << run.Log().toStdString();
    EXPECT_FALSE(run.Log().contains("main window shown"));
    EXPECT_EQ(run.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.ExitCode(), 1);
}

TEST_F(StartupProgram, NetworkShareRefusesToStart) {
    TProgram run(display, {{"VELMORA_TEST_FS_TYPE", "nfs"}});
    ASSERT_TRUE(run.WaitForEnd(20000));
    EXPECT_TRUE(run.Log().contains("VELMORA_MESSAGE: [message] [Velmora] Copy this application "
                                   "to a disk on your computer and start it again."))
        << run.Log().toStdString();
    EXPECT_FALSE(run.Log().contains("main window shown"));
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_FALSE(QFile::exists(run.Home() + "Thumbnail.ini")) << "refused before configuring";
}
