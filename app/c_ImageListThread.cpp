#include "c_ImageListThread.h"

#include "app/c_DecodePool.h"
#include "app/c_ThumbListView.h"
#include "platform/PRegularFile.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QMetaObject>
#include <chrono>

#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "imaging/ExifReader.h"
#include "imaging/Orientation.h"
#include "platform/PFileSystem.h"
#include "services/CCommon.h"

namespace {

bool IsAvi(const QString& name) {
    return GetLowerExt(name) == QLatin1String("avi");
}

// The last-write time as the system's short date, a blank and the long time; the time is
// left out at exactly midnight.
QString DirectoryEntryDate(const QDateTime& stamp) {
    const QLocale locale = QLocale::system();
    const QDateTime local = stamp.toLocalTime();
    QString text = locale.toString(local.date(), QLocale::ShortFormat);
    const QTime t = local.time();
    if (t.hour() != 0 || t.minute() != 0 || t.second() != 0) {
        // The long time format without its time-zone part.
        const QString format = TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat));
        text += QLatin1Char(' ') + locale.toString(t, format);
    }
    return text;
}

// Byte order of the UTF-8 texts, on UTF-16: surrogates go above the rest of the plane.
int CodeUnitKey(char16_t u) {
    return (u >= 0xD800 && u <= 0xDFFF) ? u + 0x10000 : u;
}

// Compares with ASCII letters upper-cased, in the order of the UTF-8 bytes.
int CompareUpperBytes(const QString& a, const QString& b) {
    const int n = int(std::min(a.size(), b.size()));
    for (int i = 0; i < n; ++i) {
        char16_t x = a.at(i).unicode(), y = b.at(i).unicode();
        if (x >= 'a' && x <= 'z')
            x = char16_t(x - 32);
        if (y >= 'a' && y <= 'z')
            y = char16_t(y - 32);
        if (x != y)
            return CodeUnitKey(x) < CodeUnitKey(y) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

qint64 SizeValue(const QString& text) {
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    return ok ? v : 0;
}

} // namespace

QString TimeFormatWithoutZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        // Quoted text is shown as it stands; a doubled quote inside it flips twice.
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (c == QLatin1Char('t') && !quoted)
            continue;
        out += c;
    }
    return out.trimmed();
}

int ProgressPercent(int done, int total) {
    if (total <= 0)
        return 100;
    const qint64 num = qint64(done) * 100;
    qint64 q = num / total;
    const qint64 twice = (num % total) * 2;
    if (twice > total || (twice == total && (q % 2) != 0))
        ++q;
    return int(q);
}

// --- the database source -----------------------------------------------------------------

