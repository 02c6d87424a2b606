// The loader with its decode-ahead pool: results in the loader's order whatever order the
// workers finish in, re-aiming on a re-sort or a scroll, cancel and folder changes, failures
// counted once, and the database used by the loading thread alone. Every picture is one
// colour made from its path, so a picture in the wrong cell shows. Run under ThreadSanitizer
// by `make tsan`.
#include "app/c_DecodePool.h"
#include "app/c_ThumbListView.h"
#include "cache/CThGraphic.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <set>

namespace {

QRgb ColourOf(const QString& path) {
    const size_t h = qHash(path, 7);
    return qRgb(int(h & 0xF0), int((h >> 8) & 0xF0), int((h >> 16) & 0xF0));
}
QImage PictureOf(const QString& path, int side = 300) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(ColourOf(path));
    return image;
}
int NumberOf(const QString& path) {
    return QFileInfo(path).completeBaseName().mid(3).toInt();
}
using TMakeFn = std::function<void(const QString&, TMadeThumbnail&)>;
struct TFnMaker : TThumbnailMaker {
    TMakeFn Fn;
    explicit TFnMaker(TMakeFn fn) : Fn(std::move(fn)) {}
    void Make(const QString& path, TMadeThumbnail& made) override { Fn(path, made); }
};

// What stands for the database: each picture takes DelayUs to make, on a worker or on the
// loading thread. It notes every thread that touches it and where each picture went.
class TPoolSource : public TThumbnailSource {
public:
    QSet<QString> Broken, Missing, Stored; // making raises; no facts, nothing made; no making
    std::function<int(const QString&)> DelayUs = [](const QString&) { return 0; };
    struct TLog {
        QStringList Handed, FromWorkers, Made, MadeApart; // hand-outs in order; makes
        std::set<std::thread::id> Threads;
    };
    TLog Log() const {
        std::lock_guard lock(FLock);
        return FLog;
    }
    void Forget() {
        std::lock_guard lock(FLock);
        FLog = {{}, {}, {}, {}, FLog.Threads};
    }

    void SetBox(int, int) override { Note(); }
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override {
        Note();
        if (Missing.contains(path))
            return false;
        // Sizes in another order than the names, for the re-sort.
        facts = {1000 + (NumberOf(path) * 7919) % 1000, "2004/03/05 19:08:10", {}, 400, 300};
        return true;
    }
    bool GetThumbnail(const QString& path, QImage& bitmap) override {
        TMadeThumbnail made;
        Note();
        if ((FLastMade = !Stored.contains(path)))
            MakeInto(path, made);
        bitmap = FLastMade ? made.Thumbnail : PictureOf(path);
        return !bitmap.isNull() && Note(&TLog::Handed, path);
    }
    bool RefreshThumbnail(const QString& p, QImage& b) override { return GetThumbnail(p, b); }
    void SaveChanges() override { Note(); }
    bool LastWasMade() const override { return FLastMade; }
    bool HasStored(const QString& path) override { return Note() && Stored.contains(path); }
    std::unique_ptr<TThumbnailMaker> NewMaker() override {
        Note();
        return std::make_unique<TFnMaker>([this](const QString& path, TMadeThumbnail& made) {
            Note(&TLog::MadeApart, path, false);
            MakeInto(path, made);
        });
    }
    bool PutThumbnail(const QString& path, TMadeThumbnail& made, QImage& bitmap) override {
        Note(&TLog::FromWorkers, path);
        bitmap = made.Thumbnail;
        return made.Made && !bitmap.isNull() && Note(&TLog::Handed, path);
    }

private:
    mutable std::mutex FLock;
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
        QThread::usleep(DelayUs(path));
        if (Broken.contains(path))
            throw std::runtime_error("broken picture");
        if ((made.Made = !Missing.contains(path)))
            made.Thumbnail = PictureOf(path);
    }
};

