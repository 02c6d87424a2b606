// The cache index: line format, text files, the record list and its lookup, load and save.
#include "support_CacheTest.h"

#include "cache/CTextFile.h"
#include "cache/CThTable.h"
#include "services/CCommon.h"
#include "services/CException.h"
#include "services/CThDebug.h"

#include "../fuzz/fuzz_index_line.cpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace {

const QString Path1 = QString::fromUtf8("/photos/a, b \"c\" 写真.jpg");

void Fill(TThImage& r, const QString& name, int id) {
    r.LastAccess = "2024/01/02 03:04:05";
    r.OrgFileName = name;
    r.SaveID = id;
    r.ReqWidth = 512;
    r.ReqHeight = 512;
    r.OrgWidth = 640;
    r.OrgHeight = 480;
    r.OrgCreateTime = "2004/05/06 07:08:09";
    r.OrgUpdateTime = "";
    r.OrgFileTime = "2024/01/01 00:00:00";
    r.OrgFileSize = 1234;
    r.OrgVolLabel = "";
    r.OrgVolSer = "ABCD-1234";
    r.ThFileTime = "2024/01/02 03:04:04";
    r.ThFileSize = 786486 + id;
}

QByteArray Line(const QString& name, int id) {
    TThImageBase list;
    TThImage r(&list);
    Fill(r, name, id);
    QByteArray line;
    r.ToText(line);
    return line;
}

// A table on a fresh cache folder.
class TableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearDebugFlags();
        Table.Location().BaseDir = Base();
    }
    void TearDown() override { ClearDebugFlags(); }
    QString Base() const { return FDir.path() + "/base"; }
    QString Index() const { return Base() + "/_TDB0100/_TDBCache.dat"; }

    QTemporaryDir FDir;
    TThTable Table;
};

} // namespace

TEST(IndexLine, QuotingRoundTripAndFieldChecks) {
    TThImageBase list;
    TThImage r(&list);
    Fill(r, Path1, 7);
    QByteArray line;
    r.ToText(line);
    EXPECT_EQ(line,
              QByteArray("T,\"2024/01/02 03:04:05\",\"/photos/a, b \"\"c\"\" 写真.jpg\",7,512,"
                         "512,640,480,\"2004/05/06 07:08:09\",,\"2024/01/01 00:00:00\",1234,,"
                         "ABCD-1234,\"2024/01/02 03:04:04\",786493"));
    TThImage back(&list);
    ASSERT_TRUE(back.FromText(line));
    QByteArray again;
    back.ToText(again);
    EXPECT_EQ(again, line);
    EXPECT_EQ(back.OrgFileName, Path1);

    // Blanks between fields, a blank ending a bare field, an unclosed quote.
    struct {
        QByteArray Line;
        std::vector<std::string> Fields;
    } const splits[] = {{" a , \"b \"\"x\"\"\" ,c d,", {"a", "b \"x\"", "c", "d", ""}},
                        {"x,\"open, still", {"x", "open, still"}}};
    for (const auto& c : splits) {
        std::vector<std::string> f;
        size_t n = 0;
        SplitIndexLine(c.Line.constData(), c.Line.size(), f, n);
        f.resize(n);
        EXPECT_EQ(f, c.Fields) << c.Line.constData();
    }

    // 15 fields: dropped. 16: a record. 17: the first 16 are kept.
    const QList<QByteArray> parts = Line("/p/a.jpg", 3).split(',');
    ASSERT_EQ(parts.size(), 16);
    EXPECT_EQ(list.AddFromText(parts.mid(0, 15).join(',')), nullptr);
    ASSERT_NE(list.AddFromText(parts.join(',')), nullptr);
    ASSERT_NE(list.AddFromText(parts.join(',') + ",extra"), nullptr);

    // Field (index, text): whether the line is still a record.
    struct {
        int Field;
        QByteArray Text;
        bool Kept;
    } const fields[] = {{4, "12x", false},         {4, "", false},
                        {4, "-", false},           {4, "2147483648", false},
                        {4, "-2147483649", false}, {4, "1 2", false},
                        {4, "0x10", false},        {4, "-2147483648", true},
                        {0, "Tx", false},          {3, "1000000", false},
                        {3, "-1", false},          {15, "-5", false}};
    for (const auto& c : fields) {
        QList<QByteArray> bad = parts;
        bad[c.Field] = c.Text;
        EXPECT_EQ(list.AddFromText(bad.join(',')) != nullptr, c.Kept) << c.Text.constData();
    }
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.TotalBytes, 3LL * (786486 + 3));
}

