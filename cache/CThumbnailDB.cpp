#include "CThumbnailDB.h"

#include "CThGraphic.h"
#include "imaging/Orientation.h"
#include "services/CCommon.h"
#include "services/CException.h"
#include "services/CThDebugLog.h"

#include <cstdio>

namespace {

bool OpenLog(const QString& programDir) {
    ThDebugLog.Open(JoinPath(programDir, QStringLiteral("Log/A")));
    return true;
}

} // namespace

TThumbnailDB::TThumbnailDB(QObject* owner, const QString& programDir)
    : QObject(owner), FLogOpened(OpenLog(programDir)), FGraphic(new TThGraphic(this)) {
    FThumbnailInfo.Owner = this;
    FOriginalInfo.Owner = this;
}

TThumbnailDB::~TThumbnailDB() {
    try {
        FTable.Save();
    } catch (const std::exception& e) {
        // The previous index stays on disk whole; the changes of this run are lost.
        const QByteArray text =
            QByteArray("Velmora: the thumbnail cache index was not saved: ") + e.what() + '\n';
        std::fputs(text.constData(), stderr);
    }
}

void TThumbnailDB::SaveIndex() {
    FTable.Save();
}

void TThumbnailDB::SetCacheDirectory(const QString& directory) {
    const QString current = FTable.Location().BaseDir;
    if (directory.isEmpty() ||
        (!current.isEmpty() && directory.compare(current, Qt::CaseInsensitive) == 0)) {
        FTable.SetCacheDirectory(directory); // the table's own error, or nothing to do
        return;
    }
    // The new folder's lock is taken before its index is read, so a writer never works
    // from an index older than the last one saved; the old folder's index is saved (or,
    // read-only, not) while its lock is still held.
    // A folder where no lock file can be made is not another process's: storing there is
    // tried, fails and switches itself off as for any folder that cannot be written.
    TCacheLock lock;
    const bool writer = lock.Acquire(directory) || !lock.HeldByOther();
    try {
        FTable.SetCacheDirectory(directory);
    } catch (...) {
        // Still on the old folder when its index could not be saved; on the new one else.
        if (FTable.Location().BaseDir == directory) {
            FTable.ReadOnly = !writer;
            FLock.Swap(lock);
        }
        throw;
    }
    FTable.ReadOnly = !writer;
    FLock.Swap(lock);
    if (!writer && ThDebugLog.Enabled())
        ThDebugLog.Write(ThFormat(QStringLiteral("キャッシュ読み取り専用 %1"), directory));
}

QString TThumbnailDB::GetCacheDirectory() const {
    return FTable.Location().BaseDir;
}

void TThumbnailDB::SetMaxSizeKB(int32_t sizeKB) {
    if (ThDebugLog.Enabled())
        ThDebugLog.Write(ThFormat(QStringLiteral("設定 キャッシュ最大サイズ：%1KB"), sizeKB));
    FTable.Location().MaxSizeKB = sizeKB;
}

int32_t TThumbnailDB::GetMaxSizeKB() const {
    return FTable.Location().MaxSizeKB;
}

void TThumbnailDB::SetWidth(int32_t width) {
    FWidth = width;
    FGraphic->SetBoxWidth(width);
}

void TThumbnailDB::SetHeight(int32_t height) {
    FHeight = height;
    FGraphic->SetBoxHeight(height);
}

bool TThumbnailDB::GetThumbnail(const QString& fileName) {
    if (!FetchThumbnail(fileName))
        return false;
    TurnUpright(fileName);
    return true;
}

void TThumbnailDB::TurnUpright(const QString& fileName) {
    // Turned on the way out, so stored thumbnails and existing caches stay valid whatever
    // the setting, and every caller gets the same upright picture.
    if (!FApplyOrientation || !FThumbnailInfo.Bitmap || FThumbnailInfo.Bitmap->isNull())
        return;
    // OriginalInfo holds the file's time and size as they are now: read for a make, checked
    // against the file for a hit.
    int orientation = 1;
    const auto note = FOrientationNotes.constFind(fileName);
    if (note != FOrientationNotes.constEnd() && note->FileTime == FOriginalInfo.FileTime &&
        note->FileSize == FOriginalInfo.FileSize) {
        orientation = note->Tag;
    } else {
        orientation = ReadOrientation(fileName, FOrientationReader);
        NoteOrientation(fileName, FOriginalInfo.FileTime, FOriginalInfo.FileSize, orientation);
    }
    if (orientation == 1)
        return;
    FUpright = OrientImage(*FThumbnailInfo.Bitmap, orientation);
    FThumbnailInfo.Bitmap = &FUpright;
}

void TThumbnailDB::NoteOrientation(const QString& fileName, const QString& fileTime,
                                   int32_t fileSize, int tag) {
    // A bound on a long session's browsing; the notes are only a shortcut.
    if (FOrientationNotes.size() >= 100000)
        FOrientationNotes.clear();
    FOrientationNotes.insert(fileName, {fileTime, fileSize, tag});
}

