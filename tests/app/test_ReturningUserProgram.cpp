// The built program as a returning user meets it (VELMORA_NEEDS_DISPLAY, VELMORA_NEEDS_CUPS):
// started, handed a picture by a second start, size and order changed with the mouse, moved,
// quit with Ctrl+Q, started again in the same folder, size, order and place; and a run at
// QT_SCALE_FACTOR=2. Screenshots are left under build/screenshots to look at.
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

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

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// The main window's id and its place and size (the logo and Qt's helper windows are
// smaller or named otherwise).
struct TPlace {
    QString Id;
    QRect Rect;
};
TPlace MainWindow(const QString& display) {
    TPlace found;
    const QString ids = Tool("xdotool", {"search", "--name", "^Velmora$"}, display);
    static const QRegularExpression pos(R"(Position: (-?\d+),(-?\d+).*Geometry: (\d+)x(\d+))",
                                        QRegularExpression::DotMatchesEverythingOption);
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
        const auto m = pos.match(Tool("xdotool", {"getwindowgeometry", id}, display));
        if (m.hasMatch() && m.captured(3).toInt() > 400) {
            found.Id = id;
            found.Rect = QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                               m.captured(4).toInt());
        }
    }
    return found;
}

class TRun {
public:
    TRun(const QString& display, const QString& home, const QString& tmp, const QString& log,
         const QStringList& args, const QMap<QString, QString>& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("CUPS_SERVER", PrivateCupsServer());
        env.insert("VELMORA_HOME", home + "/");
        env.insert("HOME", home);
        env.insert("TMPDIR", tmp);
        env.insert("XDG_RUNTIME_DIR", tmp);
        env.insert("VELMORA_TEST_HOOK", "1");
        env.insert("VELMORA_STATUS_LOG", log);
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.insert(it.key(), it.value());
        P.setProcessEnvironment(env);
        P.start(VelmoraBinPath(), args);
        P.waitForStarted(10000);
    }
    ~TRun() {
        if (P.state() != QProcess::NotRunning) {
            P.kill();
            P.waitForFinished(5000);
        }
    }
    bool WaitFor(const QString& text, int ms = 20000) {
        return WaitUntil(
                   [&] {
                       P.waitForReadyRead(20);
                       Err += QString::fromUtf8(P.readAllStandardError());
                       return Err.contains(text) || P.state() == QProcess::NotRunning;
                   },
                   ms) &&
               Err.contains(text);
    }
    QProcess P;
    QString Err;
};

bool Screenshot(const QString& display, const QString& name) {
    QDir().mkpath(BuildDirPath("screenshots"));
    const QString target = BuildDirPath("screenshots/" + name);
    QFile::remove(target);
    Tool("import", {"-window", "root", target}, display);
    return QFile::exists(target);
}

} // namespace