struct TPoolRig {
    TThumbListView Grid;
    QAction Reload{"Reload this image"};
    TPoolSource* Source = new TPoolSource;
    TImageListThread Thread{&Grid, &Reload, std::unique_ptr<TThumbnailSource>(Source)};
    QList<int> Reports;
    std::function<void(int)> OnReport = [](int) {};

    explicit TPoolRig(int workers, int height = 400) {
        Grid.resize(600 + TThumbListView::ScrollBarWidth, height);
        Grid.show();
        Thread.SetDecodeWorkers(workers);
        Thread.OnProgress = [this](int p) { Reports << p, OnReport(p); };
        Thread.SetThumbSize(128, 128);
    }
    bool Settled() const {
        return Thread.Sleeping() && !Thread.RequestPending() && !Reports.isEmpty() &&
               (Reports.last() >= 100 || Reports.last() < 0);
    }
    bool Load(const QStringList& list) {
        Reports.clear();
        Thread.SetFileList(list);
        return WaitFor([&] { return Settled(); }, 60000);
    }
    // Cells not showing their own picture, or a failed one's error.
    QStringList WrongCells() const {
        QStringList wrong;
        for (int i = 0; i < Grid.Count(); ++i) {
            const TThumbnailData* item = Grid.Item(i);
            const QString path = item->Info.value(2);
            const QString error = Source->Broken.contains(path)    ? "broken picture"
                                  : Source->Missing.contains(path) ? "The file is no longer there."
                                                                   : "";
            if (item->Error != error ||
                (error.isEmpty()
                     ? item->Bitmap.isNull() || item->Bitmap.pixel(2, 2) != ColourOf(path)
                     : !item->Bitmap.isNull()))
                wrong << QString("%1 %2").arg(i).arg(path);
        }
        return wrong;
    }
    QStringList Paths() const {
        QStringList paths;
        for (int i = 0; i < Grid.Count(); ++i)
            paths << Grid.Item(i)->Info.value(2);
        return paths;
    }
    // The loading thread alone, never the window's, touched the database.
    bool OneDatabaseThread() const {
        const auto threads = Source->Log().Threads;
        return threads.size() == 1 && !threads.count(std::this_thread::get_id());
    }
};

} // namespace

