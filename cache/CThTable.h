#pragma once
// The record table of the thumbnail cache: loading and saving the index file
// "_TDBCache.dat", and the operations on the records (lookup, storing a new thumbnail,
// IDs, the size limit and eviction, clearing, switching the folder).
//
// The index is saved through a temporary file in the same folder that is written to the
// disk and then renamed over the old index, so a crash, a kill or a full disk during a
// save leaves the previous index whole.
#include "CThImageBase.h"

#include <QImage>
#include <QString>
#include <cstdint>

class QIODevice;

// Reads a stored thumbnail: a BMP of exactly storedSize bytes that fits the box. False with
// the reason for anything else (a damaged or foreign file).
bool ReadCachedBitmap(QIODevice& device, qint64 storedSize, int32_t reqWidth, int32_t reqHeight,
                      QImage& bitmap, QString& error);

class TThTable {
public:
    // Logs the ID settings.
    TThTable();
    ~TThTable();
    TThTable(const TThTable&) = delete;
    TThTable& operator=(const TThTable&) = delete;

    // Appends the records of the index file of the cache folder (nothing when there is
    // no index) and clears Dirty. An index that cannot be read is set aside under a new
    // name and the cache starts empty (see IndexProblem); it is never written over.
    void Load();
    // Writes the whole index when the list changed since the last load or save.
    void Save();
    // What went wrong with the last index that could not be read, or empty; cleared by
    // reading it, so it is told once.
    QString TakeIndexProblem();

    // Set while another process holds the cache folder's writer lock: lookups read what is
    // there, but nothing is written or deleted (index, bitmaps, folders), and a stored
    // bitmap written after the index was loaded is not trusted, since its ID may now name
    // another picture.
    bool ReadOnly = false;

    TThImageBase& List() { return FList; }
    TThCacheFileName& Location() { return FList.Location(); }
    const TThCacheFileName& Location() const { return FList.Location(); }
    // The record of the last hit or store; the search key otherwise.
    TThImage* Current() const { return FCurrent; }
    // The bitmap read by the last hit.
    QImage& HitBitmap() { return FHitBitmap; }
    // Lines read by the last load or written by the last save.
    int LineCount() const { return FLineCount; }

    // Looks for a stored thumbnail of the file for the box and reads it into HitBitmap.
    // A record whose bitmap is gone or unreadable is dropped and the lookup misses.
    bool Lookup(const QString& fileName, int32_t width, int32_t height);
    // Records a newly made thumbnail and writes its bitmap (after the size check);
    // nothing is stored while the cache is disabled.
    void StoreThumbnail(const QString& fileName, const QImage* bitmap, int32_t reqWidth,
                        int32_t reqHeight, int32_t orgWidth, int32_t orgHeight,
                        const QString& exifDateTimeOriginal, const QString& exifDateTime,
                        const QString& fileTime, int32_t fileSize, const QString& volumeLabel,
                        const QString& volumeSerial);
    // Writes the bitmap under a new ID and notes its time and size in the record.
    bool SaveThBitmap(TThImage* image, const QImage* bitmap);
    // Reads the record's bitmap; false when the file isn't there, an error when it can't
    // be read or isn't the thumbnail that was stored.
    bool LoadThBitmap(TThImage* image, QImage* bitmap);
    // The next ID, reserving its block of IDs when it starts one.
    int32_t NextID();
    // Deletes the record's bitmap file (and its folder when that is left empty).
    void DeleteThBitmap(TThImage* image);
    // Evicts when the cache has grown past its upper limit.
    void CheckSize();
    // Deletes up to count of the least recently used thumbnails, down to the lower limit.
    void Evict(int count);
    // Deletes the stored thumbnail of the file for the box, when there is a matching one.
    bool RemoveThumbnail(const QString& fileName, int32_t width, int32_t height);
    // Deletes every stored thumbnail, the index, the cache folder and the folders of older
    // cache versions.
    void ClearCache();
    // Saves the index of the current folder and loads the new folder's.
    void SetCacheDirectory(const QString& baseDir);

private:
    void RemoveImage(TThImage* image);
    void SetIndexAside(const QString& path, const QString& error);
    void DeleteThBitmapFile(const QString& path);

    TThImageBase FList;
    TThImage* FCurrent;
    QImage FHitBitmap;
    int FLineCount = 0;
    int64_t FIndexStamp = -1; // last-write time of the index when loaded, in nanoseconds
    QString FIndexProblem;
    bool FSaveBlocked = false; // an unreadable index could not be moved out of the way
};
