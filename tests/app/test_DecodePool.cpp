// The loader with its decode-ahead pool: results in the loader's order whatever order the
// workers finish in, re-aiming on a re-sort or a scroll, cancel and folder changes, failures
// counted once, and the database used by the loading thread alone. Every picture is one
// colour made from its path, so a picture in the wrong cell shows. Run under ThreadSanitizer
// by `make tsan`.
#include "app/c_DecodePool.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <set>

namespace {

QRgb ColourOf(const QString& path) {
    const size_t h = qHash(path, 7);
    return qRgb(int(h & 0xF0), int((h >> 8) & 0xF0), int((h >> 16) & 0xF0));
}

QImage PictureOf(const QString& path) {
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(ColourOf(path));
    return image;
}

// The number in ".../imgNNNN.jpg".
int NumberOf(const QString& path) {
    return QFileInfo(path).completeBaseName().mid(3).toInt();
}

// A source whose pictures take DelayUs(path) to make, on a worker or on the loading thread.
// It notes every thread that touches what stands for the database.
class TPoolSource : public TThumbnailSource {
public:
    QSet<QString> Broken;  // making raises
    QSet<QString> Missing; // no facts, nothing made
    QSet<QString> Stored;  // found without making
    std::function<int(const QString&)> DelayUs = [](const QString&) { return 0; };

    void SetBox(int, int) override { Note(); }
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override {
        Note();
        if (Missing.contains(path))
            return false;
        // Sizes in another order than the names, for the re-sort.
        facts.FileSize = 1000 + (NumberOf(path) * 7919) % 1000;
        facts.FileTime = "2004/03/05 19:08:10";
        facts.Width = 400;
        facts.Height = 300;
        return true;
    }
    bool GetThumbnail(const QString& path, QImage& bitmap) override {
        Note();
        Handed(path, false);
        FLastMade = !Stored.contains(path);
        if (FLastMade) {
            TMadeThumbnail made;
            MakeInto(path, made);
            if (!made.Made)
                return false;
        }
        bitmap = PictureOf(path);
        return true;
    }
    bool RefreshThumbnail(const QString& path, QImage& bitmap) override {
        return GetThumbnail(path, bitmap);
    }
    void SaveChanges() override { Note(); }
    std::unique_ptr<TThumbnailMaker> NewMaker() override {
        Note();
        return std::make_unique<TMaker>(this);
    }
    bool LastWasMade() const override { return FLastMade; }
    bool HasStored(const QString& path) override {
        Note();
        return Stored.contains(path);
    }
    bool PutThumbnail(const QString& path, TMadeThumbnail& made, QImage& bitmap) override {
        Note();
        Handed(path, true);
        bitmap = made.Thumbnail;
        return made.Made && !bitmap.isNull();
    }

    // Paths in the order the loader handed their pictures out, and the ones a worker made.
    QStringList HandedOut() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FHanded;
    }
    QStringList FromWorkers() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FFromWorkers;
    }
    QStringList MadeOnWorkers() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FWorkerMakes;
    }
    std::set<std::thread::id> DatabaseThreads() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FThreads;
    }
    void Forget() {
        std::lock_guard<std::mutex> lock(FLock);
        FHanded.clear();
        FFromWorkers.clear();
        FWorkerMakes.clear();
    }

private:
    class TMaker : public TThumbnailMaker {
    public:
        explicit TMaker(TPoolSource* source) : FSource(source) {}
        void Make(const QString& path, TMadeThumbnail& made) override {
            {
                std::lock_guard<std::mutex> lock(FSource->FLock);
                FSource->FWorkerMakes << path;
            }
            FSource->MakeInto(path, made);
        }

    private:
        TPoolSource* FSource;
    };

    mutable std::mutex FLock;
    QStringList FHanded, FFromWorkers, FWorkerMakes;
    std::set<std::thread::id> FThreads;
    bool FLastMade = true;

    void Note() {
        std::lock_guard<std::mutex> lock(FLock);
        FThreads.insert(std::this_thread::get_id());
    }
    void Handed(const QString& path, bool worker) {
        std::lock_guard<std::mutex> lock(FLock);
        FHanded << path;
        if (worker)
            FFromWorkers << path;
    }
    // Reads only what the test set before the load, so any thread may call it.
    void MakeInto(const QString& path, TMadeThumbnail& made) {
        if (const int us = DelayUs(path); us > 0)
            QThread::usleep(us);
        if (Broken.contains(path))
            throw std::runtime_error("broken picture");
        made.Made = !Missing.contains(path);
        if (made.Made)
            made.Thumbnail = PictureOf(path);
    }
};

