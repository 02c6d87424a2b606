#pragma once
// Shared routines of the browsing window and the print jobs: which files a folder shows,
// file-type tests, the default cache size, the icon drawn for files that are not decoded
// ("avi") and the font-size box check.
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// The bare names (no folder part) of the folder's files whose lower-cased extension is one
// of `extensions`, grouped by extension in the order of the list, each group in the order
// the file system gives it. Folders are never listed. The caller owns the list.
QStringList ListImageFiles(const QString& folder, const QStringList& extensions);

// The text after the last ".", ASCII letters lower-cased; a name without "." gives the
// whole name, lower-cased.
QString GetLowerExt(const QString& fileName);

// The default cache size in megabytes for a cache folder: 250 when the file system holding
// it has 1000 MB or more free for this user, else a quarter of the free megabytes; 0 when the
// free space cannot be read.
int DefaultCacheSize(const QString& path);

// The free-space query DefaultCacheSize asks (tests replace it; an empty function restores
// the real one). Returns false when the space cannot be read.
using TFreeSpaceQuery = std::function<bool(const QString& path, uint64_t& bytes)>;
void SetFreeSpaceQuery(TFreeSpaceQuery query);

// Makes `bitmap` the file type's 32 × 32 icon centred on a white picture 16 pixels larger
// each way (48 × 48). The file need not exist. Raises Exception "Assertion failure ..." when
// no icon can be had. Safe from any thread once the type's icon has been drawn once on the
// window thread; the start-up draws the "avi" icon early for the loading thread.
void DrawFileIcon(const QString& fileName, QImage& bitmap);
constexpr int FileIconSize = 32;

// The icon lookup DrawFileIcon uses (tests replace it; an empty function restores the
// real one: the MIME type's icon from the theme, its generic icon, then the platform's
// file icon).
using TFileIconLookup = std::function<QIcon(const QString& fileName)>;
void SetFileIconLookup(TFileIconLookup lookup);

// Makes sure a themed icon set is in use (Adwaita when the desktop names none).
void EnsureIconTheme();

// The integer value of the text when it is an integer from 3 to 28, else 0.
int StrToIntInRange(const QString& text);
