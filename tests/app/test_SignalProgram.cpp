// The built program browsing real photographs with a video and a damaged picture, then ended
// by a signal (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS): SIGTERM, SIGINT and SIGHUP end it
// the clean way, and even after SIGKILL the next start finds every thumbnail in the cache.
#include "support/CacheFiles.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

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
                QMap<QString, QStringList> cells; // name -> bitmap size, picture size
                for (const QString& l : first.StatusLines()) {
                    const QStringList f = l.split('\t');
                    if (f[0] == "status")
                        statuses << f.value(1);
                    if (f[0] == "cell" && f.size() >= 5)
                        cells[f[2]] = {f[3], f[4]};
                }
                ASSERT_GE(statuses.size(), 16);
                EXPECT_EQ(statuses.first(), " Load  6%");
                EXPECT_EQ(statuses[statuses.size() - 2], " Load  94%");
                EXPECT_TRUE(first.StatusLines().contains("address\t Address: " + photos.path()));
                ASSERT_EQ(cells.size(), 8);
                for (const QString& name : real)
                    EXPECT_TRUE(cells.value(name).value(0) != "0x0" &&
                                cells.value(name).value(1) != "x")
                        << name.toStdString();
                EXPECT_EQ(cells["damaged.jpg"][0], "0x0");
                EXPECT_EQ(cells["holiday.avi"], QStringList({"128x128", "48x48"})); // the icon
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
        if (signal != SIGTERM)
            continue;
        // The next start answers every picture from the cache: no bitmap is made again.
        QFile::remove(tmp.filePath("status.log"));
        TProgramRun second(home.path(), tmp.path(), {photos.path()});
        ASSERT_TRUE(second.WaitLoaded());
        EXPECT_EQ(CountBitmaps(cache), made);
        Shot(second.Display, "signal_program_restart.png");
    }
}