struct TPoolRig {
    std::unique_ptr<TThumbListView> Grid;
    std::unique_ptr<QAction> Reload;
    TPoolSource* Source = nullptr;
    std::unique_ptr<TImageListThread> Thread;
    QList<int> Reports;
    std::function<void(int)> OnReport;

    explicit TPoolRig(int workers, int height = 400) {
        Grid = std::make_unique<TThumbListView>();
        Grid->resize(600 + TThumbListView::ScrollBarWidth, height);
        Grid->show();
        Reload = std::make_unique<QAction>("Reload this image");
        auto source = std::make_unique<TPoolSource>();
        Source = source.get();
        Thread = std::make_unique<TImageListThread>(Grid.get(), Reload.get(), std::move(source));
        Thread->SetDecodeWorkers(workers);
        Thread->OnProgress = [this](int p) {
            Reports << p;
            if (OnReport)
                OnReport(p);
        };
        Thread->SetThumbSize(128, 128);
    }
    ~TPoolRig() { Thread.reset(); }

    bool Settled() const {
        return Thread->Sleeping() && !Thread->RequestPending() && !Reports.isEmpty() &&
               (Reports.last() >= 100 || Reports.last() < 0);
    }
    bool Load(const QStringList& list) {
        Reports.clear();
        Thread->SetFileList(list);
        return WaitFor([&] { return Settled(); }, 60000);
    }
    // Cells whose picture is not their own path's, or that have none.
    QStringList WrongCells() const {
        QStringList wrong;
        for (int i = 0; i < Grid->Count(); ++i) {
            const TThumbnailData* item = Grid->Item(i);
            const QString path = item->Info.value(2);
            if (item->Bitmap.isNull() || item->Bitmap.pixel(2, 2) != ColourOf(path))
                wrong << QString("%1 %2").arg(i).arg(path);
        }
        return wrong;
    }
    QStringList PathsInGridOrder() const {
        QStringList paths;
        for (int i = 0; i < Grid->Count(); ++i)
            paths << Grid->Item(i)->Info.value(2);
        return paths;
    }
};

} // namespace

