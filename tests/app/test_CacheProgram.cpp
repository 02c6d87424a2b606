// The built program's cache settings, worked as a user would under the test display
// (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS): Settings › Cache settings, the location
// window, a new folder and size, Close; "Thumbnail.ini" holds them and the next start uses
// them. The two windows are left open for xdotool ("interactive" in VELMORA_TEST_HOOK);
// screenshots go under the build tree.
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QString Tool(const QStringList& args, const QString& display) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    if (!p.waitForFinished(10000))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Top-left corner of the window with exactly this title.
QPoint WindowAt(const QString& title, const QString& display) {
    const QString id = Tool({"search", "--name", "^" + title + "$"}, display).section('\n', -1);
    const QString geo = Tool({"getwindowgeometry", "--shell", id}, display);
    static const QRegularExpression x("X=(\\d+)"), y("Y=(\\d+)");
    return {x.match(geo).captured(1).toInt(), y.match(geo).captured(1).toInt()};
}

void Click(const QString& display, QPoint at) {
    Tool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"}, display);
}

bool Shoot(const QString& display, const QString& name) {
    QDir().mkpath(BuildDirPath("screenshots"));
    const QString target = BuildDirPath("screenshots/" + name);
    QFile::remove(target);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("import", {"-window", "root", target});
    return p.waitForFinished(20000) && p.exitCode() == 0 && QFile::exists(target);
}

int CountBitmaps(const QString& dir) {
    int n = 0;
    QDirIterator it(dir, {"*.bmp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

// One run of the program on the photo folder, with the home and temporary folders given.
class TRun {
public:
    TRun(const QString& display, const QString& home, const QString& tmp, const QString& photos) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("CUPS_SERVER", PrivateCupsServer());
        env.insert("VELMORA_HOME", home);
        env.insert("HOME", home);
        env.insert("TMPDIR", tmp);
        env.insert("XDG_RUNTIME_DIR", tmp);
        env.insert("VELMORA_TEST_HOOK", "1,interactive=cache,interactive=cachepath");
        env.insert("VELMORA_STATUS_LOG", tmp + "/status.log");
        QFile::remove(tmp + "/status.log");
        FStatus = tmp + "/status.log";
        FProcess.setProcessEnvironment(env);
        FProcess.start(VelmoraBinPath(), {photos});
        FProcess.waitForStarted(10000);
    }
    ~TRun() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
    // Waits until stderr or the status log holds the text.
    bool WaitFor(const QString& text, int ms = 30000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (Log().contains(text) || QString::fromUtf8(ReadAll(FStatus)).contains(text))
                return true;
            if (FProcess.state() == QProcess::NotRunning)
                return false;
            FProcess.waitForReadyRead(50);
        }
        return false;
    }
    const QString& Log() {
        FLog += QString::fromUtf8(FProcess.readAllStandardError());
        return FLog;
    }
    bool WaitForEnd() { return FProcess.waitForFinished(15000); }
    int ExitCode() const { return FProcess.exitCode(); }

private:
    QProcess FProcess;
    QString FLog, FStatus;
};

} // namespace

TEST(CacheProgram, NewLocationAndSizeReachTheSettingsFileAndTheNextStart) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir homeDir, tmpDir, photoDir;
    const QString home = homeDir.path() + "/", tmp = tmpDir.path(), photos = photoDir.path();
    for (const char* name : {"dune.jpg", "seed.png", "wood_gray.jpg"})
        ASSERT_TRUE(QFile::copy(TestDataPath(name), photos + "/" + name));
    // The new cache folder lies next to the default one, so typing its name finds it.
    ASSERT_TRUE(QDir().mkpath(home + "NewCache"));

    {
        TRun run(display, home, tmp, photos);
        ASSERT_TRUE(run.WaitFor("status\t Loading complete.")) << run.Log().toStdString();
        ASSERT_TRUE(run.Log().contains("VELMORA_EVENT: cache " + home + "Temp "));
        EXPECT_EQ(CountBitmaps(home + "Temp"), 3);

        // Settings › Cache settings.
        Tool({"key", "alt+t"}, display);
        QThread::msleep(400);
        Tool({"key", "u"}, display);
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog open: cache\n")) << run.Log().toStdString();
        QThread::msleep(500);
        EXPECT_TRUE(Shoot(display, "cache_settings.png"));
        const QPoint cache = WindowAt("Cache settings", display);

        // "...": the location window, where typing a folder's name selects it.
        Click(display, cache + QPoint(346, 114));
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog open: cachepath"));
        QThread::msleep(1500); // the folder list reads its folders in the background
        Tool({"type", "--delay", "80", "NewCache"}, display);
        QThread::msleep(500);
        EXPECT_TRUE(Shoot(display, "cache_location.png"));
        const QPoint location = WindowAt("Cache location selection", display);
        Click(display, location + QPoint(48, 318)); // OK
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog closed: cachepath"));

        // The size: the slider takes the focus from a click, then three steps from 0 MB.
        QThread::msleep(300);
        Click(display, cache + QPoint(20, 44));
        Tool({"key", "Home", "Right", "Right", "Right"}, display);
        QThread::msleep(300);
        EXPECT_TRUE(Shoot(display, "cache_settings_changed.png"));
        Click(display, cache + QPoint(186, 154)); // Close
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog closed: cache\n"));
        EXPECT_FALSE(run.Log().contains("VELMORA_MESSAGE")) << run.Log().toStdString();

        QSettings ini(home + "Thumbnail.ini", QSettings::IniFormat);
        EXPECT_EQ(ini.value("Cache/Directory").toString(), home + "NewCache");
        EXPECT_EQ(ini.value("Cache/Size").toString(), "76800");

        // File › Exit, once the main window has the keyboard again (a click on its grid,
        // where the closed window was).
        QThread::msleep(300);
        Click(display, cache + QPoint(300, 170));
        QThread::msleep(300);
        Tool({"key", "alt+f"}, display);
        QThread::msleep(400);
        Tool({"key", "x"}, display);
        EXPECT_TRUE(run.WaitForEnd());
        EXPECT_EQ(run.ExitCode(), 0);
    }
    EXPECT_EQ(CountBitmaps(home + "Temp"), 3) << "the old cache stays as it was";
    EXPECT_EQ(CountBitmaps(home + "NewCache"), 0);

    // The next start uses the new folder and size: the thumbnails go there.
    TRun again(display, home, tmp, photos);
    ASSERT_TRUE(again.WaitFor("status\t Loading complete.")) << again.Log().toStdString();
    EXPECT_TRUE(again.Log().contains("VELMORA_EVENT: cache " + home + "NewCache 76800KB"))
        << again.Log().toStdString();
    EXPECT_EQ(CountBitmaps(home + "NewCache/_TDB0100"), 3);
    Tool({"key", "alt+t"}, display);
    QThread::msleep(400);
    Tool({"key", "u"}, display);
    ASSERT_TRUE(again.WaitFor("VELMORA_EVENT: dialog open: cache\n"));
    QThread::msleep(500);
    EXPECT_TRUE(Shoot(display, "cache_settings_next_start.png"));
    const QImage shot(BuildDirPath("screenshots/cache_settings_next_start.png"));
    EXPECT_FALSE(shot.isNull());
}
