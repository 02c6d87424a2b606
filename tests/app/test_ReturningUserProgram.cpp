// The built program as a returning user meets it (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS):
// started, handed a picture by a second start (which ends without a window of its own), size
// and order changed with the mouse, moved, quit with Ctrl+Q, started again in the same folder,
// size, order and place; there the cache settings worked with xdotool (Settings › Cache
// settings, the location window, a new folder and size, Close), which "Thumbnail.ini" keeps
// and the next start, at QT_SCALE_FACTOR=2, uses. Screenshots are left under build/screenshots.
#include "support/CacheFiles.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The main window's id and its place and size (the logo and Qt's helper windows are
// smaller or named otherwise).
struct TPlace {
    QString Id;
    QRect Rect;
};
TPlace MainWindow(const QString& display) {
    TPlace found;
    const QString ids = RunTool("xdotool", {"search", "--name", "^Velmora$"}, display);
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
        const QRect r = Geometry(display, id);
        if (r.width() > 400)
            found = {id, r};
    }
    return found;
}

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

TEST(ReturningUserProgram, SameFolderSizeOrderAndPlaceAfterCtrlQThenANewCache) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir homeDir, tmpDir, photos;
    const QString home = homeDir.path() + "/", tmp = tmpDir.path(), folder = photos.path();
    for (const char* name : {"dune.jpg", "seed.png", "garden_palette.bmp", "wood_gray.jpg"})
        ASSERT_TRUE(QFile::copy(TestDataPath(name), photos.filePath(name)));
    // The new cache folder lies next to the default one, so typing its name finds it.
    ASSERT_TRUE(QDir().mkpath(home + "NewCache"));
    {
        TProgramRun first(home, tmp, {});
        ASSERT_TRUE(first.WaitFor("VELMORA_EVENT: main window shown"))
            << first.Output().toStdString();
        // A second start hands its picture over and ends.
        TProgramRun second(home, tmp, {photos.filePath("seed.png")});
        EXPECT_TRUE(second.WaitForEnd());
        EXPECT_FALSE(second.Output().contains("main window shown"));
        ASSERT_TRUE(first.WaitFor("show requested " + photos.filePath("seed.png")));
        ASSERT_TRUE(WaitUntil([&] {
            const QStringList lines = first.StatusLines();
            const qsizetype at = lines.indexOf("address\t Address: " + folder);
            return at >= 0 && lines.mid(at).contains("status\t Loading complete.");
        })) << first.StatusLines().join('\n').toStdString();
        const TPlace place = MainWindow(display);
        ASSERT_FALSE(place.Id.isEmpty());
        // Size box to " Large" (one up from " Medium"), order box to " Date" (two down).
        for (const auto& [x, keys] : {std::pair{453, QStringList{"Up", "Return"}},
                                      std::pair{296, QStringList{"Down", "Down", "Return"}}}) {
            Click(display, place.Id, x, 41);
            QThread::msleep(600);
            RunTool("xdotool", QStringList{"key"} + keys, display);
            QThread::msleep(1500); // the load at the new size runs to its end
        }
        RunTool("xdotool", {"windowmove", place.Id, "70", "50"}, display);
        QThread::msleep(500);
        Shot(display, "returning_user_before_quit.png");
        RunTool("xdotool", {"windowfocus", "--sync", place.Id}, display);
        RunTool("xdotool", {"key", "ctrl+q"}, display);
        ASSERT_TRUE(first.WaitForEnd(10000)) << "Ctrl+Q did not end the program cleanly";
    }
    const QString ini = QString::fromUtf8(ReadAll(home + "Thumbnail.ini"));
    for (const QString& line : QStringList{"[Window]\n", "Folder=" + folder + "\n", "Size=0\n",
                                           "Order=2\n", "Left=70\nTop=50\n"})
        EXPECT_TRUE(ini.contains(line)) << ini.toStdString();
    const int made = CountBitmaps(home + "Temp");
    EXPECT_EQ(made, 4);

    {
        // Started again without a name: the same folder, size, order and place.
        QFile::remove(tmp + "/status.log");
        TProgramRun again(home, tmp, {}, Interactive);
        ASSERT_TRUE(again.WaitLoaded()) << again.Output().toStdString();
        EXPECT_TRUE(again.StatusLines().contains("address\t Address: " + folder));
        EXPECT_EQ(MainWindow(display).Rect, QRect(70, 50, 873, 550));
        int cells = 0; // every cell at the large size
        for (const QString& l : again.StatusLines()) {
            const QStringList f = l.split('\t'), size = f.value(3).split('x');
            if (f.value(0) == "cell" && ++cells) {
                EXPECT_EQ(std::max(size.value(0).toInt(), size.value(1).toInt()), 256)
                    << qPrintable(l);
            }
        }
        EXPECT_EQ(cells, 4);
        QThread::msleep(700);
        Shot(display, "returning_user_again.png");

        OpenCacheSettings(display);
        ASSERT_TRUE(again.WaitFor("VELMORA_EVENT: dialog open: cache\n"))
            << again.Output().toStdString();
        QThread::msleep(500);
        Shot(display, "cache_settings.png");
        const QPoint cache = Geometry(display, FindWindow(display, "Cache settings")).topLeft();
        // "...": the location window, where typing a folder's name selects it.
        Click(display, {}, cache.x() + 346, cache.y() + 114);
        ASSERT_TRUE(again.WaitFor("VELMORA_EVENT: dialog open: cachepath"));
        QThread::msleep(1500); // the folder list reads its folders in the background
        RunTool("xdotool", {"type", "--delay", "80", "NewCache"}, display);
        QThread::msleep(500);
        Shot(display, "cache_location.png");
        const QPoint location =
            Geometry(display, FindWindow(display, "Cache location selection")).topLeft();
        Click(display, {}, location.x() + 48, location.y() + 318); // OK
        ASSERT_TRUE(again.WaitFor("VELMORA_EVENT: dialog closed: cachepath"));
        // The size: the slider takes the focus from a click, then three steps from 0 MB.
        QThread::msleep(300);
        Click(display, {}, cache.x() + 20, cache.y() + 44);
        RunTool("xdotool", {"key", "Home", "Right", "Right", "Right"}, display);
        QThread::msleep(300);
        Shot(display, "cache_settings_changed.png");
        Click(display, {}, cache.x() + 186, cache.y() + 154); // Close
        ASSERT_TRUE(again.WaitFor("VELMORA_EVENT: dialog closed: cache\n"));
        EXPECT_FALSE(again.Output().contains("VELMORA_MESSAGE")) << again.Output().toStdString();
        QSettings settings(home + "Thumbnail.ini", QSettings::IniFormat);
        EXPECT_EQ(settings.value("Cache/Directory").toString(), home + "NewCache");
        EXPECT_EQ(settings.value("Cache/Size").toString(), "76800");
        // File › Exit, once the main window has the keyboard again (a click on its grid,
        // where the closed window was).
        QThread::msleep(300);
        Click(display, {}, cache.x() + 300, cache.y() + 170);
        QThread::msleep(300);
        RunTool("xdotool", {"key", "alt+f"}, display);
        QThread::msleep(400);
        RunTool("xdotool", {"key", "x"}, display);
        EXPECT_TRUE(again.WaitForEnd());
    }
    EXPECT_EQ(CountBitmaps(home + "Temp"), made) << "the old cache stays as it was";
    EXPECT_EQ(CountBitmaps(home + "NewCache"), 0);

    // The next start, at QT_SCALE_FACTOR=2, uses the new folder and size: the thumbnails go
    // there; the window fits the screen of 640 x 512 logical pixels.
    QFile::remove(tmp + "/status.log");
    QMap<QString, QString> scaled = Interactive;
    scaled.insert("QT_SCALE_FACTOR", "2");
    TProgramRun scaledRun(home, tmp, {}, scaled);
    ASSERT_TRUE(scaledRun.WaitLoaded()) << scaledRun.Output().toStdString();
    QThread::msleep(700);
    Shot(display, "scale_factor_2.png");
    EXPECT_LE(MainWindow(display).Rect.width(), 1280);
    EXPECT_TRUE(scaledRun.Output().contains("VELMORA_EVENT: cache " + home + "NewCache 76800KB"))
        << scaledRun.Output().toStdString();
    EXPECT_EQ(CountBitmaps(home + "NewCache/_TDB0100"), made);
    OpenCacheSettings(display);
    ASSERT_TRUE(scaledRun.WaitFor("VELMORA_EVENT: dialog open: cache\n"));
    QThread::msleep(500);
    EXPECT_FALSE(QImage(Shot(display, "cache_settings_next_start.png")).isNull());
}