TEST(LoaderPool, ResultsComeInTheLoadersOrderWhateverOrderTheWorkersFinishIn) {
    struct TCase {
        const char* Name;
        int Workers;
        std::function<int(const QString&)> Delay;
    };
    const TCase cases[] = {
        // Later pictures are quicker, so workers finish against the order.
        {"one worker, later ones quicker", 1,
         [](const QString& p) { return 4000 - 90 * NumberOf(p); }},
        {"three workers, later ones quicker", 3,
         [](const QString& p) { return 4000 - 90 * NumberOf(p); }},
        {"eight workers, every third slow", 8,
         [](const QString& p) { return NumberOf(p) % 3 == 0 ? 6000 : 200; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoolRig rig(c.Workers);
        rig.Source->DelayUs = c.Delay;
        const QStringList list = NumberedPaths("/pics", 40);
        ASSERT_TRUE(rig.Load(list));
        EXPECT_EQ(rig.Reports.size(), 80);
        EXPECT_EQ(rig.Reports.last(), 100);
        EXPECT_TRUE(std::is_sorted(rig.Reports.begin(), rig.Reports.end()));
        // The first cell is on the first screen, so the order is the grid's from the top.
        EXPECT_EQ(rig.Source->HandedOut(), rig.PathsInGridOrder());
        EXPECT_EQ(rig.WrongCells(), QStringList());
        EXPECT_GE(rig.Source->FromWorkers().size(), 10) << "the workers made too little";
        const auto threads = rig.Source->DatabaseThreads();
        EXPECT_EQ(threads.size(), 1u);
        EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
        EXPECT_TRUE(rig.Reload->isEnabled());
    }
}

TEST(LoaderPool, AReSortOrAScrollMidLoadReAimsThePoolAndEveryCellKeepsItsOwnPicture) {
    struct TCase {
        const char* Name;
        bool Resort;
        bool Scroll;
    };
    const TCase cases[] = {
        {"re-sort", true, false}, {"scroll", false, true}, {"re-sort then scroll", true, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoolRig rig(3);
        rig.Source->DelayUs = [](const QString& p) { return 300 + (NumberOf(p) % 4) * 700; };
        const QStringList list = NumberedPaths("/pics", 240);
        int handedAtScroll = -1;
        QString topAtScroll;
        rig.OnReport = [&](int p) {
            if (p == 55 && c.Resort && rig.Thread->SortMode() == 0)
                rig.Thread->SetSortMode(1);
            if (p == 60 && c.Scroll && handedAtScroll < 0) {
                rig.Grid->SetScrollPosition(rig.Grid->ScrollRange() / 2);
                handedAtScroll = int(rig.Source->HandedOut().size());
                topAtScroll = rig.Grid->Item(rig.Grid->FirstVisible())->Info.value(2);
            }
        };
        ASSERT_TRUE(rig.Load(list));
        EXPECT_EQ(rig.Reports.last(), 100);
        EXPECT_EQ(rig.WrongCells(), QStringList());
        // Each picture handed out once: nothing a worker made for the old order is used twice
        // or dropped into another cell.
        const QStringList handed = rig.Source->HandedOut();
        EXPECT_EQ(QSet<QString>(handed.begin(), handed.end()).size(), 240);
        EXPECT_EQ(handed.size(), 240);
        if (c.Resort) {
            EXPECT_EQ(rig.Thread->SortMode(), 1);
            EXPECT_NE(rig.PathsInGridOrder(), list);
        }
        if (c.Scroll) {
            // The loader finishes the picture it is at, then the new first screen comes.
            ASSERT_GE(handedAtScroll, 0);
            const qsizetype at = handed.indexOf(topAtScroll);
            EXPECT_GE(at, handedAtScroll - 1);
            EXPECT_LE(at, handedAtScroll + 1);
        }
        EXPECT_EQ(rig.Source->DatabaseThreads().size(), 1u);
    }
}

TEST(LoaderPool, CancelAndFolderChangesStopThePoolWithoutALostWakeUpOrAStrayPicture) {
    struct TCase {
        const char* Name;
        bool Cancel; // cancel and wait before the next folder, else change folder mid-load
        int AtPercent;
    };
    const TCase cases[] = {{"cancel in the thumbnail pass", true, 60},
                           {"folder change in the thumbnail pass", false, 60},
                           {"folder change in the information pass", false, 20}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoolRig rig(2);
        rig.Source->DelayUs = [](const QString&) { return 3000; };
        const QStringList first = NumberedPaths("/first", 60);
        const QStringList second = NumberedPaths("/second", 30);
        bool changed = false;
        rig.OnReport = [&](int p) {
            if (p >= c.AtPercent && !changed && !c.Cancel) {
                changed = true;
                rig.Source->Forget();
                rig.Thread->SetFileList(second);
            }
        };
        rig.Reports.clear();
        rig.Thread->SetFileList(first);
        if (c.Cancel) {
            ASSERT_TRUE(
                WaitFor([&] { return !rig.Reports.isEmpty() && rig.Reports.last() >= 60; }));
            rig.Thread->CancelAndWait();
            EXPECT_TRUE(rig.Thread->Idle());
            EXPECT_EQ(rig.Reports.last(), -1);
            rig.Source->Forget();
            ASSERT_TRUE(rig.Load(second));
        } else {
            ASSERT_TRUE(WaitFor([&] { return changed && rig.Settled(); }, 60000));
        }
        EXPECT_EQ(rig.Reports.last(), 100);
        EXPECT_EQ(rig.PathsInGridOrder(), second);
        EXPECT_EQ(rig.WrongCells(), QStringList());
        // A picture of the old folder may still be handed out by the loader's own step in
        // progress, but never one a worker made after the change.
        for (const QString& path : rig.Source->FromWorkers())
            EXPECT_TRUE(path.startsWith("/second/")) << path.toStdString();
        // The old folder's queue went with the change: at most a picture per worker was
        // started in the moment before the loader saw it.
        EXPECT_LE(rig.Source->MadeOnWorkers().filter("/first/").size(), 2);
        EXPECT_EQ(rig.Source->DatabaseThreads().size(), 1u);
    }
}

TEST(LoaderPool, APictureThatFailsInAWorkerIsReportedOnceAndNotMadeAgain) {
    TPoolRig rig(2);
    const QStringList list = NumberedPaths("/pics", 30);
    rig.Source->Broken = {list[5], list[6], list[20]};
    rig.Source->Missing = {list[12]};
    rig.Source->DelayUs = [](const QString&) { return 1000; };
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.Reports.size(), 60);
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_TRUE(std::is_sorted(rig.Reports.begin(), rig.Reports.end()));
    const QStringList made = rig.Source->MadeOnWorkers();
    const QStringList handed = rig.Source->HandedOut();
    struct TCell {
        int Index;
        const char* Error;
    };
    for (const TCell& cell : {TCell{5, "broken picture"},
                              {6, "broken picture"},
                              {20, "broken picture"},
                              {12, "The file is no longer there."},
                              {13, ""}}) {
        SCOPED_TRACE(cell.Index);
        const TThumbnailData* item = rig.Grid->Item(cell.Index);
        EXPECT_EQ(item->Error, QString(cell.Error));
        EXPECT_EQ(item->Bitmap.isNull(), *cell.Error != 0);
        // Made once, wherever: a worker's failure is not tried again on the loading thread.
        const QString path = list[cell.Index];
        EXPECT_EQ(made.count(path) + handed.count(path) - rig.Source->FromWorkers().count(path), 1);
    }
    EXPECT_GE(made.size(), 10);
    EXPECT_EQ(rig.Source->DatabaseThreads().size(), 1u);
}

TEST(LoaderPool, StoredPicturesAreLeftToTheLoadingThread) {
    // A cold load with a few stored pictures: the workers make only the others, the warm
    // ones come as hits in their place; a wholly warm load never starts the pool.
    TPoolRig rig(2);
    const QStringList list = NumberedPaths("/pics", 30);
    for (int i = 0; i < 30; i += 4)
        rig.Source->Stored.insert(list[i]);
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.WrongCells(), QStringList());
    EXPECT_EQ(rig.Source->HandedOut(), list);
    for (const QString& path : rig.Source->MadeOnWorkers())
        EXPECT_FALSE(rig.Source->Stored.contains(path)) << path.toStdString();

    rig.Source->Forget();
    rig.Source->Stored = QSet<QString>(list.begin(), list.end());
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.WrongCells(), QStringList());
    EXPECT_EQ(rig.Source->MadeOnWorkers(), QStringList());
}

