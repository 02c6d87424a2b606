#include "c_ImageListThread.h"

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

#include "Common/c_Other.h"
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "imaging/ExifReader.h"
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
        if (exif.Read(path)) {
            exif.FileName = path;
            facts.ExifDateTimeOriginal = exif.DateTimeOriginal().left(19);
            if (facts.ExifDateTimeOriginal.size() >= 8) {
                facts.ExifDateTimeOriginal[4] = u'/';
                facts.ExifDateTimeOriginal[7] = u'/';
            }
        }
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

// --- the thread --------------------------------------------------------------------------

TImageListThread::TImageListThread(TThumbListView* grid, QAction* reloadMenuItem,
                                   std::unique_ptr<TThumbnailSource> source)
    : FGrid(grid), FReloadMenuItem(reloadMenuItem), FSource(std::move(source)) {
    for (int i = 0; i < 9; ++i)
        FInfoList << QString();
    if (FGrid) {
        FGrid->OnCompare = [this](int a, int b) { return SortCompare(a, b); };
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
    FProgress = ProgressPercent(FDone, FTotal);
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
    if (FBoxChanged.exchange(false) && FSource)
        FSource->SetBox(StoreBoxSize, StoreBoxSize);
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
        const QString path = FFileList[i];
        FInfoList = QStringList();
        for (int k = 0; k < 9; ++k)
            FInfoList << QString();
        FCurrentIndex = i;
        // Name and path are known without reading the file, so even an item whose facts
        // cannot be read shows its name.
        FInfoList[1] = QFileInfo(path).fileName();
        FInfoList[2] = path;
        try {
            if (!IsAvi(path)) {
                TOriginalFacts facts;
                if (FSource && FSource->GetOriginalInfo(path, facts)) {
                    FInfoList[3] = QString::number(facts.FileSize);
                    FInfoList[4] = facts.FileTime;
                    FInfoList[5] = facts.ExifDateTimeOriginal;
                    FInfoList[6] = QString::number(facts.Width);
                    FInfoList[7] = QString::number(facts.Height);
                }
            } else {
                // A video that vanished since the listing keeps empty facts; it is counted
                // like any other item.
                const QFileInfo entry(path);
                if (entry.exists()) {
                    FInfoList[3] = QString::number(entry.size() & 0xFFFFFFFFLL);
                    FInfoList[4] = DirectoryEntryDate(entry.lastModified());
                }
            }
        } catch (TStopped&) {
            throw;
        } catch (...) {
        }
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
            }
        });
        if (!exists || !FInfoList.value(0).isEmpty() || FFailed.contains(FInfoList.value(2)))
            continue;

        // Make the picture; a failure leaves the item blank, counted once and not retried
        // in this load.
        bool made = false;
        QImage prepared;
        const QString name = FInfoList.value(1);
        const QString path = FInfoList.value(2);
        try {
            if (!IsAvi(name)) {
                made = FSource && FSource->GetThumbnail(path, FWorkBitmap);
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
                }
            }
            if (made)
                prepared = TThumbListView::ScaleThumbnail(FWorkBitmap, FBoxWidth, FBoxHeight);
        } catch (TStopped&) {
            throw;
        } catch (...) {
            made = false;
        }
        if (!made)
            FFailed.insert(path);
        CountStep();
        if (FDone >= FTotal)
            SaveChanges();
        HandOver([this, made, &prepared] {
            if (made && FGrid) {
                PutItemInfo();
                FGrid->SetThumbnail(FCurrentIndex, FWorkBitmap, prepared);
                FInfoList[0] = QStringLiteral("Finished");
                PutItemInfo();
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

void TImageListThread::UpdateCaptionsAndSort() {
    if (!FGrid)
        return;
    try {
        const int mode = FSortMode;
        for (int i = 0; i < FGrid->Count(); ++i) {
            TThumbnailData* item = FGrid->Item(i);
            QStringList& info = item->Info;
            while (info.size() < 9)
                info << QString();
            switch (mode) {
            case 1:
                info[8] = info[3].isEmpty() ? QString()
                                            : QString::number(SizeValue(info[3]) / 1024) +
                                                  QStringLiteral("KB (") + info[6] +
                                                  QLatin1Char('x') + info[7] + QLatin1Char(')');
                break;
            case 2:
                info[8] = !info[4].isEmpty() ? info[4] : info[5];
                break;
            default:
                info[8] = QString();
            }
        }
        FGrid->Sort();
    } catch (...) {
    }
}

bool TImageListThread::SortCompare(int a, int b) const {
    const TThumbnailData* x = FGrid ? FGrid->Item(a) : nullptr;
    const TThumbnailData* y = FGrid ? FGrid->Item(b) : nullptr;
    if (!x || !y)
        return false;
    switch (FSortMode.load()) {
    case 1:
        return SizeValue(x->Info.value(3)) > SizeValue(y->Info.value(3));
    case 2: {
        const QString& kx = x->Info.value(5).isEmpty() ? x->Info.value(4) : x->Info.value(5);
        const QString& ky = y->Info.value(5).isEmpty() ? y->Info.value(4) : y->Info.value(5);
        return CompareUpperBytes(kx, ky) > 0;
    }
    default:
        return CompareUpperBytes(x->Info.value(1), y->Info.value(1)) > 0;
    }
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
        } else {
            DrawIcon(path, bitmap);
            FGrid->SetThumbnail(index, bitmap);
        }
    } catch (...) {
    }
}