namespace {
// A worker's maker: a thumbnail maker of its own, so decoders keep their memory per thread.
class TDatabaseMaker : public TThumbnailMaker {
public:
    TDatabaseMaker(int width, int height) {
        FGraphic.SetBoxWidth(width);
        FGraphic.SetBoxHeight(height);
    }
    void Make(const QString& path, TMadeThumbnail& made) override {
        TThumbnailDB::MakeApart(FGraphic, path, made);
    }

private:
    TThGraphic FGraphic;
};

class TDatabaseSource : public TThumbnailSource {
public:
    explicit TDatabaseSource(TThumbnailDB* db) : FDB(db) {}
    void SetBox(int width, int height) override {
        FDB->SetWidth(width);
        FDB->SetHeight(height);
    }
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override {
        // The facts need no pixels: the size comes from the file's header, so the
        // information pass decodes nothing and every cell gets its name and facts at once.
        // A header that does not tell the size leaves it to the database's own reading.
        QFile file;
        if (!POpenRegularFile(file, path))
            return false; // a pipe or device is never opened; its cell stays empty
        QImageReader reader(&file);
        reader.setDecideFormatFromContent(true);
        const QSize size = reader.size();
        if (!size.isValid() || size.isEmpty()) {
            if (!FDB->GetOriginalInfo(path))
                return false;
            const auto& info = FDB->OriginalInfo();
            facts.FileSize = info.FileSize;
            facts.FileTime = info.FileTime;
            facts.ExifDateTimeOriginal = info.ExifDateTimeOriginal;
            facts.Width = info.Width;
            facts.Height = info.Height;
            return true;
        }
        QString fileTime;
        int32_t fileSize = 0;
        if (!GetFileTimeAndSize(path, fileTime, fileSize))
            return false;
        facts.FileSize = fileSize;
        facts.FileTime = fileTime;
        facts.Width = size.width();
        facts.Height = size.height();
        facts.ExifDateTimeOriginal.clear();
        TExifReader& exif = FDB->Graphic().Exif();
        const bool read = exif.Read(path);
        if (read) {
            exif.FileName = path;
            facts.ExifDateTimeOriginal = exif.DateTimeOriginal().left(19);
            if (facts.ExifDateTimeOriginal.size() >= 8) {
                facts.ExifDateTimeOriginal[4] = u'/';
                facts.ExifDateTimeOriginal[7] = u'/';
            }
        }
        // The block gives the orientation too, which the thumbnail's hand-out would
        // otherwise read from the file again.
        if (OrientationInExif(path))
            FDB->NoteOrientation(path, fileTime, fileSize, read ? OrientationOfBlock(exif) : 1);
        return true;
    }
    bool GetThumbnail(const QString& path, QImage& bitmap) override {
        if (!FDB->GetThumbnail(path))
            return false;
        return CopyBitmap(bitmap);
    }
    bool RefreshThumbnail(const QString& path, QImage& bitmap) override {
        if (!FDB->RefreshThumbnail(path))
            return false;
        return CopyBitmap(bitmap);
    }
    void SaveChanges() override { FDB->SaveIndex(); }
    std::unique_ptr<TThumbnailMaker> NewMaker() override {
        return std::make_unique<TDatabaseMaker>(FDB->GetWidth(), FDB->GetHeight());
    }
    bool LastWasMade() const override { return FDB->ThumbnailInfo().Made; }
    bool HasStored(const QString& path) override { return FDB->HasStored(path); }
    bool PutThumbnail(const QString& path, TMadeThumbnail& made, QImage& bitmap) override {
        if (!FDB->PutMade(path, made))
            return false;
        return CopyBitmap(bitmap);
    }

private:
    TThumbnailDB* FDB;

    bool CopyBitmap(QImage& bitmap) const {
        const QImage* result = FDB->ThumbnailInfo().Bitmap;
        bitmap = result ? *result : QImage();
        return !bitmap.isNull();
    }
};
} // namespace

std::unique_ptr<TThumbnailSource> MakeDatabaseSource(TThumbnailDB* database) {
    if (!database)
        return nullptr;
    return std::make_unique<TDatabaseSource>(database);
}

QStringList DescribeItem(TThumbnailSource* source, const QString& path) {
    QStringList info;
    for (int k = 0; k < 9; ++k)
        info << QString();
    // Name and path are known without reading the file, so even an item whose facts
    // cannot be read shows its name.
    info[1] = QFileInfo(path).fileName();
    info[2] = path;
    try {
        if (!IsAvi(path)) {
            TOriginalFacts facts;
            if (source && source->GetOriginalInfo(path, facts)) {
                info[3] = QString::number(facts.FileSize);
                info[4] = facts.FileTime;
                info[5] = facts.ExifDateTimeOriginal;
                info[6] = QString::number(facts.Width);
                info[7] = QString::number(facts.Height);
            }
        } else {
            // A video that vanished since the listing keeps empty facts; it is counted
            // like any other item.
            PFileEntry entry;
            if (PStatEntry(path, entry)) {
                info[3] = QString::number(entry.Size & 0xFFFFFFFFLL);
                info[4] = DirectoryEntryDate(QDateTime::fromSecsSinceEpoch(entry.MTime));
            }
        }
    } catch (...) {
        // The item keeps the facts it has; the pass goes on.
    }
    return info;
}

QStringList ListFolderImages(const QString& path) {
    QString folder = path;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QStringList list;
    if (!path.isEmpty())
        for (const QString& name : ListImageFiles(folder, ExtensionList))
            list << folder + name;
    return list;
}

