#include "CDirList.h"

#include <QDir>
#include <algorithm>

static const QString AllMask = QStringLiteral("*.*");

// Length of the mask's extension including the dot; 0 when it is empty or has a "*".
static int32_t MaskExtLength(const QString& mask) {
    const qsizetype dot = mask.lastIndexOf(u'.');
    if (dot < 0)
        return 0;
    const QString ext = mask.mid(dot);
    if (ext.size() <= 1 || ext.contains(u'*'))
        return 0;
    return int32_t(ext.size());
}

static qsizetype ExtLengthOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? 0 : name.size() - dot;
}

TDirList::TDirList(const QString& dir) : FDir(dir) {
    Reset();
}

TDirList::~TDirList() {
    CloseSearch();
}

void TDirList::CloseSearch() {
    FSearch.Close();
    FSearching = false;
}

void TDirList::Reset() {
    FState = DirectoryExists(FDir) ? 0 : 2;
    FPhase = FMode != 0 ? 1 : 0;
}

void TDirList::SetMask(const QString& mask) {
    FMask = mask;
    Reset();
    if (OnChange)
        OnChange();
}

void TDirList::SetMode(uint8_t mode) {
    FMode = mode;
    Reset();
}

bool TDirList::Next() {
    for (;;) {
        if (FState == 2)
            return false;
        if (FState == 0) {
            CloseSearch();
            const QString mask = (FPhase == 1 && FMode == 2) ? AllMask : FMask;
            FExtLength = MaskExtLength(mask);
            FSearching = FSearch.Open(FDir, mask);
            FState = 1;
        }
        PFileEntry e;
        while (FSearching && FSearch.Next(e)) {
            if (e.Name.startsWith(u'.'))
                continue;
            if ((FPhase == 1) != e.IsDir)
                continue;
            if (FExtLength != 0 && ExtLengthOf(e.Name) != FExtLength)
                continue;
            FIsDir = e.IsDir;
            FEntry = std::move(e);
            return true;
        }
        if (FPhase == 1 && FMode == 2) {
            FPhase = 0;
            FState = 0;
            continue;
        }
        CloseSearch();
        FState = 2;
        return false;
    }
}

bool TDirList::IsDirectory() const {
    return FState == 1 ? FIsDir : DirectoryExists(FDir);
}

QString TDirList::Name() const {
    if (FState == 1)
        return FEntry.Name;
    const QString last = FDir.mid(FDir.lastIndexOf(u'/') + 1);
    return last.isEmpty() ? FDir : last;
}

QString TDirList::Path() const {
    return FState == 1 ? JoinPath(FDir, FEntry.Name) : FDir;
}

static void SortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    // Names differing only in letter case are two entries here; only exact repeats go.
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

TFileList::TFileList(const QString& dir, const QString& mask) : FDirName(dir) {
    TDirList list(dir);
    if (!mask.isEmpty())
        list.SetMask(mask);
    while (list.Next())
        (list.IsDirectory() ? FDirs : FFiles).append(list.Name());
    SortNames(FDirs);
    SortNames(FFiles);
}

QString TFileList::FilePath(int index) const {
    if (index < 0 || index >= FFiles.size())
        return {};
    return JoinPath(FDirName, FFiles[index]);
}

bool DirectoryHasEntries(const QString& dir) {
    TDirList list(dir);
    return list.Next();
}

void DeleteFolderContents(const QString& dir) {
    // Entries can only be removed from a folder this process may write.
    ClearReadOnly(dir);
    QStringList files, dirs;
    {
        // The platform search itself, not TDirList: the listing leaves out names beginning
        // with ".", and a folder still holding one (a desktop's ".directory") could not go.
        PDirSearch search;
        PFileEntry e;
        if (search.Open(dir, AllMask))
            while (search.Next(e)) {
                // A link is removed itself; what it points to is left alone.
                if (e.IsDir && !e.IsLink)
                    dirs.append(JoinPath(dir, e.Name));
                else
                    files.append(JoinPath(dir, e.Name));
            }
    }
    for (const QString& f : files) {
        ClearReadOnly(f);
        PRemoveFile(f);
    }
    for (const QString& d : dirs) {
        ClearReadOnly(d);
        DeleteFolderContents(d);
        PRemoveDir(d);
    }
}

bool DeleteFolderTree(const QString& dir) {
    DeleteFolderContents(dir);
    SetNormalAttributes(dir);
    return PRemoveDir(dir);
}

bool DirectoryExists(const QString& dir) {
    return PIsDirectory(dir);
}

bool ForceDirectories(const QString& dir) {
    if (dir.isEmpty())
        return false;
    if (DirectoryExists(dir))
        return true;
    return QDir().mkpath(dir) && DirectoryExists(dir);
}