bool TThumbnailDB::FetchThumbnail(const QString& fileName) {
    FThumbnailInfo.Made = false;
    if (FTable.Lookup(fileName, FWidth, FHeight)) {
        FThumbnailInfo.Bitmap = &FTable.HitBitmap();
        const TThImage* r = FTable.Current();
        FOriginalInfo.FileName = r->OrgFileName;
        FOriginalInfo.Width = r->OrgWidth;
        FOriginalInfo.Height = r->OrgHeight;
        FOriginalInfo.ExifDateTimeOriginal = r->OrgCreateTime;
        FOriginalInfo.ExifDateTime = r->OrgUpdateTime;
        FOriginalInfo.FileTime = r->OrgFileTime;
        FOriginalInfo.FileSize = r->OrgFileSize;
        FOriginalInfo.VolumeLabel = r->OrgVolLabel;
        FOriginalInfo.VolumeSerial = r->OrgVolSer;
        return true;
    }
    TMadeThumbnail made;
    MakeApart(*FGraphic, fileName, made);
    return StoreMade(fileName, made);
}

void TThumbnailDB::MakeApart(TThGraphic& maker, const QString& fileName, TMadeThumbnail& made) {
    made = TMadeThumbnail();
    if (!maker.MakeThumbnail(fileName))
        return;
    // The attributes stored with the thumbnail are read now, not taken from an earlier
    // request: a stale file time would make the record miss for ever.
    if (!ReadImageInfo(maker, fileName, made.Info))
        return;
    made.Thumbnail = maker.Thumbnail();
    made.Made = true;
}

bool TThumbnailDB::PutMade(const QString& fileName, TMadeThumbnail& made) {
    if (!StoreMade(fileName, made))
        return false;
    TurnUpright(fileName);
    return true;
}

bool TThumbnailDB::StoreMade(const QString& fileName, TMadeThumbnail& made) {
    FThumbnailInfo.Made = true;
    if (!made.Made)
        return false;
    FMadeBitmap = std::move(made.Thumbnail);
    FThumbnailInfo.Bitmap = &FMadeBitmap;
    made.Info.Owner = this;
    FOriginalInfo = std::move(made.Info);
    const QImage& thumbnail = FMadeBitmap;
    // A thumbnail with a side of 0 has no bitmap file to write; it is answered, not kept.
    if (thumbnail.isNull())
        return true;
    const bool wasDisabled = FTable.List().Disabled;
    try {
        FTable.StoreThumbnail(
            fileName, &thumbnail, FWidth, FHeight, FOriginalInfo.Width, FOriginalInfo.Height,
            FOriginalInfo.ExifDateTimeOriginal, FOriginalInfo.ExifDateTime, FOriginalInfo.FileTime,
            FOriginalInfo.FileSize, FOriginalInfo.VolumeLabel, FOriginalInfo.VolumeSerial);
    } catch (const Exception&) {
        // A bitmap that could not be written or deleted has been logged and has switched
        // storing off; the thumbnail just made is still the answer.
        if (wasDisabled || !FTable.List().Disabled)
            throw;
    }
    return true;
}

bool TThumbnailDB::HasStored(const QString& fileName) {
    TThImage& key = FTable.List().SearchKey();
    key.OrgFileName = fileName;
    key.ReqWidth = FWidth;
    key.ReqHeight = FHeight;
    return FTable.List().Find(key) != nullptr;
}

bool TThumbnailDB::RefreshThumbnail(const QString& fileName) {
    FTable.RemoveThumbnail(fileName, FWidth, FHeight);
    return GetThumbnail(fileName);
}

bool TThumbnailDB::ReadImageInfo(TThGraphic& maker, const QString& fileName,
                                 TOriginalImageInfo& info) {
    if (!maker.GetImageInfo(fileName, info.Width, info.Height, info.ExifDateTimeOriginal,
                            info.ExifDateTime, info.FileTime, info.FileSize, info.VolumeLabel,
                            info.VolumeSerial))
        return false;
    info.FileName = fileName;
    return true;
}

bool TThumbnailDB::ReadOriginalInfo(const QString& fileName) {
    // Read aside, so a failure leaves the last answer as it was.
    TOriginalImageInfo info;
    if (!ReadImageInfo(*FGraphic, fileName, info))
        return false;
    info.Owner = this;
    FOriginalInfo = std::move(info);
    return true;
}

bool TThumbnailDB::GetOriginalInfo(const QString& fileName) {
    if (!FileExistsExact(fileName))
        return false;
    // File names compare the platform's way: byte for byte on Linux.
    if (fileName == FOriginalInfo.FileName)
        return true;
    return ReadOriginalInfo(fileName);
}

void TThumbnailDB::ClearCache() {
    FTable.ClearCache();
}
