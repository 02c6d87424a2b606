// The diagnostics log, the trace flags and files, and the version information.
#include "services/CException.h"
#include "services/CLogCtrls.h"
#include "services/CThDebug.h"
#include "services/CThDebugLog.h"
#include "services/CVersion.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {

QStringList Lines(const QString& path) {
    QString text = QString::fromUtf8(ReadAll(path));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Collects what the log would show to the user.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearDebugFlags();
        SetLogErrorReporter([this](const QString& text) { Reports << text; });
    }
    void TearDown() override {
        SetLogErrorReporter({});
        ClearDebugFlags();
    }
    QString Dir() const { return FDir.path() + "/"; }

    QStringList Reports;
    QTemporaryDir FDir;
};

QDateTime At(int h, int m, int s, int ms) {
    return QDateTime(QDate(2024, 12, 5), QTime(h, m, s, ms));
}

} // namespace

TEST_F(LogTest, FlagsComeOnlyFromDebugIni) {
    // No Debug.ini: every flag stays off and nothing is created.
    LoadDebugSettings(Dir());
    for (int f = 0; f < 16; ++f)
        EXPECT_FALSE(IsDebugFlag(f)) << f;
    ThDebugLog.Open(Dir() + "Log/A");
    ThDebugLog.Write("x");
    EXPECT_FALSE(QDir(Dir() + "Log").exists());
    EXPECT_TRUE(Reports.isEmpty());

    // A folder named Debug.ini doesn't count.
    QDir(Dir()).mkdir("Debug.ini");
    WriteRaw(Dir() + "Debug.ini/x", "[Debug]\nDebugLog=1\n");
    LoadDebugSettings(Dir());
    EXPECT_FALSE(IsDebugFlag(DebugLog));
    QDir(Dir() + "Debug.ini").removeRecursively();

    // 0 and missing keys leave flags off; 1 switches them on.
    WriteRaw(Dir() + "Debug.ini", "[Debug]\r\nDebugLog=0\r\nDebugTitle=1\r\nDebugFindTime=1\r\n");
    LoadDebugSettings(Dir());
    EXPECT_FALSE(IsDebugFlag(DebugLog));
    EXPECT_TRUE(IsDebugFlag(DebugTitle));
    EXPECT_TRUE(IsDebugFlag(DebugFindTime));
    EXPECT_FALSE(IsDebugFlag(DebugInfo));
    EXPECT_FALSE(QFile::exists(Dir() + "Debug.txt"));
}

TEST_F(LogTest, DebugInfoWritesTemplateAndTraceFileIsClosedWithItsLine) {
    WriteRaw(Dir() + "Debug.ini", "[Debug]\nDebugInfo=1\nDebugRecStr=1\nDebugTrace=1\n");
    WriteRaw(Dir() + "Debug.txt", "old contents that must go away\r\n");
    QFile(Dir() + "Debug.txt").setPermissions(QFileDevice::ReadOwner);
    LoadDebugSettings(Dir());
    // The template lists every flag with its value; the old read-only file is replaced.
    const QByteArray tmpl = ReadAll(Dir() + "Debug.txt");
    EXPECT_TRUE(tmpl.startsWith("[Debug]\r\nDebugInfo=1\r\nDebugLog=0\r\n")) << tmpl.constData();
    EXPECT_TRUE(tmpl.contains("\r\nDebugRecStr=1\r\n"));
    ASSERT_TRUE(TraceFile().Opened());
    TraceFile().WriteLine("a line");
    TraceFile().Close();
    EXPECT_EQ(ReadAll(Dir() + "DebugTrace.dbg"),
              QByteArray("a line\r\n***** End of Trace *****\r\n"));
    TraceFile().WriteLine("after close");
    EXPECT_EQ(Lines(Dir() + "DebugTrace.dbg").size(), 2);
}

TEST_F(LogTest, LogFileNameFirstLinesAndLineForms) {
    WriteRaw(Dir() + "Debug.ini", "[Debug]\nDebugLog=1\n");
    LoadDebugSettings(Dir());
    ASSERT_TRUE(IsDebugFlag(DebugLog));

    TLogFile log;
    log.SetClock([] { return At(17, 55, 0, 0); });
    log.Open(Dir() + "Log/A");
    ASSERT_TRUE(log.Opened()) << Reports.join("|").toStdString();
    EXPECT_EQ(log.LogPath(), Dir() + "Log/A1205175500.log");
    EXPECT_EQ(log.LogDir(), Dir() + "Log");
    EXPECT_EQ(log.LogPrefix(), "A");

    log.SetClock([] { return At(9, 5, 3, 7); });
    log.Write(0, "メッセージ");
    log.Write(4, "error");
    log.Write(1, "continued");
    log.Close();
    const QStringList lines = Lines(log.LogPath());
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "2024/12/05 17:55:00 ログ開始  " VELMORA_VERSION);
    // The module list of the program folder follows as a timed line.
    EXPECT_TRUE(lines[1].startsWith("17:55:00.000   ")) << lines[1].toStdString();
    const int n = lines.size();
    EXPECT_EQ(lines[n - 4], "09:05:03.007   メッセージ");
    EXPECT_EQ(lines[n - 3], "09:05:03.007 E error");
    EXPECT_EQ(lines[n - 2], "\t   continued");
    EXPECT_EQ(lines[n - 1], "2024/12/05 09:05:03 ログ終了");
    EXPECT_TRUE(Reports.isEmpty());

    // A second start within the same second replaces the file.
    TLogFile again;
    again.SetClock([] { return At(17, 55, 0, 0); });
    again.Open(Dir() + "Log/A");
    EXPECT_EQ(again.LogPath(), log.LogPath());
    // Only the start line and the module list (one line per module) are left.
    const QStringList fresh = Lines(again.LogPath());
    EXPECT_EQ(fresh, lines.mid(0, n - 4));
}

