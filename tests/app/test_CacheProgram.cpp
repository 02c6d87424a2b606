// The built program's cache settings, worked as a user would under the test display
// (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS): Settings › Cache settings, the location
// window, a new folder and size, Close; "Thumbnail.ini" holds them and the next start uses
// them. The two windows are left open for xdotool ("interactive" in VELMORA_TEST_HOOK);
// screenshots go under the build tree.
#include "support/CacheFiles.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The program's windows stay open for xdotool while it runs.
const QMap<QString, QString> Interactive{
    {"VELMORA_TEST_HOOK", "1,interactive=cache,interactive=cachepath"}};

// Settings > Cache settings, from the keyboard.
void OpenCacheSettings(const QString& display) {
    RunTool("xdotool", {"key", "alt+t"}, display);
    QThread::msleep(400);
    RunTool("xdotool", {"key", "u"}, display);
}

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
        TProgramRun run(home, tmp, {photos}, Interactive);
        ASSERT_TRUE(run.WaitLoaded()) << run.Output().toStdString();
        ASSERT_TRUE(run.Output().contains("VELMORA_EVENT: cache " + home + "Temp "));
        EXPECT_EQ(CountBitmaps(home + "Temp"), 3);

        OpenCacheSettings(display);
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog open: cache\n"))
            << run.Output().toStdString();
        QThread::msleep(500);
        Shot(display, "cache_settings.png");
        const QPoint cache = Geometry(display, FindWindow(display, "Cache settings")).topLeft();

        // "...": the location window, where typing a folder's name selects it.
        Click(display, {}, cache.x() + 346, cache.y() + 114);
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog open: cachepath"));
        QThread::msleep(1500); // the folder list reads its folders in the background
        RunTool("xdotool", {"type", "--delay", "80", "NewCache"}, display);
        QThread::msleep(500);
        Shot(display, "cache_location.png");
        const QPoint location =
            Geometry(display, FindWindow(display, "Cache location selection")).topLeft();
        Click(display, {}, location.x() + 48, location.y() + 318); // OK
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog closed: cachepath"));

        // The size: the slider takes the focus from a click, then three steps from 0 MB.
        QThread::msleep(300);
        Click(display, {}, cache.x() + 20, cache.y() + 44);
        RunTool("xdotool", {"key", "Home", "Right", "Right", "Right"}, display);
        QThread::msleep(300);
        Shot(display, "cache_settings_changed.png");
        Click(display, {}, cache.x() + 186, cache.y() + 154); // Close
        ASSERT_TRUE(run.WaitFor("VELMORA_EVENT: dialog closed: cache\n"));
        EXPECT_FALSE(run.Output().contains("VELMORA_MESSAGE")) << run.Output().toStdString();

        QSettings ini(home + "Thumbnail.ini", QSettings::IniFormat);
        EXPECT_EQ(ini.value("Cache/Directory").toString(), home + "NewCache");
        EXPECT_EQ(ini.value("Cache/Size").toString(), "76800");

        // File › Exit, once the main window has the keyboard again (a click on its grid,
        // where the closed window was).
        QThread::msleep(300);
        Click(display, {}, cache.x() + 300, cache.y() + 170);
        QThread::msleep(300);
        RunTool("xdotool", {"key", "alt+f"}, display);
        QThread::msleep(400);
        RunTool("xdotool", {"key", "x"}, display);
        EXPECT_TRUE(run.WaitForEnd());
    }
    EXPECT_EQ(CountBitmaps(home + "Temp"), 3) << "the old cache stays as it was";
    EXPECT_EQ(CountBitmaps(home + "NewCache"), 0);

    // The next start uses the new folder and size: the thumbnails go there.
    QFile::remove(tmp + "/status.log");
    TProgramRun again(home, tmp, {photos}, Interactive);
    ASSERT_TRUE(again.WaitLoaded()) << again.Output().toStdString();
    EXPECT_TRUE(again.Output().contains("VELMORA_EVENT: cache " + home + "NewCache 76800KB"))
        << again.Output().toStdString();
    EXPECT_EQ(CountBitmaps(home + "NewCache/_TDB0100"), 3);
    OpenCacheSettings(display);
    ASSERT_TRUE(again.WaitFor("VELMORA_EVENT: dialog open: cache\n"));
    QThread::msleep(500);
    EXPECT_FALSE(QImage(Shot(display, "cache_settings_next_start.png")).isNull());
}