void SetCaptionLine(int sortMode, QStringList& info) {
    while (info.size() < 9)
        info << QString();
    switch (sortMode) {
    case 1:
        info[8] = info[3].isEmpty()
                      ? QString()
                      : QString::number(SizeValue(info[3]) / 1024) + QStringLiteral("KB (") +
                            info[6] + QLatin1Char('x') + info[7] + QLatin1Char(')');
        break;
    case 2:
        info[8] = !info[4].isEmpty() ? info[4] : info[5];
        break;
    default:
        info[8] = QString();
    }
}

bool ItemAfter(int sortMode, const QStringList& a, const QStringList& b) {
    switch (sortMode) {
    case 1:
        return SizeValue(a.value(3)) > SizeValue(b.value(3));
    case 2: {
        const QString& ka = a.value(5).isEmpty() ? a.value(4) : a.value(5);
        const QString& kb = b.value(5).isEmpty() ? b.value(4) : b.value(5);
        return CompareUpperBytes(ka, kb) > 0;
    }
    default:
        return CompareUpperBytes(a.value(1), b.value(1)) > 0;
    }
}

// --- the thread --------------------------------------------------------------------------

TImageListThread::TImageListThread(TThumbListView* grid, QAction* reloadMenuItem,
                                   std::unique_ptr<TThumbnailSource> source)
    : FGrid(grid), FReloadMenuItem(reloadMenuItem), FSource(std::move(source)),
      FDecodeWorkers(DefaultDecodeWorkers()) {
    for (int i = 0; i < 9; ++i)
        FInfoList << QString();
    if (FGrid) {
        FGrid->OnCompare = [this](int a, int b) { return SortCompare(a, b); };
        FGrid->OnRank = [this] { return SortRanks(); };
        FBoxWidth = FGrid->ThumbWidth();
        FBoxHeight = FGrid->ThumbHeight();
    }
    FThread = std::thread([this] { run(); });
}

TImageListThread::~TImageListThread() {
    {
        std::lock_guard<std::mutex> lock(FWakeLock);
        FStopping = true;
    }
    FWakeEvent.notify_all();
    {
        // A hand-over the loader waits for will never run now: let it go.
        std::lock_guard<std::mutex> lock(FHandOverLock);
    }
    FHandOverDone.notify_all();
    if (FThread.joinable())
        FThread.join();
    if (FGrid && FGrid->OnCompare)
        FGrid->OnCompare = nullptr;
    if (FGrid)
        FGrid->OnRank = nullptr;
}

void TImageListThread::SetSource(std::unique_ptr<TThumbnailSource> source) {
    FSource = std::move(source);
    FBoxChanged = true;
}

void TImageListThread::Wake() {
    {
        std::lock_guard<std::mutex> lock(FWakeLock);
        FWakePending = true;
    }
    FWakeEvent.notify_all();
}

void TImageListThread::Sleep() {
    std::unique_lock<std::mutex> lock(FWakeLock);
    FSleeping = true;
    FWakeEvent.wait(lock, [this] { return FWakePending || FStopping; });
    FWakePending = false;
    FSleeping = false;
}

void TImageListThread::SetFileList(const QStringList& list) {
    {
        std::lock_guard<std::mutex> lock(FPendingLock);
        FPendingList = list;
    }
    FHasList = true;
    FNewListRequested = true;
    Wake();
}

void TImageListThread::Reload() {
    FNewListRequested = true;
    Wake();
}

void TImageListThread::Cancel() {
    FCancelRequested = true;
}

