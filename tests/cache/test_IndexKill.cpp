// A process killed while it saves a large index leaves an index that loads whole: every
// record as before the save, or every record as after it.
#include "cache/CThTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <set>

namespace {

constexpr int Records = 50000;

void SetWidths(TThTable& table, int width) {
    for (TThImageIterator it(table.List()); it.Next();)
        it.CurrentItem()->OrgWidth = width;
    table.List().Dirty = true;
}

} // namespace

// Run only as the child of the test below: saves the index over and over, each time with
// all widths changed, until it is killed.
TEST(IndexKill, ChildSavesOverAndOver) {
    const QByteArray dir = qgetenv("VELMORA_INDEX_KILL_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "started by IndexKill.KilledSaveLeavesAWholeIndex";
    TThTable table;
    table.Location().BaseDir = QString::fromUtf8(dir);
    table.Load();
    std::printf("ready %d\n", table.List().Count());
    std::fflush(stdout);
    for (int round = 1;; ++round) {
        SetWidths(table, 1 + round % 2);
        table.Save();
    }
}

TEST(IndexKill, KilledSaveLeavesAWholeIndex) {
    QTemporaryDir dir;
    {
        TThTable table;
        table.Location().BaseDir = dir.path();
        for (int i = 0; i < Records; ++i) {
            TThImage* r = new TThImage(&table.List());
            r->LastAccess = r->ThFileTime = "2024/06/01 12:00:00";
            r->OrgFileName = QString("/home/user/Pictures/2024 trip, day %1/IMG_%2.JPG")
                                 .arg(i / 100)
                                 .arg(i, 5, 10, QChar('0'));
            r->SaveID = i;
            r->ReqWidth = r->ReqHeight = 512;
            r->OrgHeight = 3000;
            r->OrgFileTime = "2024/06/01 11:59:58";
            r->OrgFileSize = 4000000 + i;
            r->ThFileSize = 786486;
            table.List().Add(r);
        }
        SetWidths(table, 0);
        table.Save();
    }
    const QString index = dir.path() + "/_TDB0100/_TDBCache.dat";
    const int delays[] = {0, 15, 40, 80, 120, 170, 230, 300, 380, 470};
    std::set<int> seen;
    int killedMidWrite = 0;
    // On a busy machine a save can outlast every delay; more rounds are then needed to
    // catch both states and a kill in mid-write.
    for (int round = 0; round < 40; ++round) {
        if (round >= 10 && seen.size() > 1 && killedMidWrite > 0)
            break;
        const int delay = delays[round % 10] * (1 + round / 10);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMORA_INDEX_KILL_DIR", dir.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=IndexKill.ChildSavesOverAndOver"});
        ASSERT_TRUE(child.waitForStarted());
        QByteArray out;
        while (!out.contains("ready") && child.state() == QProcess::Running)
            if (child.waitForReadyRead(20000))
                out += child.readAllStandardOutput();
        ASSERT_TRUE(out.contains("ready " + QByteArray::number(Records))) << out.toStdString();
        QThread::msleep(delay);
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(20000));
        killedMidWrite += QFile::exists(index + ".tmp");

        TThTable table;
        table.Location().BaseDir = dir.path();
        table.Load();
        ASSERT_EQ(table.List().Count(), Records) << "after a kill at " << delay << " ms";
        std::set<int> widths;
        int i = 0;
        for (TThImageIterator it(table.List()); it.Next();) {
            widths.insert(it.CurrentItem()->OrgWidth);
            ASSERT_EQ(it.CurrentItem()->SaveID, i++);
        }
        ASSERT_EQ(widths.size(), 1u) << "a mix of two saves after a kill at " << delay << " ms";
        seen.insert(*widths.begin());
    }
    EXPECT_GT(killedMidWrite, 0);
    EXPECT_GT(seen.size(), 1u);
}
