#pragma once
// The background loader of the thumbnail grid. For a list of files it makes two passes: an
// information pass that gives every cell its name and facts, then a thumbnail pass that
// starts at the first visible cell and follows the user's scrolling. Everything it does to
// the grid, the items and the status bar runs on the window thread while it waits.
#include <QImage>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QAction;
class TDecodePool;
class TThumbListView;
class TThumbnailDB;
struct TMadeThumbnail;

// The facts of a source picture that the loader shows.
struct TOriginalFacts {
    qint64 FileSize = 0;
    QString FileTime;
    QString ExifDateTimeOriginal;
    int Width = 0;
    int Height = 0;
};

// Makes thumbnails apart from the database, on one decode worker (see TDecodePool).
class TThumbnailMaker {
public:
    virtual ~TThumbnailMaker() = default;
    // Fills made for the file; raises what the database's own make would raise.
    virtual void Make(const QString& path, TMadeThumbnail& made) = 0;
};

// What the loader asks of the thumbnail database. Used on the loading thread while a load
// runs and on the window thread (RefreshThumbnail) only while the loader sleeps.
class TThumbnailSource {
public:
    virtual ~TThumbnailSource() = default;
    virtual void SetBox(int width, int height) = 0;
    virtual bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) = 0;
    // Copies the thumbnail out, since the database's own picture lasts only until the next
    // request.
    virtual bool GetThumbnail(const QString& path, QImage& bitmap) = 0;
    virtual bool RefreshThumbnail(const QString& path, QImage& bitmap) = 0;
    // Puts what the load stored so far on disk, so that a kill or a crash afterwards loses
    // nothing of it. Called on the loading thread when a load ends or is cancelled.
    virtual void SaveChanges() {}

    // Making apart, for the decode-ahead pool; a source without a maker makes every picture
    // in GetThumbnail. All of these run on the loading thread.
    // A maker of its own for one worker, for the present box.
    virtual std::unique_ptr<TThumbnailMaker> NewMaker() { return nullptr; }
    // Whether the last GetThumbnail made the picture rather than finding it stored.
    virtual bool LastWasMade() const { return true; }
    // Whether a stored thumbnail may answer the file, so no worker need make it.
    virtual bool HasStored(const QString&) { return false; }
    // Stores what a maker made and copies the thumbnail out as GetThumbnail does.
    virtual bool PutThumbnail(const QString&, TMadeThumbnail&, QImage&) { return false; }
};

// The source over the program's thumbnail database.
std::unique_ptr<TThumbnailSource> MakeDatabaseSource(TThumbnailDB* database);

class TImageListThread : public QObject {
    Q_OBJECT
public:
    // Box of the stored thumbnails; the grid scales them for display.
    static constexpr int StoreBoxSize = 512;

    // Starts the thread, which sleeps until the first list arrives. reloadMenuItem may be
    // null; source may be set later, before the first list.
    TImageListThread(TThumbListView* grid, QAction* reloadMenuItem,
                     std::unique_ptr<TThumbnailSource> source = nullptr);
    // Stops the thread and waits for it before anything it uses goes away.
    ~TImageListThread() override;

    void SetSource(std::unique_ptr<TThumbnailSource> source);
    TThumbnailSource* Source() const { return FSource.get(); }

    // Called on the window thread with the percentage to show, or -1 after a cancel.
    std::function<void(int)> OnProgress;
    // Draws the shell icon of a file into a bitmap (window thread). Defaults to DrawFileIcon.
    std::function<void(const QString& fileName, QImage& bitmap)> OnDrawIcon;

    void SetFileList(const QStringList& list);
    void Reload();
    void Cancel();
    void SetThumbSize(int width, int height);
    void SetSortMode(int mode);
    int SortMode() const { return FSortMode; }
    void ReloadThisImage();

    // The grid's comparison: whether item a belongs after item b in the present order.
    bool SortCompare(int a, int b) const;
    // Every item's place in the present order, equal keys equal places: the same order as
    // SortCompare, with each key made once (window thread).
    std::vector<int> SortRanks() const;
    // Captions by the present order, then the grid sorted (window thread).
    void UpdateCaptionsAndSort();

