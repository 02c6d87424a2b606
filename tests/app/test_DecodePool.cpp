// The loader with its decode-ahead pool: the loader's order whatever order the workers finish
// in, re-aiming, cancel and folder changes, failures counted once, the database on one thread.
// Every picture is one colour made from its path, so a picture in the wrong cell shows.
#include "app/c_DecodePool.h"
#include "app/c_ThumbListView.h"
#include "support_Loader.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>
#include <set>

namespace {

// What stands for the database: each picture takes DelayUs to make, on a worker or on the
// loading thread. It notes every thread that touches it and where each picture went.
struct TPoolSource : TThumbnailSource {
    QString Kinds; // by the picture's number: b broken, m missing, s stored, else made
    std::function<int(int)> DelayUs; // by the picture's number
    struct TLog {
        QStringList Handed, FromWorkers, Made; // hand-outs in order, those of workers; makes
        std::set<std::thread::id> Threads;     // that touched the database
    };
    static int NumberOf(const QString& p) { return p.right(8).left(4).toInt(); } // imgNNNN.jpg
    bool Is(const QString& path, char kind) const { return Kinds.mid(NumberOf(path), 1) == kind; }
    static QRgb ColourOf(const QString& p) { return QRgb(qHash(p, 7) | 0xFF000000) & ~0x0F0F0Fu; }
    static QImage PictureOf(const QString& path) {
        QImage image(300, 300, QImage::Format_RGB32);
        image.fill(ColourOf(path));
        return image;
    }
    TLog Log(bool forget = false) { // forget: start the lists afresh
        std::lock_guard lock(FLock);
        return std::exchange(FLog, forget ? TLog{{}, {}, {}, FLog.Threads} : FLog);
    }
    void SetBox(int, int) override { Note(); }
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override {
        // Sizes in another order than the names, for the re-sort.
        facts = {1000 + (NumberOf(path) * 7919) % 1000, "2004/03/05 19:08:10", {}, 400, 300};
        return Note() && !Is(path, 'm');
    }
    bool GetThumbnail(const QString& path, QImage& bitmap) override {
        TMadeThumbnail made;
        if (Note() && (FLastMade = !Is(path, 's')))
            MakeInto(path, made);
        bitmap = FLastMade ? made.Thumbnail : PictureOf(path);
        return !bitmap.isNull() && Note(&TLog::Handed, path);
    }
    bool RefreshThumbnail(const QString& p, QImage& b) override { return GetThumbnail(p, b); }
    bool LastWasMade() const override { return FLastMade; }
    bool HasStored(const QString& path) override { return Note() && Is(path, 's'); }
    std::unique_ptr<TThumbnailMaker> NewMaker() override { return std::make_unique<TMaker>(this); }
    bool PutThumbnail(const QString& path, TMadeThumbnail& made, QImage& bitmap) override {
        bitmap = made.Thumbnail;
        return Note(&TLog::FromWorkers, path) && !bitmap.isNull() && Note(&TLog::Handed, path);
    }

private:
    struct TMaker : TThumbnailMaker { // a worker's, making as the source itself does
        TPoolSource* S;
        explicit TMaker(TPoolSource* s) : S(s) {}
        void Make(const QString& p, TMadeThumbnail& m) override { S->MakeInto(p, m); }
    };
    std::mutex FLock;
    TLog FLog;
    bool FLastMade = true;
    bool Note(QStringList TLog::*list = nullptr, const QString& path = {}, bool db = true) {
        std::lock_guard lock(FLock);
        if (db)
            FLog.Threads.insert(std::this_thread::get_id());
        if (list)
            (FLog.*list) << path;
        return true;
    }
    // Reads only what the test set before the load, so any thread may call it.
    void MakeInto(const QString& path, TMadeThumbnail& made) {
        Note(&TLog::Made, path, false);
        QThread::usleep(DelayUs(NumberOf(path)));
        if (Is(path, 'b'))
            throw std::runtime_error("broken picture");
        if ((made.Made = !Is(path, 'm')))
            made.Thumbnail = PictureOf(path);
    }
};

struct TPoolRig : TLoaderRig {
    TPoolSource* Source = new TPoolSource;

    explicit TPoolRig(int workers) {
        Start(std::unique_ptr<TThumbnailSource>(Source));
        Thread->SetDecodeWorkers(workers);
    }
    bool Done() const { return Thread->Idle() && Reports.value(Reports.size() - 1) == 100; }
    // The grid's paths, each marked when its cell shows not its own picture or failure.
    QStringList Cells() const {
        QStringList cells;
        for (int i = 0; i < Grid.Count(); ++i) {
            const TThumbnailData& item = *Grid.Item(i);
            const QString path = item.Info.value(2);
            const QString want = Source->Is(path, 'b')   ? "broken picture"
                                 : Source->Is(path, 'm') ? "The file is no longer there."
                                                         : "";
            const bool shown =
                !item.Bitmap.isNull() && item.Bitmap.pixel(2, 2) == Source->ColourOf(path);
            cells << path + (item.Error == want && shown == want.isEmpty() ? "" : " (wrong)");
        }
        return cells;
    }
};

} // namespace

