// The built program, started as a user would (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS);
// VELMORA_TEST_HOOK answers its message boxes and reports its steps. Browsing real photographs with
// a video and a damaged picture, then ended by a signal: SIGTERM, SIGINT and SIGHUP end it the
// clean way, and even after SIGKILL the next start runs and finds every thumbnail in the cache. A
// returning user: handed a picture by a second start, size and order changed with the mouse, moved,
// quit with Ctrl+Q, started again in the same folder, size, order and place; there the cache
// settings worked with xdotool, which "Thumbnail.ini" keeps and the next start, at
// QT_SCALE_FACTOR=2, uses. The two refusals to start. Screenshots are left under build/screenshots.
#include "support/CacheFiles.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <csignal>
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

} // namespace

TEST(SignalProgram, BrowsedToTheEndThenEndedBySignalTheNextStartFindsEveryThumbnail) {
    ASSERT_FALSE(XvfbDisplay().isEmpty() || PrivateCupsServer().isEmpty()) << "no fixtures";
    QTemporaryDir photos;
    const QStringList real{"dune.jpg",        "wood_gray.jpg",      "storm_progressive.jpg",
                           "blinds_cmyk.jpg", "garden_palette.bmp", "seed.png"};
    for (const QString& name : real)
        ASSERT_TRUE(QFile::copy(TestDataPath(name), photos.filePath(name))) << name.toStdString();
    WriteRaw(photos.filePath("holiday.avi"),
             QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(4000, '\0'));
    // The header of a real photograph and then nothing.
    WriteRaw(photos.filePath("damaged.jpg"),
             ReadAll(TestDataPath("dune.jpg")).left(600) + QByteArray(3000, '\x7F'));

    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signal);
        QTemporaryDir home, tmp;
        const QString cache = home.path() + "/Temp";
        {
            TProgramRun first(home.path(), tmp.path(), {photos.path()});
            ASSERT_TRUE(first.WaitLoaded()) << first.Output().toStdString();
            if (signal == SIGTERM) {
                // 8 files, 16 steps: the first report is 6 (6.25), the last before the end 94.
                QStringList statuses;
                QMap<QString, QString> cells; // name -> bitmap size and picture size
                for (const QString& l : first.StatusLines()) {
                    const QStringList f = l.split('\t');
                    if (f[0] == "status")
                        statuses << f.value(1);
                    else if (f[0] == "cell")
                        cells[f.value(2)] = f.value(3) + " " + f.value(4);
                }
                ASSERT_GE(statuses.size(), 16);
                EXPECT_EQ(statuses.first(), " Load  6%");
                EXPECT_EQ(statuses[statuses.size() - 2], " Load  94%");
                for (const QString& name : real)
                    EXPECT_FALSE(cells[name].startsWith("0x0") || cells[name].endsWith(" x"))
                        << name.toStdString();
                EXPECT_TRUE(cells["damaged.jpg"].startsWith("0x0 "));
                EXPECT_EQ(cells["holiday.avi"], "128x128 48x48"); // the icon
                QThread::msleep(700); // let the last pictures reach the screen
                Shot(first.Display, "browse_program.png");
            }
            ::kill(pid_t(first.Program.processId()), signal);
            if (signal != SIGKILL) {
                ASSERT_TRUE(first.WaitForEnd(20000));
                EXPECT_TRUE(
                    first.Output().contains(QString("VELMORA_EVENT: signal %1").arg(signal)));
            }
            first.Program.waitForFinished(20000);
        }
        const int made = CountBitmaps(cache);
        EXPECT_GE(made, 6);
        EXPECT_EQ(IndexRecords(cache), made);
        if (signal != SIGTERM && signal != SIGKILL)
            continue;
        // The next start runs (a killed one leaves nothing in the way) and answers every
        // picture from the cache: no bitmap is made again.
        QFile::remove(tmp.filePath("status.log"));
        TProgramRun second(home.path(), tmp.path(), {photos.path()});
        ASSERT_TRUE(second.WaitLoaded()) << second.Output().toStdString();
        EXPECT_EQ(CountBitmaps(cache), made);
        EXPECT_FALSE(second.Output().contains("VELMORA_MESSAGE")) << second.Output().toStdString();
        if (signal == SIGTERM)
            Shot(second.Display, "signal_program_restart.png");
    }
}

TEST(ReturningUserProgram, SameFolderSizeOrderAndPlaceAfterCtrlQThenANewCache) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty() || PrivateCupsServer().isEmpty()) << "no fixtures";
    QTemporaryDir homeDir, tmpDir, photos;
    // A name with blanks and a non-ASCII letter, handed over and stored whole.
    const QString home = homeDir.path() + "/", tmp = tmpDir.path();
    const QString folder = photos.filePath("Fotos ü"), seed = folder + "/seed.png";
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"dune.jpg", "seed.png", "garden_palette.bmp", "wood_gray.jpg"})
        ASSERT_TRUE(QFile::copy(TestDataPath(name), folder + "/" + name));
    // The new cache folder lies next to the default one, so typing its name finds it.
    ASSERT_TRUE(QDir().mkpath(home + "NewCache"));
    {
        TProgramRun first(home, tmp, {});
        ASSERT_TRUE(first.WaitFor("VELMORA_EVENT: main window shown"))
            << first.Output().toStdString();
        // A second start hands its picture over and ends.
        TProgramRun second(home, tmp, {seed});
        EXPECT_TRUE(second.WaitForEnd());
        EXPECT_FALSE(second.Output().contains("main window shown"));
        ASSERT_TRUE(first.WaitFor("show requested " + seed));
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
        // Every cell at the large size.
        const QStringList cells = again.StatusLines().filter(QRegularExpression("^cell\t"));
        EXPECT_EQ(cells.size(), 4);
        EXPECT_EQ(cells.filter(QRegularExpression("\t(256x\\d+|\\d+x256)\t")), cells);
        QThread::msleep(700);
        Shot(display, "returning_user_again.png");

        RunTool("xdotool", {"key", "alt+t"}, display); // Settings > Cache settings
        QThread::msleep(400);
        RunTool("xdotool", {"key", "u"}, display);
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
}

// Without a print server, or from a network share, the program says why and ends before it
// writes anything.
TEST(StartupProgram, NoPrinterOrANetworkShareRefusesToStart) {
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
        EXPECT_EQ(run.Program.exitCode(), 1);
        EXPECT_FALSE(QFile::exists(home.filePath("Thumbnail.ini")));
    }
}
