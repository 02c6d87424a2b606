#pragma once
// The thumbnail cache of the program. Given an image file it answers a thumbnail that fits
// the current box, from the cache folder when a stored thumbnail matches the file as it is
// now, else made afresh, stored as a bitmap file under a new ID and recorded in the index.
// It keeps the cache below its size limit by deleting the least recently used thumbnails.
//
// There is no lock inside: one thread at a time uses the database.
#include "CThTable.h"

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

class TThumbnailDB : public QObject {
    Q_OBJECT
public:
    // Opens the log as "<programDir>Log/A" (only when logging is on), then creates the
    // table and the thumbnail maker. No cache folder is set yet.
    TThumbnailDB(QObject* owner, const QString& programDir);
    // Saves the index when it changed.
    ~TThumbnailDB() override;

    void SetCacheDirectory(const QString& directory);
    QString GetCacheDirectory() const;
    void SetMaxSizeKB(int32_t sizeKB);
    int32_t GetMaxSizeKB() const;
    void SetWidth(int32_t width);
    void SetHeight(int32_t height);
    int32_t GetWidth() const { return FWidth; }
    int32_t GetHeight() const { return FHeight; }

    // Fills ThumbnailInfo and OriginalInfo; true when a thumbnail is available.
    bool GetThumbnail(const QString& fileName);
    // Deletes the stored thumbnail of the file, then does GetThumbnail.
    bool RefreshThumbnail(const QString& fileName);
    // Fills OriginalInfo; true when the file exists and its attributes could be read.
    bool GetOriginalInfo(const QString& fileName);
    // Writes the index now when it changed; raises Exception when it cannot.
    void SaveIndex();
    // Deletes every stored thumbnail, the index, the cache folder and older-version caches.
    void ClearCache();

    const TThumbnailInfo& ThumbnailInfo() const { return FThumbnailInfo; }
    const TOriginalImageInfo& OriginalInfo() const { return FOriginalInfo; }

    TThTable& Table() { return FTable; }
    TThGraphic& Graphic() { return *FGraphic; }

private:
    bool ReadOriginalInfo(const QString& fileName);

    bool FLogOpened; // the log is opened before the table logs its settings
    TThTable FTable;
    TThGraphic* FGraphic;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    TThumbnailInfo FThumbnailInfo;
    TOriginalImageInfo FOriginalInfo;
};