TEST(LoaderPool, HundredsOfQuickFolderChangesEndWithTheLastFolderWhole) {
    TPoolRig rig(3, 200);
    rig.Source->DelayUs = [](const QString& p) { return 50 + (NumberOf(p) % 5) * 100; };
    QRandomGenerator random(16);
    QStringList last;
    for (int round = 0; round < 300; ++round) {
        last = NumberedPaths(QString("/f%1").arg(round), 3 + int(random.bounded(25)));
        rig.Thread->SetFileList(last);
        const int pause = int(random.bounded(4));
        if (pause == 0 && round % 7 == 0)
            rig.Thread->CancelAndWait();
        for (int k = 0; k < pause; ++k)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (round % 50 == 0)
            QThread::usleep(2000);
    }
    rig.Source->Forget();
    ASSERT_TRUE(rig.Load(last));
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_EQ(rig.PathsInGridOrder(), last);
    EXPECT_EQ(rig.WrongCells(), QStringList());
    EXPECT_EQ(rig.Source->DatabaseThreads().size(), 1u);
}

namespace {

void MakePhoto(const QString& path, int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QPainter p(&img);
    p.fillRect(0, 0, w / 3, h / 2, Qt::white);
    p.end();
    ASSERT_TRUE(img.save(path, "JPG", 90));
}

} // namespace