TEST(LoaderPool, PicturesComeInTheLoadersOrderOrReAimedEachInItsOwnCellAndMadeOrFailedOnce) {
    const auto laterQuicker = [](const QString& p) { return 4000 - 90 * NumberOf(p); };
    const auto mixed = [](const QString& p) { return 300 + (NumberOf(p) % 4) * 700; };
    const auto none = [](const QString&) { return 0; };
    struct TCase {
        const char* Name;
        int Workers, Count;
        std::function<int(const QString&)> Delay;
        QString Kinds; // per picture: b broken, m missing, s stored
        int ResortAt, ScrollAt, MinFromWorkers;
    };
    const TCase cases[] = {
        // Later pictures are quicker, so workers finish against the order.
        {"one worker, later ones quicker", 1, 40, laterQuicker, "", -1, -1, 10},
        {"three workers, later ones quicker", 3, 40, laterQuicker, "", -1, -1, 10},
        {"eight workers, every third slow", 8, 40,
         [](const QString& p) { return NumberOf(p) % 3 ? 200 : 6000; }, "", -1, -1, 10},
        {"failures", 2, 40, [](const QString&) { return 1000; }, "     bb     m       b", -1, -1,
         10},
        // Stored pictures are the loading thread's; a warm load never starts the pool.
        {"every fourth stored", 2, 40, none, QString("s   ").repeated(10), -1, -1, 0},
        {"all stored", 2, 40, none, QString(40, 's'), -1, -1, 0},
        {"re-sort", 3, 240, mixed, "", 55, -1, 10},
        {"scroll", 3, 240, mixed, "", -1, 60, 10},
        {"re-sort then scroll", 3, 240, mixed, "", 55, 60, 10},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoolRig rig(c.Workers);
        const QStringList list = NumberedPaths("/pics", c.Count);
        for (int i = 0; i < c.Kinds.size(); ++i)
            if (c.Kinds[i] != ' ')
                (c.Kinds[i] == 'b'   ? rig.Source->Broken
                 : c.Kinds[i] == 'm' ? rig.Source->Missing
                                     : rig.Source->Stored)
                    .insert(list[i]);
        rig.Source->DelayUs = c.Delay;
        qsizetype handedAtScroll = -1;
        QString topAtScroll;
        rig.OnReport = [&](int p) {
            if (p == c.ResortAt && rig.Thread.SortMode() == 0)
                rig.Thread.SetSortMode(1);
            if (p == c.ScrollAt && handedAtScroll < 0) {
                rig.Grid.SetScrollPosition(rig.Grid.ScrollRange() / 2);
                handedAtScroll = rig.Source->Log().Handed.size();
                topAtScroll = rig.Grid.Item(rig.Grid.FirstVisible())->Info.value(2);
            }
        };
        ASSERT_TRUE(rig.Load(list));
        EXPECT_EQ(rig.Reports.size(), 2 * c.Count);
        EXPECT_EQ(rig.Reports.last(), 100);
        EXPECT_TRUE(std::is_sorted(rig.Reports.begin(), rig.Reports.end()));
        EXPECT_EQ(rig.WrongCells(), QStringList());
        EXPECT_EQ(rig.Paths() != list, c.ResortAt >= 0);
        // Every good picture handed out once: nothing made for an old order lands twice.
        const TPoolSource::TLog log = rig.Source->Log();
        const int failed = int(c.Kinds.count('b') + c.Kinds.count('m'));
        EXPECT_EQ(QSet<QString>(log.Handed.begin(), log.Handed.end()).size(), c.Count - failed);
        EXPECT_EQ(log.Handed.size(), c.Count - failed);
        EXPECT_GE(log.FromWorkers.size(), c.MinFromWorkers) << "the workers made too little";
        if (c.ScrollAt >= 0) { // the loader finishes the picture it is at, then the new screen
            ASSERT_GE(handedAtScroll, 0);
            EXPECT_NEAR(log.Handed.indexOf(topAtScroll), handedAtScroll, 1);
        } else if (c.ResortAt < 0) {
            // The first cell is on the first screen, so the order is the grid's from the top.
            QStringList order = rig.Paths();
            order.removeIf([&](const QString& p) { return !log.Handed.contains(p); });
            EXPECT_EQ(log.Handed, order);
            // Made once, wherever: a worker's failure is not made again on the loading thread.
            for (const QString& p : list)
                EXPECT_EQ(log.Made.count(p), rig.Source->Stored.contains(p) ? 0 : 1)
                    << qPrintable(p);
        }
        EXPECT_TRUE(rig.OneDatabaseThread());
        EXPECT_TRUE(rig.Reload.isEnabled());
    }
}