void TImageListThread::CancelAndWait() {
    // A job taken up after the first cancel clears the flag, so it is set again on every
    // round; the hand-overs the loader waits for need this thread's events.
    while (!Idle()) {
        FCancelRequested = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!Idle())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TImageListThread::SetThumbSize(int width, int height) {
    // The database's box is set by the loader at the start-over: the window thread must not
    // touch the database while a load may be running.
    FBoxChanged = true;
    if (FGrid) {
        FGrid->SetThumbWidth(width);
        FGrid->SetThumbHeight(height);
    }
    FBoxWidth = width;
    FBoxHeight = height;
    // Before the first list there is nothing to load again.
    if (!FHasList)
        return;
    FNewListRequested = true;
    Wake();
}

void TImageListThread::SetSortMode(int mode) {
    if (mode < 0 || mode > 2)
        return;
    FSortMode = mode;
    FResortRequested = true;
    UpdateCaptionsAndSort();
}

void TImageListThread::CheckStopping() const {
    if (FStopping)
        throw TStopped();
}

// Runs work on the window thread and waits for it. When the thread object is being
// destroyed meanwhile, work that has not started is dropped and the loader leaves. The work
// travels in members under the hand-over lock rather than inside the queued call, so every
// access to it is ordered by that lock.
void TImageListThread::HandOver(const std::function<void()>& work) {
    CheckStopping();
    std::unique_lock<std::mutex> lock(FHandOverLock);
    FHandOverWork = &work;
    FHandOverStarted = false;
    FHandOverFinished = false;
    FHandOverFailed = false;
    QMetaObject::invokeMethod(this, "RunHandOver", Qt::QueuedConnection);
    FHandOverDone.wait(lock,
                       [this] { return FHandOverFinished || (FStopping && !FHandOverStarted); });
    const bool finished = FHandOverFinished;
    const bool failed = FHandOverFailed;
    FHandOverWork = nullptr;
    lock.unlock();
    if (!finished)
        throw TStopped();
    if (failed)
        throw std::runtime_error("hand-over failed");
}

void TImageListThread::RunHandOver() {
    const std::function<void()>* work;
    {
        std::lock_guard<std::mutex> lock(FHandOverLock);
        work = FHandOverWork;
        if (!work || FHandOverStarted)
            return; // dropped by a stopping loader
        FHandOverStarted = true;
    }
    bool failed = false;
    try {
        (*work)();
    } catch (...) {
        failed = true;
    }
    {
        std::lock_guard<std::mutex> lock(FHandOverLock);
        FHandOverFinished = true;
        FHandOverFailed = failed;
    }
    FHandOverDone.notify_all();
}

void TImageListThread::ReportProgress() {
    if (OnProgress)
        OnProgress(FProgress);
}

void TImageListThread::PutItemInfo() {
    if (TThumbnailData* item = FGrid ? FGrid->Item(FCurrentIndex) : nullptr) {
        item->FileName = FInfoList.value(1);
        item->Info = FInfoList;
    }
}

void TImageListThread::DrawIcon(const QString& fileName, QImage& bitmap) {
    if (OnDrawIcon) {
        OnDrawIcon(fileName, bitmap);
        return;
    }
    DrawFileIcon(fileName, bitmap);
}

void TImageListThread::CountStep() {
    ++FDone;
    // 100 means the load has ended: a percentage that rounds up to it before the last step
    // (from 99.5 % on) stays at 99.
    FProgress = FDone < FTotal ? std::min(ProgressPercent(FDone, FTotal), 99) : 100;
}

// Runs before the end or the cancel is reported: once the window reads either, it may use
// the database itself.
void TImageListThread::SaveChanges() {
    if (!FSource)
        return;
    try {
        FSource->SaveChanges();
    } catch (...) {
        // The index stays as it was; the next save, at the latest at exit, tries again.
    }
}

void TImageListThread::run() {
    try {
        for (;;) {
            Sleep();
            if (FStopping)
                return;
            HandOver([this] {
                if (FReloadMenuItem)
                    FReloadMenuItem->setEnabled(false);
            });
            try {
                while (FNewListRequested)
                    RunJob();
            } catch (TStopped&) {
                throw;
            } catch (...) {
                FNewListRequested = false;
                FRestartRequested = false;
                FCancelRequested = false;
            }
            // The workers and their decoder memory go while the loader sleeps.
            FPool.reset();
            FHelper.reset();
            if (!FNewListRequested)
                HandOver([this] {
                    if (FReloadMenuItem)
                        FReloadMenuItem->setEnabled(FGrid && FGrid->Count() > 0);
                });
            if (FStopping)
                return;
        }
    } catch (TStopped&) {
    }
}

void TImageListThread::RunJob() {
    {
        std::lock_guard<std::mutex> lock(FPendingLock);
        FFileList = FPendingList;
    }
    FNewListRequested = false;
    FCancelRequested = false;
    ++FJobs;
    if (FBoxChanged.exchange(false) && FSource) {
        FPool.reset(); // its makers have the old box
        FHelper.reset();
        FSource->SetBox(StoreBoxSize, StoreBoxSize);
    }
    // Nothing made for the last list is wanted now.
    if (FPool)
        FPool->Drop();
    FMaking = false;
    FProbed = false;
    FStartIndex = 0;
    FDone = 0;
    FTotal = 2 * int(FFileList.size());
    FFailed.clear();
    const int count = int(FFileList.size());
    HandOver([this, count] {
        if (!FGrid)
            return;
        FGrid->SetCount(0);
        FGrid->SetDrawing(false);
        FGrid->SetCount(count);
        FGrid->SetSelected(-1);
    });
    InformationPass();
    const bool sort = !FCancelRequested && !FNewListRequested;
    HandOver([this, sort] {
        if (FGrid)
            FGrid->SetDrawing(true);
        if (sort)
            UpdateCaptionsAndSort();
    });
    ThumbnailPass();
}

void TImageListThread::InformationPass() {
    for (int i = 0; i < FFileList.size(); ++i) {
        FCurrentIndex = i;
        FInfoList = DescribeItem(FSource.get(), FFileList[i]);
        CountStep();
        HandOver([this] {
            PutItemInfo();
            ReportProgress();
        });
        if (FNewListRequested)
            return;
        CheckStopping();
        if (FCancelRequested) {
            FProgress = -1;
            HandOver([this] {
                if (FGrid)
                    FGrid->SetCount(0);
                ReportProgress();
            });
            return;
        }
    }
}

void TImageListThread::ThumbnailPass() {
    do {
        FRestartRequested = false;
        if (FNewListRequested)
            return;
        if (FFileList.isEmpty()) {
            FProgress = 100;
            HandOver([this] { ReportProgress(); });
            return;
        }
        Sweep();
    } while (FRestartRequested);
}

bool TImageListThread::Sweep() {
    const int count = int(FFileList.size());
    // Once this load has pictures to make, each sweep aims the pool at its own order first.
    bool aimed = false;
    if (FMaking && FPool) {
        AimPool(0);
        aimed = true;
    }
    for (int i = FStartIndex; i < FStartIndex + count; ++i) {
        CheckStopping();
        if (FResortRequested) {
            FResortRequested = false;
            FRestartRequested = true;
            return false;
        }
        if (FCancelRequested) {
            FProgress = -1;
            SaveChanges();
            HandOver([this] { ReportProgress(); });
            return false;
        }
        if (FNewListRequested)
            return false;
        const int index = i % count;
        FCurrentIndex = index;
        bool exists = false;
        HandOver([this, &exists] {
            if (TThumbnailData* item = FGrid ? FGrid->Item(FCurrentIndex) : nullptr) {
                FInfoList = item->Info;
                exists = true;
                FDeviceRatio = FGrid->DeviceRatio();
                FVisibleCount = FGrid->LastVisible() - FGrid->FirstVisible() + 1;
            }
        });
        if (!exists || !FInfoList.value(0).isEmpty() || FFailed.contains(FInfoList.value(2)))
            continue;

        // Make the picture; a failure leaves the item without a picture, marked with the
        // reason, counted once and not retried in this load.
        bool made = false;
        QImage prepared, preparedDevice;
        QString reason;
        const QString name = FInfoList.value(1);
        const QString path = FInfoList.value(2);
        try {
            if (!IsAvi(name)) {
                made = MakePicture(path, i - FStartIndex, aimed);
                if (!made)
                    reason = QFileInfo::exists(path)
                                 ? QStringLiteral("The picture could not be read.")
                                 : QStringLiteral("The file is no longer there.");
            } else {
                // Icons come from the window system, which lives on the window thread.
                QImage icon;
                bool drawn = false;
                HandOver([&] {
                    DrawIcon(path, icon);
                    drawn = true;
                });
                FWorkBitmap = icon;
                made = drawn && !icon.isNull();
                if (made) {
                    FInfoList[6] = QString::number(icon.width());
                    FInfoList[7] = QString::number(icon.height());
                } else {
                    reason = QStringLiteral("The video's icon could not be drawn.");
                }
            }
            if (made) {
                prepared = TThumbListView::ScaleThumbnail(FWorkBitmap, FBoxWidth, FBoxHeight);
                preparedDevice = TThumbListView::ScaleDeviceThumbnail(FWorkBitmap, FBoxWidth,
                                                                      FBoxHeight, FDeviceRatio);
            }
        } catch (TStopped&) {
            throw;
        } catch (const std::exception& e) {
            made = false;
            reason = QString::fromUtf8(e.what());
        } catch (...) {
            made = false;
            reason = QStringLiteral("The picture could not be read.");
        }
        if (!made)
            FFailed.insert(path);
        CountStep();
        if (FDone >= FTotal)
            SaveChanges();
        HandOver([this, made, &prepared, &preparedDevice, &reason] {
            if (made && FGrid) {
                PutItemInfo();
                FGrid->SetThumbnail(FCurrentIndex, FWorkBitmap, prepared, preparedDevice);
                FInfoList[0] = QStringLiteral("Finished");
                PutItemInfo();
            } else if (FGrid) {
                FGrid->SetThumbnailError(FCurrentIndex, reason);
            }
            ReportProgress();
            FVisibleTop = FGrid ? FGrid->FirstVisible() : 0;
        });
        CheckStopping();
        if (FNewListRequested)
            return false;
        if (FVisibleTop != FStartIndex) {
            FStartIndex = FVisibleTop;
            FRestartRequested = true;
            return false;
        }
    }
    return true;
}

void TImageListThread::StartPool() {
    const int workers = FDecodeWorkers;
    if (FPool || workers <= 0 || !FSource)
        return;
    std::vector<std::unique_ptr<TThumbnailMaker>> makers;
    for (int k = 0; k < workers; ++k)
        if (auto maker = FSource->NewMaker())
            makers.push_back(std::move(maker));
    if (makers.empty())
        return;
    FHelper = FSource->NewMaker();
    // Finished pictures waiting: a few 512-box thumbnails per worker.
    const qint64 budget = qint64(workers) * 4 * StoreBoxSize * StoreBoxSize * 3;
    FPool = std::make_unique<TDecodePool>(std::move(makers), budget);
}

// How many pictures the pool holds ahead. Enough that a worker finds queued pictures while
// this thread makes one of its own between two feeds: with two per worker it ran dry and sat
// idle a quarter of the time.
int TImageListThread::PoolWindow() const {
    return FPool->Workers() * 4 + 2;
}

// Takes the sweep's order from the grid: the pictures still to make from the given step on,
// in the order the sweep comes to them. Work for pictures not among the next few is dropped.
void TImageListThread::AimPool(int step) {
    const int count = int(FFileList.size());
    std::vector<std::pair<int, QString>> ahead;
    HandOver([&] {
        for (int k = step; k < count; ++k) {
            const TThumbnailData* item = FGrid ? FGrid->Item((FStartIndex + k) % count) : nullptr;
            if (item && item->Info.value(0).isEmpty() && !IsAvi(item->Info.value(1)))
                ahead.emplace_back(k, item->Info.value(2));
        }
    });
    FAhead.clear();
    QSet<QString> wanted;
    for (auto& [k, path] : ahead) {
        if (FFailed.contains(path))
            continue;
        if (wanted.size() < qsizetype(PoolWindow()))
            wanted.insert(path);
        FAhead.emplace_back(k, std::move(path));
    }
    FAheadNext = 0;
    FPool->Retain(wanted);
}

// Keeps the workers busy with the next pictures after step that are not stored. The first
// screen of a sweep is this thread's, made in order as without workers: a worker's first
// picture is slow (its decoder memory is fresh) and would hold the screen up.
void TImageListThread::FeedPool(int step) {
    // Until the first screen is made and handed out the workers wait: the window thread
    // paints each picture as it comes, and a worker would take its core.
    if (step < FVisibleCount)
        return;
    while (FAheadNext < FAhead.size() && FPool->Outstanding() < PoolWindow()) {
        const auto& [k, path] = FAhead[FAheadNext++];
        if (k <= step || k < FVisibleCount || FPool->Holds(path) || FSource->HasStored(path))
            continue;
        FPool->Add(path);
    }
}

// The picture of one item into FWorkBitmap: a worker's, else made here (a stored one is
// found here too). The first picture made here starts the decode-ahead.
bool TImageListThread::MakePicture(const QString& path, int step, bool& aimed) {
    if (!FSource)
        return false;
    const auto aim = [&] {
        StartPool();
        if (FPool) {
            FMaking = true;
            aimed = true;
            AimPool(step);
            FeedPool(step);
        }
    };
    // The load's first picture to look at: when it is not stored the workers start on the
    // next ones while this thread makes it.
    if (!aimed && !FProbed) {
        FProbed = true;
        if (FDecodeWorkers > 0 && !FSource->HasStored(path))
            aim();
    }
    TMadeThumbnail made;
    if (FPool && aimed) {
        FeedPool(step);
        if (FPool->Take(path, made, FHelper.get())) {
            if (!made.Error.isEmpty())
                throw std::runtime_error(made.Error.toStdString());
            return FSource->PutThumbnail(path, made, FWorkBitmap);
        }
    }
    const bool result = FSource->GetThumbnail(path, FWorkBitmap);
    if (!aimed && FSource->LastWasMade())
        aim();
    return result;
}

void TImageListThread::UpdateCaptionsAndSort() {
    if (!FGrid)
        return;
    try {
        const int mode = FSortMode;
        for (int i = 0; i < FGrid->Count(); ++i)
            SetCaptionLine(mode, FGrid->Item(i)->Info);
        FGrid->Sort();
    } catch (...) {
    }
}

bool TImageListThread::SortCompare(int a, int b) const {
    const TThumbnailData* x = FGrid ? FGrid->Item(a) : nullptr;
    const TThumbnailData* y = FGrid ? FGrid->Item(b) : nullptr;
    if (!x || !y)
        return false;
    return ItemAfter(FSortMode.load(), x->Info, y->Info);
}

std::vector<int> TImageListThread::SortRanks() const {
    const int n = FGrid ? FGrid->Count() : 0;
    std::vector<int> order(static_cast<size_t>(n)), rank(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = i;
    auto place = [&](auto& keys) {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
        for (int k = 0, r = 0; k < n; ++k) {
            if (k > 0 && keys[size_t(order[size_t(k - 1)])] < keys[size_t(order[size_t(k)])])
                ++r;
            rank[size_t(order[size_t(k)])] = r;
        }
    };
    if (FSortMode.load() == 1) {
        std::vector<qint64> keys(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            keys[size_t(i)] = SizeValue(FGrid->Item(i)->Info.value(3));
        place(keys);
    } else {
        // The texts with ASCII letters upper-cased, as units in the order of the UTF-8 bytes:
        // plain comparison of these is CompareUpperBytes.
        std::vector<std::u32string> keys(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const QStringList& info = FGrid->Item(i)->Info;
            const QString text = FSortMode.load() == 2
                                     ? (info.value(5).isEmpty() ? info.value(4) : info.value(5))
                                     : info.value(1);
            std::u32string& key = keys[size_t(i)];
            key.resize(size_t(text.size()));
            for (qsizetype k = 0; k < text.size(); ++k) {
                char16_t u = text.at(k).unicode();
                if (u >= 'a' && u <= 'z')
                    u = char16_t(u - 32);
                key[size_t(k)] = char32_t(CodeUnitKey(u));
            }
        }
        place(keys);
    }
    return rank;
}

void TImageListThread::ReloadThisImage() {
    // The database belongs to the loader while it works; the menu item is disabled then.
    if (!FGrid || !FSleeping || FNewListRequested)
        return;
    const int index = FGrid->Selected();
    TThumbnailData* item = FGrid->Item(index);
    if (!item)
        return;
    try {
        const QString path = item->Info.value(2);
        QImage bitmap;
        if (!IsAvi(item->FileName)) {
            if (FSource && FSource->RefreshThumbnail(path, bitmap))
                FGrid->SetThumbnail(index, bitmap);
            else
                FGrid->SetThumbnailError(index,
                                         QFileInfo::exists(path)
                                             ? QStringLiteral("The picture could not be read.")
                                             : QStringLiteral("The file is no longer there."));
        } else {
            DrawIcon(path, bitmap);
            FGrid->SetThumbnail(index, bitmap);
        }
    } catch (const std::exception& e) {
        FGrid->SetThumbnailError(index, QString::fromUtf8(e.what()));
    } catch (...) {
    }
}
