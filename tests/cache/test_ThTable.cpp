// The cache index: line format, the record list and its lookup, load and save.
#include "support_CacheTest.h"

#include "cache/CTextFile.h"
#include "cache/CThTable.h"
#include "services/CCommon.h"
#include "services/CException.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The line the program writes for /p/<id>.jpg stored under the ID id.
QByteArray Line(int id) {
    return QString("T,\"2024/01/02 03:04:05\",/p/%1.jpg,%1,512,512,640,480,\"2004/05/06 "
                   "07:08:09\",,\"2024/01/01 00:00:00\",1234,,ABCD-1234,\"2024/01/02 "
                   "03:04:04\",%2")
        .arg(id)
        .arg(786486 + id)
        .toUtf8();
}

} // namespace

TEST(IndexLine, QuotingRoundTripAndFieldChecks) {
    // Read and written back byte for byte; the name's comma and quotes are quoted.
    const QByteArray line("T,\"2024/01/02 03:04:05\",\"/photos/a, b \"\"c\"\" 写真.jpg\",7,512,"
                          "512,640,480,\"2004/05/06 07:08:09\",,\"2024/01/01 00:00:00\",1234,,"
                          "ABCD-1234,\"2024/01/02 03:04:04\",786493");
    TThImageBase list;
    TThImage back(&list);
    ASSERT_TRUE(back.FromText(line));
    EXPECT_EQ(back.OrgFileName, QString::fromUtf8("/photos/a, b \"c\" 写真.jpg"));
    EXPECT_EQ(QList<qint64>({back.SaveID, back.OrgWidth, back.OrgFileSize, back.ThFileSize}),
              QList<qint64>({7, 640, 1234, 786493}));
    QByteArray written;
    back.ToText(written);
    EXPECT_EQ(written, line);

    // 15 fields: dropped. 16: a record. 17: the first 16 are kept.
    const QList<QByteArray> parts = Line(3).split(',');
    ASSERT_EQ(parts.size(), 16);
    EXPECT_EQ(list.AddFromText(parts.mid(0, 15).join(',')), nullptr);
    ASSERT_NE(list.AddFromText(parts.join(',')), nullptr);
    ASSERT_NE(list.AddFromText(parts.join(',') + ",extra"), nullptr);
    // Field (index, text): whether the line is still a record.
    struct {
        int Field;
        QByteArray Text;
        bool Kept;
    } const fields[] = {{4, "12x", false},        {4, "", false},   {4, "2147483648", false},
                        {4, "0x10", false},       {0, "Tx", false}, {3, "1000000", false},
                        {4, "-2147483648", true}, {3, "-1", false}, {15, "-5", false}};
    for (const auto& c : fields) {
        QList<QByteArray> bad = parts;
        bad[c.Field] = c.Text;
        EXPECT_EQ(list.AddFromText(bad.join(',')) != nullptr, c.Kept) << c.Text.constData();
    }
    EXPECT_EQ(list.TotalBytes, 3LL * (786486 + 3));
}

TEST(RecordList, IndexedFindAnswersAsTheFullWalk) {
    TThImageBase list;
    // Few file names, two boxes, source files changed or vanished, and a long random mix of
    // adds, removals and moves: the map lookup picks the very record the walk picks.
    QTemporaryDir dir;
    QString label, serial;
    GetVolumeLabelAndSerial(dir.path(), label, serial);
    auto name = [&](int i) { return dir.path() + QString("/src%1.jpg").arg(i); };
    for (int i = 0; i < 12; ++i)
        WriteRaw(name(i), QByteArray(100 + i, 'a'));
    QRandomGenerator rng(7);
    for (int round = 0; round < 3000; ++round) {
        const int op = int(rng.bounded(10));
        if (op < 5 || list.Count() < 5) {
            TThImage* r = new TThImage(&list);
            r->OrgFileName = name(rng.bounded(12));
            r->ReqWidth = r->ReqHeight = rng.bounded(2) ? 512 : 256;
            GetFileTimeAndSize(r->OrgFileName, r->OrgFileTime, r->OrgFileSize);
            r->OrgFileSize += rng.bounded(4) == 0; // made from an older state of the file
            r->OrgVolLabel = label;
            r->OrgVolSer = serial;
            list.Add(r);
        } else {
            TThImageIterator it(list);
            for (int i = int(rng.bounded(list.Count())); i >= 0; --i)
                it.Next();
            op < 7 ? list.Remove(it.CurrentItem()) : list.MoveToEnd(it.CurrentItem());
        }
        TThImage& key = list.SearchKey();
        key.OrgFileName = name(rng.bounded(13)); // 12: a file that is not there
        key.ReqWidth = key.ReqHeight = rng.bounded(2) ? 512 : 256;
        ASSERT_EQ(list.Find(key), list.FindLinear(key)) << "round " << round;
    }
}