TEST(IndexLine, MutatedLinesNeverBreakTheParser) {
    // Deterministic mutations of real lines: flipped, inserted and deleted bytes, with the
    // delimiters and control characters weighted in.
    const QByteArray seeds[] = {Line(Path1, 12), Line("/p/plain.jpg", 999999),
                                QByteArray(IndexHeaderLine), "T,,,,,,,,,,,,,,,"};
    const char special[] = {',', '"', ' ', '\t', '\0', '\r', 'T', '-', '9', char(0xE5)};
    QRandomGenerator rng(20240611);
    int checked = 0;
    for (int i = 0; i < 4000; ++i) {
        QByteArray line = seeds[i % 4];
        const int edits = 1 + int(rng.bounded(6));
        for (int e = 0; e < edits; ++e) {
            const int pos = line.isEmpty() ? 0 : int(rng.bounded(line.size()));
            const char c =
                rng.bounded(2) ? special[rng.bounded(int(sizeof special))] : char(rng.bounded(256));
            switch (rng.bounded(3)) {
            case 0:
                if (!line.isEmpty())
                    line[pos] = c;
                break;
            case 1:
                line.insert(pos, c);
                break;
            default:
                line.remove(pos, 1 + int(rng.bounded(4)));
            }
        }
        ASSERT_TRUE(
            CheckIndexLine(reinterpret_cast<const uint8_t*>(line.constData()), size_t(line.size())))
            << line.toHex().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 4000);
}

TEST(TextFile, LineEndsCtrlZPositionsAndErrors) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/t.dat";
    // A line longer than the buffer, LF and CR LF ends, an empty line, Ctrl-Z.
    const QByteArray longLine(20000, 'x');
    WriteFileBytes(path, "one\r\ntwo\n\n" + longLine + "\r\nlast\x1a" + "after\r\n");
    TInputTextFile in(path);
    in.Open();
    QList<QByteArray> lines;
    QList<int64_t> positions;
    QByteArray line;
    while (!in.Eof()) {
        positions << in.Position();
        in.ReadLine(line);
        lines << line;
    }
    in.Close();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], longLine);
    EXPECT_EQ(lines[4], "last");
    EXPECT_EQ(positions, (QList<int64_t>{0, 5, 9, 10, 20012}));

    TOutputTextFile out(dir.path() + "/sub/deeper/o.dat");
    out.Open();
    out.WriteLine("a");
    out.WriteLine(longLine);
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.path() + "/sub/deeper/o.dat"), "a\r\n" + longLine + "\r\n");

    for (const QString& missing : {dir.path() + "/none.dat", dir.path() + "/sub"})
        EXPECT_THROW(TInputTextFile(missing).Open(), Exception) << missing.toStdString();
}

TEST(RecordList, IteratorsAndRemovalDuringTheWalk) {
    TThImageBase list;
    for (int i = 0; i < 6; ++i) {
        TThImage* r = new TThImage(&list);
        Fill(*r, QString("/p/%1.jpg").arg(i), i);
        list.Add(r);
    }
    EXPECT_TRUE(list.Dirty);
    QStringList order;
    TThImageIterator it(list);
    while (it.Next())
        order << it.CurrentItem()->OrgFileName;
    EXPECT_EQ(order.join(' '), "/p/0.jpg /p/1.jpg /p/2.jpg /p/3.jpg /p/4.jpg /p/5.jpg");
    EXPECT_THROW(it.CurrentItem(), Exception);

    // Remove every even ID while walking backwards; the walk still visits each record.
    int visited = 0;
    {
        TThImageReverseIterator rev(list);
        while (rev.Next()) {
            ++visited;
            if (rev.CurrentItem()->SaveID % 2 == 0)
                list.Remove(rev.CurrentItem());
        }
    }
    EXPECT_EQ(visited, 6);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.First()->SaveID, 1);
    list.MoveToEnd(list.First());
    EXPECT_EQ(list.First()->SaveID, 3);
    EXPECT_EQ(list.Last()->SaveID, 1);
    EXPECT_EQ(list.Last()->LastAccess.size(), 19);
    EXPECT_EQ(list.TotalBytes, 3LL * 786486 + 1 + 3 + 5);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.TotalBytes, 0);
    EXPECT_EQ(list.LatestID, -1);
    EXPECT_FALSE(list.Dirty);
    EXPECT_EQ(list.First(), nullptr);
}

