#pragma once
// The thumbnail cache of the program. Given an image file it answers a thumbnail that fits
// the current box, from the cache folder when a stored thumbnail matches the file as it is
// now, else made afresh, stored as a bitmap file under a new ID and recorded in the index.
// It keeps the cache below its size limit by deleting the least recently used thumbnails.
//
// There is no lock inside: one thread at a time uses the database. Between processes, the
// one holding the cache folder's writer lock writes it; the others use it read-only.
#include "CCacheLock.h"
#include "CThTable.h"
#include "imaging/ExifReader.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <cstdint>

class TThGraphic;
class TThumbnailDB;

// The result of the last thumbnail request.
struct TThumbnailInfo {
    TThumbnailDB* Owner = nullptr;
    // The table's hit bitmap after a cache hit, the maker's thumbnail after a make; valid
    // until the next request, so callers copy it.
    const QImage* Bitmap = nullptr;
    // Whether the last request made the thumbnail rather than finding it stored.
    bool Made = false;
};

// The attributes of the last source image asked about.
struct TOriginalImageInfo {
    TThumbnailDB* Owner = nullptr;
    QString FileName;
    int32_t Width = 0;
    int32_t Height = 0;
    QString ExifDateTimeOriginal;
    QString ExifDateTime;
    QString FileTime;
    int32_t FileSize = 0;
    QString VolumeLabel;
    QString VolumeSerial;
};

// A thumbnail made apart from the database (on another thread), with the facts of its
// source that the database stores with it.
struct TMadeThumbnail {
    bool Made = false; // false: the file could not be found or read any more
    QImage Thumbnail;  // null for a picture with a side of 0
    TOriginalImageInfo Info;
    QString Error; // what was raised, when the make raised on the other thread
};

class TThumbnailDB : public QObject {
    Q_OBJECT
public:
    // Opens the log as "<programDir>Log/A" (only when logging is on), then creates the
    // table and the thumbnail maker. No cache folder is set yet.
    TThumbnailDB(QObject* owner, const QString& programDir);
    // Saves the index when it changed.
    ~TThumbnailDB() override;

    // Switches to the cache folder, taking its writer lock first; without the lock the
    // folder is used read-only (see ReadOnly).
    void SetCacheDirectory(const QString& directory);
    // Whether another process writes the cache folder in use: thumbnails it lacks are made
    // in memory and not kept, and nothing is written to the folder.
    bool ReadOnly() const { return FTable.ReadOnly; }
    QString GetCacheDirectory() const;
    void SetMaxSizeKB(int32_t sizeKB);
    int32_t GetMaxSizeKB() const;
    void SetWidth(int32_t width);
    void SetHeight(int32_t height);
    int32_t GetWidth() const { return FWidth; }
    int32_t GetHeight() const { return FHeight; }

    // Fills ThumbnailInfo and OriginalInfo; true when a thumbnail is available. The
    // thumbnail is handed out turned upright by the picture's orientation tag (when that
    // is switched on); the stored bitmap stays as decoded.
    bool GetThumbnail(const QString& fileName);
    // Decodes and reduces the file with maker (whose box is set) into made, touching no
    // database: any thread with a maker of its own. Raises as GetThumbnail does.
    static void MakeApart(TThGraphic& maker, const QString& fileName, TMadeThumbnail& made);
    // Stores a thumbnail MakeApart made for the present box and hands it out as GetThumbnail
    // does; false when it was not made.
    bool PutMade(const QString& fileName, TMadeThumbnail& made);
    // Whether a stored thumbnail for the present box matches the file as it is now, without
    // reading its bitmap (a later GetThumbnail may still miss when the bitmap is gone).
    bool HasStored(const QString& fileName);
    // Deletes the stored thumbnail of the file, then does GetThumbnail.
    bool RefreshThumbnail(const QString& fileName);
    // Fills OriginalInfo; true when the file exists and its attributes could be read.
    bool GetOriginalInfo(const QString& fileName);
    // Writes the index now when it changed; raises Exception when it cannot.
    void SaveIndex();
    // Deletes every stored thumbnail, the index, the cache folder and older-version caches.
    void ClearCache();

    // Whether thumbnails are handed out turned by their orientation tag (initially on).
    void SetApplyOrientation(bool on) { FApplyOrientation = on; }
    bool ApplyOrientation() const { return FApplyOrientation; }
    // Records the orientation tag of a file as it is (time and size), read by a caller
    // that had its EXIF block anyway, so the next hand-out need not read the file again.
    void NoteOrientation(const QString& fileName, const QString& fileTime, int32_t fileSize,
                         int tag);

    const TThumbnailInfo& ThumbnailInfo() const { return FThumbnailInfo; }
    const TOriginalImageInfo& OriginalInfo() const { return FOriginalInfo; }

    TThTable& Table() { return FTable; }
    TThGraphic& Graphic() { return *FGraphic; }

private:
    // Fills info with the file's attributes as maker reads them; false when they cannot be read.
    static bool ReadImageInfo(TThGraphic& maker, const QString& fileName, TOriginalImageInfo& info);
    bool ReadOriginalInfo(const QString& fileName);
    bool FetchThumbnail(const QString& fileName);
    bool StoreMade(const QString& fileName, TMadeThumbnail& made);
    void TurnUpright(const QString& fileName);

    bool FLogOpened;  // the log is opened before the table logs its settings
    TCacheLock FLock; // released after the table saved its index (members go in reverse)
    TThTable FTable;
    TThGraphic* FGraphic;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    TThumbnailInfo FThumbnailInfo;
    TOriginalImageInfo FOriginalInfo;
    bool FApplyOrientation = true;
    QImage FMadeBitmap;             // the thumbnail of the last make
    TExifReader FOrientationReader; // apart from the maker's, whose block callers read
    QImage FUpright;                // the handed-out thumbnail when it had to be turned
    struct TOrientationNote {
        QString FileTime;
        int32_t FileSize = 0;
        int Tag = 1;
    };
    QHash<QString, TOrientationNote> FOrientationNotes;
};