TEST(ReturningUserProgram, SameFolderSizeOrderAndPlaceAfterCtrlQ) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir home, tmp, photos;
    for (const char* name : {"dune.jpg", "seed.png", "garden_palette.bmp", "wood_gray.jpg"})
        ASSERT_TRUE(QFile::copy(TestDataPath(name), photos.filePath(name)));
    // A phone portrait: the dune photograph lying on its side with orientation tag 6.
    QByteArray lying = ReadAll(TestDataPath("dune.jpg"));
    lying.insert(2, QByteArray("\xFF\xE1\x00\x22"
                               "Exif\0\0MM\0\x2A\0\0\0\x08\0\x01"
                               "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0",
                               36));
    WriteRaw(photos.filePath("portrait.jpg"), lying);
    const QString log = tmp.filePath("status.log");
    const QString folder = photos.path();

    {
        TRun first(display, home.path(), tmp.path(), log, {});
        ASSERT_TRUE(first.WaitFor("VELMORA_EVENT: main window shown")) << first.Err.toStdString();
        // A second start hands its picture over and ends.
        TRun second(display, home.path(), tmp.path(), log, {photos.filePath("portrait.jpg")});
        ASSERT_TRUE(second.P.waitForFinished(15000));
        EXPECT_EQ(second.P.exitCode(), 0);
        ASSERT_TRUE(first.WaitFor("show requested " + photos.filePath("portrait.jpg")));
        ASSERT_TRUE(WaitUntil([&] {
            const QStringList lines = ReadLines(log);
            const qsizetype at = lines.indexOf("address\t Address: " + folder);
            return at >= 0 && lines.mid(at).contains("status\t Loading complete.");
        })) << ReadLines(log).join('\n').toStdString();
        const TPlace place = MainWindow(display);
        ASSERT_FALSE(place.Id.isEmpty());
        // Size box to " Large" (one up from " Medium"), order box to " Date" (two down).
        for (const auto& [x, keys] : {std::pair{453, QStringList{"Up", "Return"}},
                                      std::pair{296, QStringList{"Down", "Down", "Return"}}}) {
            Tool("xdotool",
                 {"mousemove", "--window", place.Id, QString::number(x), "41", "click", "1"},
                 display);
            QThread::msleep(600);
            Tool("xdotool", QStringList{"key"} + keys, display);
            QThread::msleep(1500); // the load at the new size runs to its end
        }
        Tool("xdotool", {"windowmove", place.Id, "70", "50"}, display);
        QThread::msleep(500);
        EXPECT_TRUE(Screenshot(display, "returning_user_before_quit.png"));
        Tool("xdotool", {"windowfocus", "--sync", place.Id}, display);
        Tool("xdotool", {"key", "ctrl+q"}, display);
        ASSERT_TRUE(first.P.waitForFinished(10000)) << "Ctrl+Q did not end the program";
        EXPECT_EQ(first.P.exitCode(), 0);
    }
    const QString ini = QString::fromUtf8(ReadAll(home.filePath("Thumbnail.ini")));
    EXPECT_TRUE(ini.contains("[Window]")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Folder=" + folder + "\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Size=0\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Order=2\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Left=70\nTop=50\n")) << ini.toStdString();

    // Started again without a name: the same folder, size, order and place.
    QFile::remove(log);
    TRun again(display, home.path(), tmp.path(), log, {});
    ASSERT_TRUE(WaitUntil([&] { return ReadLines(log).contains("status\t Loading complete."); }))
        << ReadLines(log).join('\n').toStdString() << again.Err.toStdString();
    const QStringList lines = ReadLines(log);
    EXPECT_TRUE(lines.contains("address\t Address: " + folder));
    const TPlace place = MainWindow(display);
    EXPECT_EQ(place.Rect, QRect(70, 50, 873, 550));
    // Large cells, in date order; the portrait stands upright (higher than wide).
    QStringList order;
    for (const QString& l : lines) {
        const QStringList f = l.split('\t');
        if (f.value(0) != "cell")
            continue;
        order << f.value(2);
        if (f.value(2) == "portrait.jpg") {
            const QStringList size = f.value(3).split('x');
            EXPECT_GT(size.value(1).toInt(), size.value(0).toInt()) << f.value(3).toStdString();
            EXPECT_EQ(size.value(1).toInt(), 256);
        }
    }
    EXPECT_EQ(order.size(), 5);
    QThread::msleep(700);
    EXPECT_TRUE(Screenshot(display, "returning_user_again.png"));
}

TEST(ReturningUserProgram, ScaleFactorTwoRun) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty()) << "no test display";
    QTemporaryDir home, tmp, photos;
    for (const char* name : {"dune.jpg", "wood_gray.jpg", "storm_progressive.jpg"})
        ASSERT_TRUE(QFile::copy(TestDataPath(name), photos.filePath(name)));
    const QString log = tmp.filePath("status.log");
    TRun run(display, home.path(), tmp.path(), log, {photos.filePath("dune.jpg")},
             {{"QT_SCALE_FACTOR", "2"}});
    ASSERT_TRUE(WaitUntil([&] { return ReadLines(log).contains("status\t Loading complete."); }))
        << run.Err.toStdString();
    QThread::msleep(700);
    EXPECT_TRUE(Screenshot(display, "scale_factor_2.png"));
    // The window fits the screen of 640 x 512 logical pixels: 1280 x 1024 device pixels.
    const TPlace place = MainWindow(display);
    EXPECT_LE(place.Rect.width(), 1280);
}
