#pragma once
// What the browsing window remembers between runs, in section "Window" of "Thumbnail.ini":
// the last folder, the thumbnail size and the order, the window's place, size and maximised
// state, and the folder tree's width. Stored when the window closes, read when it is made;
// a file without the section gives the window's own defaults.
#include <QList>
#include <QRect>
#include <QString>

class TIniFile;

struct TWindowState {
    QString Folder;    // empty: none stored
    int SizeIndex = 1; // row of the size table (" Medium")
    int SortMode = 0;  // " Name"
    QRect Geometry;    // the window's frame position and size when not maximised; null: none
    bool Maximized = false;
    int TreeWidth = 0; // 0: none stored
};

// Reads section "Window"; values out of range keep their defaults. False when the file has
// no such section.
bool ReadWindowState(const TIniFile& ini, TWindowState& state);
// Writes the keys whose stored value differs. Raises the settings file's error when it
// cannot be written.
void WriteWindowState(TIniFile& ini, const TWindowState& state);

// The folder itself when it exists, else its nearest existing parent ("/" at the least).
QString NearestExistingFolder(const QString& path);

// What a folder or picture named on the command line (or handed over by a second start)
// opens: the folder to show, the picture to select in it, and a note for the status bar
// when the name does not exist and its nearest existing parent is shown instead.
struct TStartTarget {
    QString Folder;
    QString Picture;
    QString Notice;
};
TStartTarget ResolveStartTarget(const QString& name);

// The window's rectangle, pulled onto a screen when its title strip lies on none of them:
// onto the screen it overlaps most (else the first), shrunk to fit it. screens are the
// screens' available areas; with none the rectangle is kept.
QRect PlaceOnScreens(const QRect& wanted, const QList<QRect>& screens);
