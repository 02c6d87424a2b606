// The built program ended by a signal (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS): log-out
// and shut-down (SIGTERM), Ctrl+C (SIGINT) and a closed terminal (SIGHUP) end it the clean
// way, and even SIGKILL after a load finds every thumbnail in the cache at the next start.
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

int CountFiles(const QString& dir, const QString& pattern) {
    int n = 0;
    QDirIterator it(dir, {pattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

int IndexRecords(const QString& home) {
    int n = 0;
    for (const QByteArray& line : ReadAll(home + "Temp/_TDB0100/_TDBCache.dat").split('\n'))
        n += line.startsWith('T') ? 1 : 0;
    return n;
}

// One start of the program on a folder, with the home it shares with later starts.
class TRun {
public:
    TRun(const QString& home, const QString& tmp, const QString& folder) {
        FStatus = tmp + "/status.log";
        QFile::remove(FStatus);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", XvfbDisplay());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("CUPS_SERVER", PrivateCupsServer());
        env.insert("VELMORA_HOME", home);
        env.insert("HOME", home);
        env.insert("TMPDIR", tmp);
        env.insert("XDG_RUNTIME_DIR", tmp);
        env.insert("VELMORA_TEST_HOOK", "1");
        env.insert("VELMORA_STATUS_LOG", FStatus);
        FProcess.setProcessEnvironment(env);
        FProcess.setProcessChannelMode(QProcess::MergedChannels);
        FProcess.start(VelmoraBinPath(), {folder});
        FProcess.waitForStarted(10000);
    }
    ~TRun() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
    // Waits for a status text that starts with prefix.
    bool WaitForStatus(const QString& prefix, int ms = 60000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms && FProcess.state() == QProcess::Running) {
            for (const QByteArray& l : ReadAll(FStatus).split('\n'))
                if (QString::fromUtf8(l).startsWith("status\t" + prefix))
                    return true;
            QThread::msleep(50);
        }
        return false;
    }
    void Signal(int signal) { ::kill(pid_t(FProcess.processId()), signal); }
    bool Ended(int ms = 20000) { return FProcess.waitForFinished(ms); }
    QProcess& Process() { return FProcess; }

private:
    QString FStatus;
    QProcess FProcess;
};

} // namespace

TEST(SignalProgram, EndedBySignalTheNextStartFindsEveryThumbnail) {
    ASSERT_FALSE(XvfbDisplay().isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir photos;
    const int count = 10;
    for (int i = 0; i < count; ++i) {
        QImage img(900, 600, QImage::Format_RGB32);
        img.fill(QColor(25 * i, 200 - 15 * i, 90));
        ASSERT_TRUE(img.save(photos.filePath(QString("photo%1.jpg").arg(i)), "JPG"));
    }
    struct TCase {
        const char* Name;
        int Signal;
        bool Clean; // ends by itself with code 0
    };
    const TCase cases[] = {
        {"SIGTERM", SIGTERM, true},
        {"SIGINT", SIGINT, true},
        {"SIGHUP", SIGHUP, true},
        {"SIGKILL", SIGKILL, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir home, tmp;
        const QString h = home.path() + "/";
        {
            TRun first(h, tmp.path(), photos.path());
            ASSERT_TRUE(first.WaitForStatus(" Loading complete."));
            first.Signal(c.Signal);
            ASSERT_TRUE(first.Ended());
            if (c.Clean) {
                EXPECT_EQ(first.Process().exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(first.Process().exitCode(), 0);
                EXPECT_TRUE(first.Process().readAll().contains(
                    QString("VELMORA_EVENT: signal %1").arg(c.Signal).toUtf8()));
            }
        }
        EXPECT_EQ(IndexRecords(h), count);
        EXPECT_EQ(CountFiles(h + "Temp", "*.bmp"), count);

        // The next start answers every picture from the cache: no bitmap is made again.
        TRun second(h, tmp.path(), photos.path());
        ASSERT_TRUE(second.WaitForStatus(" Loading complete."));
        EXPECT_EQ(CountFiles(h + "Temp", "*.bmp"), count);
        if (c.Signal == SIGTERM) {
            QThread::msleep(500);
            QDir().mkpath(BuildDirPath("screenshots"));
            const QString shot = BuildDirPath("screenshots/signal_program_restart.png");
            QFile::remove(shot);
            QProcess import;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("DISPLAY", XvfbDisplay());
            import.setProcessEnvironment(env);
            import.start("import", {"-window", "root", shot});
            import.waitForFinished(20000);
        }
        second.Signal(SIGTERM);
        EXPECT_TRUE(second.Ended());
    }
}

TEST(SignalProgram, SigtermDuringALoadStopsItAndKeepsWhatWasMade) {
    ASSERT_FALSE(XvfbDisplay().isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir photos, home, tmp;
    for (int i = 0; i < 60; ++i) {
        QImage img(2400, 1600, QImage::Format_RGB32);
        img.fill(QColor(4 * i, 120, 255 - 4 * i));
        ASSERT_TRUE(img.save(photos.filePath(QString("big%1.jpg").arg(i)), "JPG"));
    }
    const QString h = home.path() + "/";
    TRun run(h, tmp.path(), photos.path());
    ASSERT_TRUE(run.WaitForStatus(" Load  55")); // into the thumbnail pass
    run.Signal(SIGTERM);
    ASSERT_TRUE(run.Ended());
    EXPECT_EQ(run.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.Process().exitCode(), 0);
    const int made = CountFiles(h + "Temp", "*.bmp");
    EXPECT_GT(made, 0);
    EXPECT_EQ(IndexRecords(h), made) << "every bitmap made has its record";
}