    // Whether a new list, reload or size change waits to be taken up.
    bool RequestPending() const { return FNewListRequested; }
    // Whether the loader is between jobs, asleep.
    bool Sleeping() const { return FSleeping; }
    // Whether the loader is asleep with no request waiting: only then may the window thread
    // use the thumbnail database. Every request sets its flag before it wakes the loader.
    bool Idle() const { return FSleeping && !FNewListRequested; }
    // Cancels the running load and any request not yet taken up, and waits until the loader
    // is idle, running the hand-overs it asks for meanwhile (window thread).
    void CancelAndWait();
    // The number of start-overs run so far.
    int JobCount() const { return FJobs; }
    // Decode workers for the next load (0: the loading thread makes every picture);
    // DefaultDecodeWorkers() at first.
    void SetDecodeWorkers(int count) { FDecodeWorkers = count; }

private slots:
    // Runs the hand-over the loader waits for (window thread).
    void RunHandOver();

private:
    std::thread FThread;
    void run();

    struct TStopped {};

    TThumbListView* FGrid;
    QAction* FReloadMenuItem;
    std::unique_ptr<TThumbnailSource> FSource;

    // Requests, written by one side and read by the other between items.
    std::atomic<bool> FNewListRequested{false};
    std::atomic<bool> FRestartRequested{false};
    std::atomic<bool> FCancelRequested{false};
    std::atomic<bool> FResortRequested{false};
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FBoxChanged{true};
    std::atomic<bool> FHasList{false};
    std::atomic<int> FSortMode{0};
    std::atomic<int> FBoxWidth{64};
    std::atomic<int> FBoxHeight{64};
    std::atomic<bool> FSleeping{true}; // a new loader has not started anything yet
    std::atomic<int> FJobs{0};
    std::atomic<int> FDecodeWorkers;

    // The list handed over last; both threads touch it, under its lock.
    std::mutex FPendingLock;
    QStringList FPendingList;

    // Sleeping and waking: the flag is the predicate, so a wake-up sent while the loader is
    // on its way to sleep is kept.
    std::mutex FWakeLock;
    std::condition_variable FWakeEvent;
    bool FWakePending = false;

    // Hand-overs to the window thread: the work waiting, whether it started and ended.
    std::mutex FHandOverLock;
    std::condition_variable FHandOverDone;
    const std::function<void()>* FHandOverWork = nullptr;
    bool FHandOverStarted = false;
    bool FHandOverFinished = false;
    bool FHandOverFailed = false;

    // Loading thread's own state.
    QStringList FFileList;
    QStringList FInfoList;
    QImage FWorkBitmap;
    int FCurrentIndex = 0;
    int FStartIndex = 0;
    int FVisibleTop = 0;
    qreal FDeviceRatio = 1; // the grid's, read at each item's hand-over
    int FVisibleCount = 0;  // cells on the grid's screen, likewise
    int FProgress = 0;
    int FDone = 0;
    int FTotal = 0;
    QSet<QString> FFailed; // pictures that could not be made in this load

    // Decode-ahead: the pool while a run of loads lasts, whether this load met a picture
    // to make (from then on each sweep aims the pool), and the sweep's coming pictures
    // with their steps from the sweep's start.
    std::unique_ptr<TDecodePool> FPool;
    std::unique_ptr<TThumbnailMaker> FHelper; // the loading thread's, while it waits
    bool FMaking = false;
    bool FProbed = false; // whether the load's first picture was looked up
    std::vector<std::pair<int, QString>> FAhead;
    size_t FAheadNext = 0;

    void Wake();
    void Sleep();
    void RunJob();
    void InformationPass();
    void ThumbnailPass();
    bool Sweep();
    void StartPool();
    void AimPool(int step);
    void FeedPool(int step);
    int PoolWindow() const;
    bool MakePicture(const QString& path, int step, bool& aimed);
    void CountStep();
    void SaveChanges();
    void CheckStopping() const;
    void HandOver(const std::function<void()>& work);
    void ReportProgress(); // on the window thread
    void PutItemInfo();    // on the window thread
    void DrawIcon(const QString& fileName, QImage& bitmap);
};

// The loader's own steps, shared with `velmora print` so that a folder prints as the window
// shows it.
// The full paths of the pictures of a folder, in listing order (ListImageFiles over
// ExtensionList); empty for an empty path.
QStringList ListFolderImages(const QString& folder);
// An item's nine info strings as the information pass makes them (caption line empty).
QStringList DescribeItem(TThumbnailSource* source, const QString& path);
// Info[8], the caption line, for the order 0 name, 1 size, 2 date.
void SetCaptionLine(int sortMode, QStringList& info);
// Whether the item with info a belongs after the one with info b in that order.
bool ItemAfter(int sortMode, const QStringList& a, const QStringList& b);
// A time format without its time-zone fields (the letter t outside quoted text), trimmed.
QString TimeFormatWithoutZone(const QString& format);

// Percentage of done in total, rounded to the nearest integer with halves to even.
int ProgressPercent(int done, int total);
