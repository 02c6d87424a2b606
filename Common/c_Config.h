#pragma once
// The process-wide configuration made when the main window is created: the settings file
// "Thumbnail.ini", the program folder, the default and the chosen cache folder, the cache
// size, the accepted file extensions and the thumbnail box sizes.
#include <QString>
#include <QStringList>

class TIniFile;

// The open "Thumbnail.ini" in AppDir (null until LoadConfiguration).
extern TIniFile* IniFile;
// The program folder, ending with "/": VELMORA_HOME when set, else the program's own folder
// when it is writable, else $XDG_DATA_HOME/velmora/.
extern QString AppDir;
// AppDir + "Temp": the default cache folder (no trailing "/").
extern QString TempDir;
// The cache folder in use and its size limit in kilobytes.
extern QString CacheDir;
extern int CacheSizeKB;
// Whether thumbnails are turned upright by their orientation tag: "Thumbnail" /
// "Orientation", on unless it reads 0.
extern bool ApplyOrientation;
// "bmp,jpg,jpeg,tif,tiff,png,avi", in that order.
extern const QStringList ExtensionList;

struct TSizeTableRow {
    QString Caption; // the size box's item
    int Width;       // the thumbnail box
    int Height;
};
// " Large" 256, " Medium" 128 (the initial choice), " Small" 96.
extern const TSizeTableRow SizeTable[3];
constexpr int SizeTableCount = 3;

// The program folder as described for AppDir (created when it is the per-user folder). An
// installed program (InstalledDataDir beside it) never keeps its files next to itself, even
// where it could write there (root and /usr/bin): it uses the per-user folder.
QString ResolveAppDir();
// The installed data folder ("share/velmora" beside the program's "bin"), when the program
// runs from an installation; empty otherwise.
QString InstalledDataDir();

// Opens the settings file (creating it with "APP"/"APPName" when missing), sets AppDir and
// TempDir, resolves the cache folder (falling back to TempDir, and recording that when the
// settings file is writable) and the cache size. May be run again; it starts afresh.
void LoadConfiguration();
