#pragma once
// Thin Linux layer under the folder and file services: wildcard enumeration of a folder,
// one entry's attributes, the read-only attribute, deletion, and the volume label and
// serial of the file system holding a path.
//
// Meanings on Linux: an entry is read-only when this process cannot write it; hidden when
// its name starts with "."; there are no system files. Masks match without regard to
// letter case ("*.jpg" finds "A.JPG"); "*.*" matches every name.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

class QFile;

// File names cross between the file system and the program here, and only here. Names are
// UTF-8; a byte that does not decode as part of a UTF-8 character (names from old discs and
// other systems, in Latin-1 or Shift-JIS) is kept as the lone surrogate U+DC80 + (byte -
// 0x80) and turned back into the same byte, so every name survives the round trip and no
// two names meet. Shown on screen, such a byte appears as a replacement mark.
QString PDecodeName(const char* data, qsizetype size);
inline QString PDecodeName(const QByteArray& native) {
    return PDecodeName(native.constData(), native.size());
}
QByteArray PEncodeName(const QString& name);

// Opens an existing regular file for reading (never a pipe or device): the descriptor, or -1
// with errno set (EINVAL for what is not a regular file).
int POpenRead(const QString& path);
// The same through a QFile that owns the descriptor; false, with the system's text in
// error, when the file can't be opened.
bool POpenRead(const QString& path, QFile& file, QString* error = nullptr);

struct PFileEntry {
    QString Name;          // without path
    bool IsDir = false;    // a folder (symbolic links are followed)
    bool IsLink = false;   // a symbolic link (to a folder, a file or nothing)
    bool ReadOnly = false; // this process cannot write it
    bool Hidden = false;   // name starts with "."
    int64_t Size = 0;      // bytes (0 for folders)
    int64_t MTime = 0;     // last-write time, seconds since the epoch (UTC)
    int32_t MTimeNsec = 0; // and the nanoseconds within that second
};

// True when the name matches the wildcard mask ("*" any run, "?" one character), letter
// case ignored. A mask ending in ".*" also matches names without an extension.
bool PMatchMask(const QString& name, const QString& mask);

// One open enumeration of a folder. Entries come in the order the file system gives them,
// "." and ".." left out. The search is closed by Close() or by destruction.
class PDirSearch {
public:
    PDirSearch() = default;
    ~PDirSearch();
    PDirSearch(const PDirSearch&) = delete;
    PDirSearch& operator=(const PDirSearch&) = delete;

    // Opens the folder; false when it can't be read.
    bool Open(const QString& dir, const QString& mask);
    // The next entry matching the mask; false when there are no more.
    bool Next(PFileEntry& entry);
    void Close();
    bool IsOpen() const { return FDir != nullptr; }

private:
    void* FDir = nullptr; // DIR*
    QString FPath, FMask;
};

// One pass over a folder: every entry's name and whether it is a folder (links followed),
// in the order the file system gives them, "." and ".." left out. Only entries whose type
// the directory itself does not tell are looked up. False when the folder can't be read.
struct PNameEntry {
    QString Name;
    bool IsDir = false;
};
bool PListNames(const QString& dir, QList<PNameEntry>& entries);

// The attributes of one entry (file or folder); false when it doesn't exist.
bool PStatEntry(const QString& path, PFileEntry& entry);
bool PIsDirectory(const QString& path);
bool PIsWritable(const QString& path);
// Gives the owner write permission (and, for a folder, the right to list and enter it).
bool PAddOwnerWrite(const QString& path);
bool PRemoveFile(const QString& path);
bool PRemoveDir(const QString& path);
bool PMakeDir(const QString& path);

// The volume of the file system holding the path (or its nearest existing parent): the
// low 32 bits of the file system id and the file system label from /dev/disk/by-label
// (empty when it has none). False when the file system can't be queried.
bool PVolumeInfo(const QString& path, QString& label, uint32_t& serial);