TEST_F(LogTest, ThDebugLogWritesOnlyWithTheFlag) {
    SetDebugFlag(DebugLog, true);
    ThDebugLog.Open(Dir() + "Log/A");
    ThDebugLog.Write("hello");
    const QStringList files = QDir(Dir() + "Log").entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QStringList lines = Lines(Dir() + "Log/" + files[0]);
    EXPECT_TRUE(lines.last().endsWith("   hello"));
    SetDebugFlag(DebugLog, false);
    ThDebugLog.Write("not written");
    EXPECT_EQ(Lines(Dir() + "Log/" + files[0]).size(), lines.size());
    LogFile().Close();
}

TEST_F(LogTest, FailuresBecomeReportsAndNeverStopTheProgram) {
    TLogFile log;
    log.Open("");
    EXPECT_FALSE(log.Opened());
    ASSERT_EQ(Reports.size(), 1);
    EXPECT_EQ(Reports[0], "空白のログパスが指定されました。");

    // Writes while closed: the first four are reported, later ones dropped.
    Reports.clear();
    for (int i = 0; i < 6; ++i)
        log.Write(0, QString("m%1").arg(i));
    EXPECT_EQ(log.FailCount(), 6);
    ASSERT_EQ(Reports.size(), 4);
    EXPECT_TRUE(Reports[0].endsWith("\r\n\r\n  m0"));

    // A log folder that cannot be made (a file stands in its way).
    Reports.clear();
    WriteRaw(Dir() + "Log", "not a folder");
    TLogFile bad;
    bad.Open(Dir() + "Log/A");
    EXPECT_FALSE(bad.Opened());
    ASSERT_EQ(Reports.size(), 1);
    EXPECT_TRUE(Reports[0].contains(Dir() + "Log")) << Reports[0].toStdString();

    // The file vanishes under a running log: one report, then logging stops.
    Reports.clear();
    TLogFile gone;
    gone.Open(Dir() + "L2/A");
    ASSERT_TRUE(gone.Opened());
    ASSERT_TRUE(QFile::remove(gone.LogPath()));
    gone.Write(0, "lost");
    EXPECT_FALSE(gone.Opened());
    ASSERT_EQ(Reports.size(), 1);
    EXPECT_TRUE(Reports[0].contains(gone.LogPath()));
}

TEST_F(LogTest, WritesFromTwoThreadsNeverInterleave) {
    TLogFile log;
    log.Open(Dir() + "Log/A");
    ASSERT_TRUE(log.Opened());
    const QString payload(300, u'x');
    auto writer = [&](int id) {
        for (int i = 0; i < 500; ++i)
            log.Write(0, QString("%1 %2 ").arg(id).arg(i, 4, 10, QChar('0')) + payload);
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    const QStringList lines = Lines(log.LogPath());
    int counted = 0;
    const QRegularExpression form("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}   [12] \\d{4} x{300}$");
    for (const QString& line : lines)
        if (form.match(line).hasMatch())
            ++counted;
    EXPECT_EQ(counted, 1000);
}

TEST(ModuleVersions, ExecutablesThenLibrariesWithTheirDates) {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    for (const char* name : {"zprog", "aprog", "libb.so.1", "liba.so", "notes.txt"}) {
        QFile f(d + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QFile::setPermissions(d + "zprog", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(d + "aprog", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QStringList lines = ModuleVersions(d).split("\r\n\t   ");
    ASSERT_EQ(lines.size(), 4);
    const QRegularExpression date(" \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$");
    EXPECT_TRUE(lines[0].startsWith("aprog            2")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("zprog            2"));
    EXPECT_TRUE(lines[2].startsWith("liba.so          2"));
    EXPECT_TRUE(lines[3].startsWith("libb.so.1        2"));
    for (const QString& l : lines)
        EXPECT_TRUE(date.match(l).hasMatch()) << l.toStdString();
    EXPECT_EQ(ModuleVersions(d + "missing"), QString());
}

TEST(VersionInfo, FileVersionIsTheBuildVersion) {
    TVersionInfo info(ProgramFileName());
    EXPECT_EQ(info.GetValue("FileVersion"), VELMORA_VERSION);
    EXPECT_EQ(info.GetValue("NoSuchName"), QString());
    EXPECT_THROW(TVersionInfo("/no/such/file"), Exception);
}