TEST(LoaderPool, PicturesComeInTheLoadersOrderOrReAimedEachInItsOwnCellAndMadeOrFailedOnce) {
    const auto laterQuicker = [](int n) { return 4000 - 90 * n; };
    const auto mixed = [](int n) { return 300 + (n % 4) * 700; };
    // Before the load of the case's pictures, mid-load: a re-sort or a scroll (five percent
    // later), or another folder's load cancelled or changed; or 300 quick folder changes.
    enum TDo { Nothing, Resort = 1, Scroll = 2, Cancel = 4, Change = 8, Stress = 16 };
    struct TCase {
        const char* Name;
        int Workers, Count;
        std::function<int(int)> Delay;
        QString Kinds; // per picture: b broken, m missing, s stored (a worker needs none)
        int Do = Nothing, At = 0;
    };
    const TCase cases[] = {
        {"one worker, later ones quicker", 1, 40, laterQuicker, ""},
        {"eight workers, every third slow", 8, 40, [](int n) { return n % 3 ? 200 : 6000; }, ""},
        {"failures", 2, 40, mixed, "     bb     m       b"},
        {"every fourth stored", 2, 40, mixed, QString("s   ").repeated(10)},
        {"all stored, so the pool never starts", 2, 40, mixed, QString(40, 's')},
        {"re-sort", 3, 240, mixed, "", Resort, 55},
        {"scroll", 3, 240, mixed, "", Scroll, 55},
        {"re-sort then scroll", 3, 240, mixed, "", Resort | Scroll, 55},
        {"cancel in the thumbnail pass", 2, 30, mixed, "", Cancel, 60},
        {"folder change in the thumbnail pass", 2, 30, mixed, "", Change, 60},
        {"folder change in the information pass", 2, 30, mixed, "", Change, 20},
        {"folder change as the last load reports its end", 2, 30, mixed, "", Change, 100},
        {"300 quick folder changes", 3, 30, mixed, "", Stress},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoolRig rig(c.Workers);
        const QStringList list = NumberedPaths("/pics", c.Count);
        rig.Source->Kinds = c.Kinds;
        rig.Source->DelayUs = c.Delay;
        qsizetype handedAtScroll = -1;
        bool changed = false;
        rig.OnReport = [&](int p) {
            if (c.Do & Resort && p == c.At && rig.Thread->SortMode() == 0)
                rig.Thread->SetSortMode(1);
            if (c.Do & Scroll && p == c.At + 5 && handedAtScroll < 0) {
                rig.Grid.SetScrollPosition(rig.Grid.ScrollRange() / 2);
                handedAtScroll = rig.Source->Log().Handed.size();
            }
            if (c.Do & Change && p >= c.At && !std::exchange(changed, true))
                rig.Source->Log(true), rig.Reports = {}, rig.Thread->SetFileList(list);
        };
        if (c.Do >= Cancel)
            rig.Thread->SetFileList(NumberedPaths("/first", 60));
        for (int round = 0; c.Do == Stress && round < 300; ++round) {
            rig.Thread->SetFileList(NumberedPaths(QString("/f%1").arg(round), 3 + round % 25));
            if (round % 7 == 0)
                rig.Thread->CancelAndWait();
            QCoreApplication::processEvents(QEventLoop::AllEvents, round % 4);
        }
        // The last of the quick changes ends whole by itself: no wake-up was lost.
        ASSERT_TRUE(c.Do != Stress || WaitFor([&] { return rig.Done(); }, 60000));
        if (c.Do == Cancel) {
            ASSERT_TRUE(WaitFor([&] { return rig.Reports.value(rig.Reports.size() - 1) >= 60; }));
            rig.Thread->Reload(); // a request taken up after the cancel is cancelled too
            rig.Thread->CancelAndWait();
            EXPECT_TRUE(rig.Thread->Idle());
            EXPECT_EQ(rig.Reports.last(), -1);
        }
        if (c.Do != Change)
            rig.Source->Log(true), rig.Reports.clear(), rig.Thread->SetFileList(list);
        ASSERT_TRUE(WaitFor([&] { return (changed || c.Do != Change) && rig.Done(); }, 60000));
        EXPECT_EQ(rig.Reports.size(), 2 * c.Count);
        EXPECT_TRUE(std::is_sorted(rig.Reports.begin(), rig.Reports.end()));
        QStringList cells = rig.Cells();
        EXPECT_EQ(cells == list, !(c.Do & Resort)) << "sorted by size only after the re-sort";
        cells.sort();
        EXPECT_EQ(cells, list); // every cell with its own picture
        // Every good picture handed out once: nothing made for an old order lands twice.
        const TPoolSource::TLog log = rig.Source->Log();
        const QStringList handed = log.Handed.filter("/pics/");
        EXPECT_EQ(handed.size(), c.Count - c.Kinds.count('b') - c.Kinds.count('m'));
        EXPECT_GE(log.FromWorkers.size(), c.Kinds.contains('s') ? 0 : 10) << "workers made little";
        // After a folder change the loader's step in progress may still make an old picture,
        // and each worker one it started before the loader saw it; none of these is handed out.
        EXPECT_LE(log.Made.filter("/first/").size(), 3);
        EXPECT_EQ(log.FromWorkers.filter("/first/"), QStringList());
        if (c.Do & Scroll) { // the loader finishes the picture it is at, then the new screen
            ASSERT_GE(handedAtScroll, 0);
            const QString top = rig.Grid.Item(rig.Grid.FirstVisible())->Info.value(2);
            EXPECT_NEAR(handed.indexOf(top), handedAtScroll, 1);
        } else if (!(c.Do & Resort)) {
            // The first cell is on the first screen, so the order is the names' from the top.
            EXPECT_EQ(std::adjacent_find(handed.begin(), handed.end(), std::greater_equal()),
                      handed.end());
            // Made once, wherever: a worker's failure is not made again on the loading thread.
            for (const QString& p : list)
                EXPECT_EQ(log.Made.count(p), rig.Source->Is(p, 's') ? 0 : 1) << qPrintable(p);
        }
        // The loading thread alone, never the window's, touched the database.
        EXPECT_TRUE(log.Threads.size() == 1 && !log.Threads.count(std::this_thread::get_id()));
    }
}