TEST(LoaderPool, TheRealDatabaseStoresWhatWorkersMakeAsItsOwnMakeWould) {
    TempHome home;
    QTemporaryDir photos;
    QStringList list;
    for (int i = 0; i < 24; ++i) {
        list << photos.filePath(QString("p%1.jpg").arg(i, 2, 10, QChar('0')));
        MakePhoto(list.last(), 600 + 40 * (i % 5), 400 + 30 * (i % 3), QColor(10 * i, 90, 200));
    }
    // The same folder loaded with the loading thread alone and with workers, each into a
    // cache of its own: same pictures, same records.
    QMap<int, QList<QImage>> pictures;
    QMap<int, int> records;
    for (int workers : {0, 3}) {
        SCOPED_TRACE(workers);
        const QString cache = home.Path() + QString("Cache%1").arg(workers);
        QDir().mkpath(cache);
        auto db = std::make_unique<TThumbnailDB>(nullptr, home.Path());
        db->SetCacheDirectory(cache);
        db->SetMaxSizeKB(100000);
        TThumbListView grid;
        grid.resize(621, 400);
        grid.show();
        TImageListThread thread(&grid, nullptr, MakeDatabaseSource(db.get()));
        thread.SetDecodeWorkers(workers);
        QList<int> reports;
        thread.OnProgress = [&](int p) { reports << p; };
        thread.SetThumbSize(128, 128);
        int decodedCold = 0;
        for (int pass = 0; pass < 2; ++pass) { // cold, then warm
            reports.clear();
            thread.SetFileList(list);
            ASSERT_TRUE(WaitFor(
                [&] { return thread.Idle() && !reports.isEmpty() && reports.last() == 100; },
                60000));
            if (pass == 0)
                decodedCold = db->Graphic().DecodeCount();
        }
        // The loading thread decoded only what no worker had started; warm, nothing.
        if (workers) {
            EXPECT_LT(decodedCold, 24);
        }
        EXPECT_EQ(db->Graphic().DecodeCount(), decodedCold);
        for (int i = 0; i < grid.Count(); ++i)
            pictures[workers] << grid.Item(i)->Bitmap;
        records[workers] = db->Table().List().Count();
        thread.CancelAndWait();
    }
    EXPECT_EQ(records[0], 24);
    EXPECT_EQ(records[3], 24);
    ASSERT_EQ(pictures[0].size(), 24);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(pictures[0][i], pictures[3][i]) << i;
}

namespace {

// Makes 100 KB pictures of the path's colour and counts them.
class TCountingMaker : public TThumbnailMaker {
public:
    std::atomic<int> Made{0};
    void Make(const QString& path, TMadeThumbnail& made) override {
        made.Thumbnail = QImage(160, 160, QImage::Format_RGB32); // 102,400 bytes
        made.Thumbnail.fill(ColourOf(path));
        made.Made = true;
        ++Made;
    }
};

} // namespace

TEST(LoaderPool, FinishedPicturesWaitingAreBoundedInBytesAndDroppedWhenNotWanted) {
    std::vector<std::unique_ptr<TThumbnailMaker>> makers;
    auto maker = std::make_unique<TCountingMaker>();
    TCountingMaker* counter = maker.get();
    makers.push_back(std::move(maker));
    TDecodePool pool(std::move(makers), 250 * 1024);
    const QStringList paths = NumberedPaths("/pics", 10);
    for (const QString& p : paths)
        pool.Add(p);
    // Three pictures reach the budget; the worker starts no fourth until one is taken.
    ASSERT_TRUE(WaitFor([&] { return counter->Made == 3; }));
    QThread::msleep(50);
    EXPECT_EQ(counter->Made, 3);
    EXPECT_EQ(pool.Outstanding(), 10);
    TMadeThumbnail made;
    ASSERT_TRUE(pool.Take(paths[0], made));
    EXPECT_EQ(made.Thumbnail.pixel(0, 0), ColourOf(paths[0]));
    ASSERT_TRUE(WaitFor([&] { return counter->Made == 4; }));
    // A queued picture taken by the loader is its own to make; one never added is not held.
    EXPECT_FALSE(pool.Take(paths[9], made));
    EXPECT_FALSE(pool.Holds(paths[9]));
    EXPECT_FALSE(pool.Take("/elsewhere/x.jpg", made));
    // Only the wanted waiting picture stays; the queue goes.
    pool.Retain({paths[2]});
    EXPECT_EQ(pool.Outstanding(), 1);
    EXPECT_TRUE(pool.Holds(paths[2]));
    EXPECT_FALSE(pool.Holds(paths[1]));
    ASSERT_TRUE(pool.Take(paths[2], made));
    EXPECT_EQ(made.Thumbnail.pixel(0, 0), ColourOf(paths[2]));
    QThread::msleep(50);
    EXPECT_EQ(counter->Made, 4);
    pool.Add(paths[5]); // and a pool with work queued stops without waiting for it
}
