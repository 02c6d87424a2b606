#pragma once
// The writer's lock on a thumbnail cache folder. Two processes (two windows, or a window and
// `velmora print`) may use one cache folder at once; only the one holding this lock writes
// the index and the bitmap files, the others use the cache read-only. The lock is an
// advisory lock on a small file beside the cache's version folder, so the system releases
// it when the holder ends, however it ends, and clearing the cache never removes it.
#include <QString>

class TCacheLock {
public:
    TCacheLock() = default;
    // Releases the lock.
    ~TCacheLock();
    TCacheLock(const TCacheLock&) = delete;
    TCacheLock& operator=(const TCacheLock&) = delete;

    // The lock file of a cache folder: "_TDB0100.lock" in it.
    static QString LockFile(const QString& baseDir);

    // Takes the lock of the cache folder (creating the folder when missing), releasing the
    // one held before; false when another process holds it or the folder cannot be written.
    bool Acquire(const QString& baseDir);
    // Whether the last Acquire failed because another process holds the lock (rather than
    // because the lock file could not be made, as in a folder nobody may write).
    bool HeldByOther() const { return FHeldByOther; }
    // Gives the lock up; nothing when none is held.
    void Release();
    bool Held() const { return FHandle >= 0; }
    // The folder whose lock is held, empty when none is.
    QString Folder() const { return FFolder; }
    // Swaps two locks (a new folder's lock is taken before the old one is let go).
    void Swap(TCacheLock& other);

private:
    int FHandle = -1;
    QString FFolder;
    bool FHeldByOther = false;
};
