// The diagnostics log: switched on only by Debug.ini, its line forms, failures reported
// and never fatal, writers on two threads.
#include "services/CLogCtrls.h"
#include "services/CThDebug.h"
#include "services/CThDebugLog.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {

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

} // namespace

TEST_F(LogTest, OnlyDebugIniSwitchesTheLogOnAndTwoThreadsWriteWholeLines) {
    // A folder named Debug.ini doesn't count: the log stays off and creates nothing.
    QDir(Dir()).mkdir("Debug.ini");
    LoadDebugSettings(Dir());
    ThDebugLog.Open(Dir() + "Log/A");
    ThDebugLog.Write("x");
    EXPECT_FALSE(QDir(Dir() + "Log").exists());
    QDir(Dir()).rmdir("Debug.ini");
    WriteRaw(Dir() + "Debug.ini", "[Debug]\r\nDebugLog=0\r\nDebugTitle=1\r\n");
    LoadDebugSettings(Dir());
    EXPECT_EQ(IsDebugFlag(DebugLog) + 2 * IsDebugFlag(DebugTitle), 2);

    TLogFile log;
    log.SetClock([] { return QDateTime(QDate(2024, 12, 5), QTime(9, 5, 3, 7)); });
    log.Open(Dir() + "Log/A");
    EXPECT_EQ(log.LogPath(), Dir() + "Log/A1205090503.log");
    auto writer = [&](int id) {
        for (int i = 0; i < 500; ++i)
            log.Write(0, QString("%1 %2 ").arg(id).arg(i, 4, 10, QChar('0')) + QString(300, 'x'));
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    log.Write(4, "error");
    log.Write(1, "continued");
    log.Close();
    const QStringList lines =
        QString::fromUtf8(ReadAll(log.LogPath())).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(lines.filter(QRegularExpression("^09:05:03\\.007   [12] \\d{4} x{300}$")).size(),
              1000);
    EXPECT_EQ(lines.mid(lines.size() - 3, 2),
              (QStringList{"09:05:03.007 E error", "\t   continued"}));
    EXPECT_TRUE(Reports.isEmpty());
}

TEST_F(LogTest, FailuresBecomeReportsAndNeverStopTheProgram) {
    TLogFile log;
    log.Open("");
    EXPECT_EQ(Reports, QStringList{"空白のログパスが指定されました。"});
    // Writes while closed: the first four are reported, later ones dropped.
    for (int i = 0; i < 6; ++i)
        log.Write(0, QString("m%1").arg(i));
    EXPECT_EQ(log.FailCount(), 6);
    ASSERT_EQ(Reports.size(), 5);
    EXPECT_TRUE(Reports[1].endsWith("\r\n\r\n  m0"));

    // A log folder that cannot be made (a file stands in its way), and a file that vanishes
    // under a running log: one report naming it, and the log closes.
    WriteRaw(Dir() + "Log", "not a folder");
    TLogFile bad, gone;
    bad.Open(Dir() + "Log/A");
    gone.Open(Dir() + "L2/A");
    ASSERT_TRUE(QFile::remove(gone.LogPath()));
    gone.Write(0, "lost");
    EXPECT_FALSE(bad.Opened() || gone.Opened());
    ASSERT_EQ(Reports.size(), 7);
    EXPECT_TRUE(Reports[5].contains(Dir() + "Log")) << Reports[5].toStdString();
    EXPECT_TRUE(Reports[6].contains(gone.LogPath())) << Reports[6].toStdString();
}