TEST(LoaderPool, CancelAndFolderChangesStopThePoolWithoutALostWakeUpOrAStrayPicture) {
    enum TDo { Cancel, Change, Stress };
    for (auto [name, action, atPercent] : {std::tuple{"cancel in the thumbnail pass", Cancel, 60},
                                           {"folder change in the thumbnail pass", Change, 60},
                                           {"folder change in the information pass", Change, 20},
                                           {"300 quick folder changes and cancels", Stress, 0}}) {
        SCOPED_TRACE(name);
        TPoolRig rig(action == Stress ? 3 : 2, action == Stress ? 200 : 400);
        rig.Source->DelayUs = [](const QString& p) { return 50 + (NumberOf(p) % 5) * 100; };
        QStringList last = NumberedPaths("/last", 30);
        bool changed = false;
        rig.OnReport = [&](int p) {
            if (p >= atPercent && action == Change && !std::exchange(changed, true))
                rig.Source->Forget(), rig.Thread.SetFileList(last);
        };
        if (action == Stress) {
            QRandomGenerator random(16);
            for (int round = 0; round < 300; ++round) {
                last = NumberedPaths(QString("/f%1").arg(round), 3 + int(random.bounded(25)));
                rig.Thread.SetFileList(last);
                const int pause = int(random.bounded(4));
                if (pause == 0 && round % 7 == 0)
                    rig.Thread.CancelAndWait();
                for (int k = 0; k < pause; ++k)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            }
        } else {
            rig.Source->DelayUs = [](const QString&) { return 3000; };
            rig.Thread.SetFileList(NumberedPaths("/first", 60));
        }
        if (action == Cancel) {
            ASSERT_TRUE(
                WaitFor([&] { return !rig.Reports.isEmpty() && rig.Reports.last() >= 60; }));
            rig.Thread.CancelAndWait();
            EXPECT_TRUE(rig.Thread.Idle());
            EXPECT_EQ(rig.Reports.last(), -1);
            rig.Source->Forget();
        }
        ASSERT_TRUE(action == Change ? WaitFor([&] { return changed && rig.Settled(); }, 60000)
                                     : rig.Load(last));
        EXPECT_EQ(rig.Reports.last(), 100);
        EXPECT_EQ(rig.Paths(), last);
        EXPECT_EQ(rig.WrongCells(), QStringList());
        // The loader's own step in progress may still hand out an old picture, but no worker's
        // made after the change; at most one per worker was started before the loader saw it.
        const TPoolSource::TLog log = rig.Source->Log();
        if (action != Stress) {
            EXPECT_EQ(log.FromWorkers.filter("/first/"), QStringList());
            EXPECT_LE(log.MadeApart.filter("/first/").size(), 2);
        }
        EXPECT_TRUE(rig.OneDatabaseThread());
    }
}

TEST(LoaderPool, ThePoolHoldsFinishedPicturesWithinItsBudgetAndThrowsAwayWhatIsDropped) {
    std::atomic<int> started{0}, made{0};
    std::atomic<bool> hold{false};
    std::vector<std::unique_ptr<TThumbnailMaker>> makers;
    makers.push_back(std::make_unique<TFnMaker>([&](const QString& path, TMadeThumbnail& m) {
        for (++started; hold;)
            QThread::usleep(200);
        m.Thumbnail = PictureOf(path, 160); // 102,400 bytes
        m.Made = bool(++made);
    }));
    TDecodePool pool(std::move(makers), 250 * 1024);
    const QStringList paths = NumberedPaths("/pics", 10);
    for (const QString& p : paths)
        pool.Add(p);
    // Three pictures reach the budget; the worker starts no fourth until one is taken.
    ASSERT_TRUE(WaitFor([&] { return made == 3; }));
    QThread::msleep(50);
    EXPECT_EQ(started, 3);
    TMadeThumbnail m;
    ASSERT_TRUE(pool.Take(paths[0], m));
    EXPECT_EQ(m.Thumbnail.pixel(0, 0), ColourOf(paths[0]));
    ASSERT_TRUE(WaitFor([&] { return made == 4; }));
    // A queued picture taken by the loader is its own to make; one never added is not held.
    EXPECT_FALSE(pool.Take(paths[9], m) || pool.Holds(paths[9]) || pool.Take("/x.jpg", m));
    pool.Retain({paths[2]}); // only the wanted waiting picture stays; the queue goes
    EXPECT_EQ(pool.Outstanding(), 1);
    ASSERT_TRUE(pool.Take(paths[2], m));
    EXPECT_EQ(m.Thumbnail.pixel(0, 0), ColourOf(paths[2]));
    // A picture being made when it is dropped is thrown away when done.
    hold = true;
    pool.Add(paths[7]);
    ASSERT_TRUE(WaitFor([&] { return started == 5; }));
    pool.Drop();
    hold = false;
    ASSERT_TRUE(WaitFor([&] { return pool.MadeCount() == 5; }));
    EXPECT_EQ(pool.Outstanding(), 0);
    EXPECT_FALSE(pool.Take(paths[7], m));
    pool.Add(paths[5]); // and a pool with work queued stops without waiting for it
}