TEST(RecordList, IndexedFindAnswersExactlyAsTheFullWalk) {
    // Few file names, several boxes, source files that exist, changed or vanished, and a
    // long random mix of adds, removals and moves: the map lookup and the most-recently-
    // used-first walk must pick the very same record every time.
    QTemporaryDir dir;
    QString label, serial;
    GetVolumeLabelAndSerial(dir.path(), label, serial);
    const int files = 12;
    QStringList names;
    for (int i = 0; i < files; ++i) {
        names << dir.path() + QString("/src%1.jpg").arg(i);
        MakeSourceFile(names[i], i);
    }
    TThImageBase list;
    QRandomGenerator rng(7);
    int steps = 0;
    for (int round = 0; round < 3000; ++round) {
        const int op = int(rng.bounded(10));
        if (op < 5 || list.Count() < 5) {
            TThImage* r = new TThImage(&list);
            const int f = int(rng.bounded(files));
            r->OrgFileName = names[f];
            r->ReqWidth = r->ReqHeight = rng.bounded(2) ? 512 : 256;
            GetFileTimeAndSize(names[f], r->OrgFileTime, r->OrgFileSize);
            if (rng.bounded(4) == 0)
                r->OrgFileSize += 1; // made from an older state of the file
            r->OrgVolLabel = label;
            r->OrgVolSer = serial;
            r->SaveID = round;
            r->ThFileSize = 10;
            list.Add(r);
        } else if (op < 7) {
            TThImageIterator it(list);
            const int skip = int(rng.bounded(list.Count()));
            for (int i = 0; i <= skip; ++i)
                it.Next();
            list.Remove(it.CurrentItem());
        } else {
            TThImageIterator it(list);
            const int skip = int(rng.bounded(list.Count()));
            for (int i = 0; i <= skip; ++i)
                it.Next();
            list.MoveToEnd(it.CurrentItem());
        }
        TThImage& key = list.SearchKey();
        key.OrgFileName =
            rng.bounded(8) == 0 ? QString("/nowhere.jpg") : names[int(rng.bounded(files))];
        key.ReqWidth = key.ReqHeight = rng.bounded(2) ? 512 : 256;
        TThEntry* walked = list.FindLinear(key);
        const int walkedSteps = list.SearchSteps;
        SetDebugFlag(DebugFindTime, true);
        TThEntry* indexed = list.Find(key);
        SetDebugFlag(DebugFindTime, false);
        ASSERT_EQ(indexed, walked) << "round " << round;
        ASSERT_EQ(list.SearchSteps, walkedSteps) << "round " << round;
        ++steps;
    }
    EXPECT_EQ(steps, 3000);
    // Without DebugFindTime no steps are counted.
    list.Find(list.SearchKey());
    EXPECT_EQ(list.SearchSteps, 0);
}