TEST(RecordList, LatestIdRuleAndLimits) {
    for (bool fiveFirst : {true, false}) {
        TThImageBase list;
        const QString t = "2024/03/03 10:00:00";
        list.TakeLatestID(fiveFirst ? 5 : 999990, t);
        list.TakeLatestID(fiveFirst ? 999990 : 5, t);
        list.TakeLatestID(3, "2024/03/03 09:59:59"); // earlier: kept
        list.TakeLatestID(4, t);                     // close by, equal time: the larger wins
        EXPECT_EQ(list.LatestID, 5);
        list.TakeLatestID(9, t);
        EXPECT_EQ(list.LatestID, 9);
        list.TakeLatestID(2, "2024/03/03 10:00:01"); // later: taken
        EXPECT_EQ(list.LatestID, 2);
    }
    TThCacheFileName loc;
    loc.MaxSizeKB = 1000;
    EXPECT_EQ(loc.UpperLimit(), 921600);
    EXPECT_EQ(loc.LowerLimit(), 819200);
    loc.MaxSizeKB = 3000000; // above 2 GB: no wrap-around
    EXPECT_EQ(loc.UpperLimit(), 2764800000LL);
    EXPECT_THROW(TThCacheFileName().CacheDir(), Exception);
}

TEST(TableTest, LoadSaveOnlyChangesAndKeepTheOldIndexOnFailure) {
    QTemporaryDir dir;
    TThTable table;
    table.Location().BaseDir = dir.path();
    const QString index = dir.path() + "/_TDB0100/_TDBCache.dat";
    // Header, deleted and comment lines (one longer than the read buffer) are skipped but
    // counted; LF and CR LF both end a line; Ctrl-Z ends the file.
    WriteFileBytes(index, QByteArray(IndexHeaderLine) + "\r\nD,deleted\r\n" + Line(1) + "\n\n#" +
                              QByteArray(20000, 'x') + "\r\n" + Line(2) + "\r\n\x1a" + Line(9) +
                              "\r\n");
    table.Load();
    ASSERT_EQ(table.List().Count(), 2);
    EXPECT_EQ(table.List().Last()->LineNo, 6);
    EXPECT_EQ(table.List().Last()->FilePos,
              qsizetype(strlen(IndexHeaderLine)) + 13 + 20005 + Line(1).size());
    EXPECT_FALSE(table.List().Dirty);
    EXPECT_EQ(table.List().LatestID, 2);
    EXPECT_THROW(TInputTextFile(dir.path()).Open(), Exception) << "a folder is no text file";

    ASSERT_NE(table.List().AddFromText(Line(3)), nullptr);
    table.Save();
    const QByteArray saved = ReadAll(index);
    EXPECT_EQ(saved, Line(1) + "\r\n" + Line(2) + "\r\n" + Line(3) + "\r\n");
    EXPECT_FALSE(QFile::exists(index + ".tmp"));

    // Reloaded and saved unchanged: the file is not touched at all.
    TThTable other;
    other.Location().BaseDir = dir.path();
    other.Load();
    ASSERT_TRUE(QFile::remove(index) && QFile::link(dir.path() + "/kept.dat", index));
    WriteRaw(dir.path() + "/kept.dat", saved);
    other.Save();
    EXPECT_TRUE(QFileInfo(index).isSymLink()) << "an unchanged index was written again";

    // A save that cannot complete raises and leaves the previous index whole.
    QDir().mkpath(index + ".tmp/blocker");
    other.List().MoveToEnd(other.List().First());
    EXPECT_THROW(other.Save(), Exception);
    EXPECT_EQ(ReadAll(index), saved);
    EXPECT_TRUE(other.List().Dirty);
    QDir(index + ".tmp").removeRecursively();
    other.Save();
    EXPECT_TRUE(ReadAll(index).startsWith(Line(2)));
}
