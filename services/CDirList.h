#pragma once
// Enumeration of one folder's entries with exact extension masks, a sorted listing of a
// folder, deletion of folder trees and the folder existence helpers.
#include "platform/PFileSystem.h"
#include "services/CCommon.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// One enumeration of one folder. Mode 0 lists files only, 1 folders only, 2 (default)
// folders first and then files. Names beginning with "." are never listed, nor "." and
// "..". With a mask such as "*.jpg" only names whose extension has exactly the mask's
// length pass ("a.jpeg" is dropped, "a.JPG" kept).
class TDirList {
public:
    explicit TDirList(const QString& dir);
    ~TDirList();
    TDirList(const TDirList&) = delete;
    TDirList& operator=(const TDirList&) = delete;

    // State 0 when Dir exists as a folder, else 2; Phase 1 unless only files are listed.
    void Reset();
    void SetMask(const QString& mask);
    const QString& GetMask() const { return FMask; }
    // Changes what is listed and starts over.
    void SetMode(uint8_t mode);
    uint8_t GetMode() const { return FMode; }

    // Moves to the next accepted entry; false when there are no more.
    bool Next();
    bool IsDirectory() const;
    QString Name() const;
    QString Path() const;
    // The current entry (valid while enumerating).
    const PFileEntry& Entry() const { return FEntry; }

    const QString& Dir() const { return FDir; }
    bool Searching() const { return FSearching; }
    uint8_t State() const { return FState; }
    uint8_t Phase() const { return FPhase; }
    int32_t ExtLength() const { return FExtLength; }

    // Called after the mask is changed; may be unset.
    std::function<void()> OnChange;

private:
    void CloseSearch();

    QString FDir;
    QString FMask = QStringLiteral("*.*");
    bool FSearching = false;
    bool FIsDir = false;
    uint8_t FState = 0;
    uint8_t FPhase = 1;
    uint8_t FMode = 2;
    PFileEntry FEntry;
    int32_t FExtLength = 0;
    PDirSearch FSearch;
};

// A finished listing of one folder: subfolder and file names (without path), each sorted
// without regard to letter case.
class TFileList {
public:
    explicit TFileList(const QString& dir, const QString& mask = QString());

    // Dir joined with Files[index]; empty for an index outside the list.
    QString FilePath(int index) const;
    const QString& Dir() const { return FDirName; }
    const QStringList& Dirs() const { return FDirs; }
    const QStringList& Files() const { return FFiles; }

private:
    QString FDirName;
    QStringList FDirs, FFiles;
};

// Whether one enumeration step finds anything in the folder.
bool DirectoryHasEntries(const QString& dir);
// Deletes everything inside the folder, hidden (".name") and read-only entries included;
// single failures are ignored.
void DeleteFolderContents(const QString& dir);
// Deletes the folder with everything in it; true when the folder itself was removed.
bool DeleteFolderTree(const QString& dir);
bool DirectoryExists(const QString& dir);
// Creates the folder and any missing parents; true when it exists afterwards.
bool ForceDirectories(const QString& dir);