TEST(RecordList, LatestIdRuleAndLimits) {
    for (bool fiveFirst : {true, false}) {
        TThImageBase list;
        const QString t = "2024/03/03 10:00:00";
        if (fiveFirst) {
            list.TakeLatestID(5, t);
            list.TakeLatestID(999990, t);
        } else {
            list.TakeLatestID(999990, t);
            list.TakeLatestID(5, t);
        }
        EXPECT_EQ(list.LatestID, 5);
        list.TakeLatestID(3, "2024/03/03 09:59:59"); // earlier: kept
        EXPECT_EQ(list.LatestID, 5);
        list.TakeLatestID(4, t); // close by, equal time: the larger wins
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
    loc.MaxSizeKB = 0;
    EXPECT_EQ(loc.UpperLimit(), 0);
    loc.MaxSizeKB = 3000000; // above 2 GB: no wrap-around
    EXPECT_EQ(loc.UpperLimit(), 2764800000LL);
    EXPECT_THROW(TThCacheFileName().CacheDir(), Exception);
    loc.BaseDir = "/c/";
    EXPECT_EQ(loc.BitmapFile(1234), "/c/_TDB0100/A00012/A0001234.bmp");
    EXPECT_EQ(loc.IndexFile(), "/c/_TDB0100/_TDBCache.dat");
}

TEST_F(TableTest, LoadKeepsRecordsWithTheirLinesAndPositions) {
    const QByteArray first = Line("/p/one.jpg", 1);
    const QByteArray second = Line("/p/two.jpg", 2);
    // Header, deleted and comment lines are skipped but counted as lines.
    WriteFileBytes(Index(), QByteArray(IndexHeaderLine) + "\r\nD,deleted\r\n" + first +
                                "\n\n#note\r\n" + second + "\r\n");
    Table.Load();
    ASSERT_EQ(Table.List().Count(), 2);
    EXPECT_EQ(Table.List().First()->LineNo, 3);
    EXPECT_EQ(Table.List().First()->FilePos, qsizetype(strlen(IndexHeaderLine)) + 13);
    EXPECT_EQ(Table.List().Last()->LineNo, 6);
    EXPECT_EQ(Table.List().Last()->OrgFileName, "/p/two.jpg");
    EXPECT_EQ(Table.LineCount(), 6);
    EXPECT_FALSE(Table.List().Dirty);
    EXPECT_EQ(Table.List().LatestID, 2);
}

TEST_F(TableTest, RecStrCheckDropsRecordsThatDoNotWriteBack) {
    QList<QByteArray> parts = Line("/p/one.jpg", 7).split(',');
    parts[3] = "007";
    WriteFileBytes(Index(), parts.join(',') + "\r\n" + Line("/p/two.jpg", 8) + "\r\n");
    Table.Load();
    EXPECT_EQ(Table.List().Count(), 2); // flag off: "007" reads as 7
    EXPECT_EQ(Table.List().First()->SaveID, 7);

    Table.List().Clear();
    SetDebugFlag(DebugRecStr, true);
    Table.Load();
    ASSERT_EQ(Table.List().Count(), 1);
    EXPECT_EQ(Table.List().First()->OrgFileName, "/p/two.jpg");
}

TEST_F(TableTest, SaveWritesOnlyChangesAndKeepsTheOldIndexOnFailure) {
    for (int i = 0; i < 3; ++i) {
        TThImage* r = new TThImage(&Table.List());
        Fill(*r, QString("/p/%1.jpg").arg(i), i);
        Table.List().Add(r);
    }
    Table.Save();
    const QByteArray saved = ReadFileBytes(Index());
    EXPECT_EQ(saved, Line("/p/0.jpg", 0) + "\r\n" + Line("/p/1.jpg", 1) + "\r\n" +
                         Line("/p/2.jpg", 2) + "\r\n");
    EXPECT_FALSE(QFile::exists(Index() + ".tmp"));

    // Reloaded and saved unchanged: the file is not touched at all.
    TThTable other;
    other.Location().BaseDir = Base();
    other.Load();
    struct utimbuf old {};
    old.actime = old.modtime = QDateTime(QDate(2001, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    ASSERT_EQ(::utime(Index().toUtf8().constData(), &old), 0);
    struct stat before {};
    ::stat(Index().toUtf8().constData(), &before);
    other.Save();
    struct stat after {};
    ::stat(Index().toUtf8().constData(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtime, before.st_mtime);
    EXPECT_EQ(ReadFileBytes(Index()), saved);

    // With DebugTitle the header comes first; loading counts it as a comment.
    SetDebugFlag(DebugTitle, true);
    other.List().MoveToEnd(other.List().First());
    other.Save();
    SetDebugFlag(DebugTitle, false);
    EXPECT_TRUE(ReadFileBytes(Index()).startsWith(QByteArray(IndexHeaderLine) + "\r\n"));
    EXPECT_EQ(other.LineCount(), 4);

    // A save that cannot complete raises and leaves the previous index whole.
    const QByteArray good = ReadFileBytes(Index());
    QDir().mkpath(Index() + ".tmp/blocker");
    other.List().MoveToEnd(other.List().First());
    EXPECT_THROW(other.Save(), Exception);
    EXPECT_EQ(ReadFileBytes(Index()), good);
    EXPECT_TRUE(other.List().Dirty);
    QDir(Index() + ".tmp").removeRecursively();
    other.Save();
    EXPECT_FALSE(other.List().Dirty);
    EXPECT_NE(ReadFileBytes(Index()), good);
}
