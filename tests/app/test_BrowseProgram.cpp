// The built program browsing a folder of real photographs with a video and a damaged picture
// (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS): it runs under the test display with the private
// print server, reports its status texts and cells through VELMORA_STATUS_LOG, and leaves a
// screenshot under the build tree.
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

bool Screenshot(const QString& display, const QString& target) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("import", {"-window", "root", target});
    return p.waitForFinished(20000) && p.exitCode() == 0 && QFile::exists(target);
}

} // namespace

TEST(BrowseProgram, RealPhotosVideoAndDamagedPictureLoadToTheEnd) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";

    QTemporaryDir home, tmp, photos;
    const QStringList real{"dune.jpg",        "wood_gray.jpg",      "storm_progressive.jpg",
                           "blinds_cmyk.jpg", "garden_palette.bmp", "seed.png"};
    for (const QString& name : real)
        ASSERT_TRUE(QFile::copy(TestDataPath(name), photos.filePath(name))) << name.toStdString();
    QFile avi(photos.filePath("holiday.avi"));
    ASSERT_TRUE(avi.open(QIODevice::WriteOnly));
    avi.write(QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(4000, '\0'));
    avi.close();
    QFile bad(photos.filePath("damaged.jpg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    QFile good(TestDataPath("dune.jpg"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    bad.write(good.read(600)); // the header and then nothing
    bad.write(QByteArray(3000, '\x7F'));
    bad.close();

    const QString log = tmp.filePath("status.log");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("CUPS_SERVER", PrivateCupsServer());
    env.insert("VELMORA_HOME", home.path() + "/");
    env.insert("HOME", home.path());
    env.insert("TMPDIR", tmp.path());
    env.insert("XDG_RUNTIME_DIR", tmp.path());
    env.insert("VELMORA_TEST_HOOK", "1"); // any message box is answered, not left open
    env.insert("VELMORA_STATUS_LOG", log);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(VelmoraBinPath(), {photos.path()});
    ASSERT_TRUE(program.waitForStarted(10000));

    QElapsedTimer timer;
    timer.start();
    QStringList lines;
    while (timer.elapsed() < 60000 && program.state() == QProcess::Running) {
        lines = ReadLines(log);
        if (lines.contains("status\t Loading complete."))
            break;
        QThread::msleep(100);
    }
    ASSERT_TRUE(lines.contains("status\t Loading complete."))
        << lines.join('\n').toStdString() << program.readAll().toStdString();
    EXPECT_TRUE(lines.contains("address\t Address: " + photos.path()));
    // 8 files, 16 steps: the first report is 6 (6.25), the last before the end 94 (93.75).
    QStringList statuses;
    for (const QString& l : lines)
        if (l.startsWith("status\t"))
            statuses << l.mid(7);
    ASSERT_GE(statuses.size(), 16);
    EXPECT_EQ(statuses.first(), " Load  6%");
    EXPECT_EQ(statuses[statuses.size() - 2], " Load  94%");

    QThread::msleep(700); // let the last pictures reach the screen
    QDir().mkpath(BuildDirPath("screenshots"));
    const QString shot = BuildDirPath("screenshots/browse_program.png");
    QFile::remove(shot);
    EXPECT_TRUE(Screenshot(display, shot));

    QMap<QString, QStringList> cells; // name -> bitmap size, picture size
    for (const QString& l : lines) {
        const QStringList f = l.split('\t');
        if (f.value(0) == "cell" && f.size() >= 5)
            cells[f[2]] = {f[3], f[4]};
    }
    ASSERT_EQ(cells.size(), 8) << lines.join('\n').toStdString();
    for (const QString& name : real) {
        ASSERT_TRUE(cells.contains(name)) << name.toStdString();
        EXPECT_NE(cells[name][0], "0x0") << name.toStdString();
        EXPECT_NE(cells[name][1], "x") << name.toStdString();
    }
    EXPECT_EQ(cells["damaged.jpg"][0], "0x0");
    EXPECT_EQ(cells["holiday.avi"][0], "128x128"); // the 48 x 48 icon picture, stretched
    EXPECT_EQ(cells["holiday.avi"][1], "48x48");

    const QImage screen(shot);
    if (!screen.isNull()) {
        int white = 0;
        for (int y = 0; y < screen.height(); y += 4)
            for (int x = 0; x < screen.width(); x += 4)
                white += screen.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        EXPECT_GT(white, 200); // the cells are on screen
    }
    program.kill();
    program.waitForFinished(5000);
}
