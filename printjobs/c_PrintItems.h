#pragma once
// What a page layout reads of the folder it prints: a read-only list of items, each with the
// nine info strings of a grid item and its file name, and where the pictures come from. The
// thumbnail grid implements the list for the windows; a job run without windows hands in a
// list of its own, so the layouts never see a widget.
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TThumbnailDB;

class TPrintItemList {
public:
    virtual ~TPrintItemList() = default;
    virtual int Count() const = 0;
    // The nine info strings of an item (0 status, 1 file name, 2 full path, 3 size, 4 file
    // date, 5 shooting date, 6 width, 7 height, 8 caption); empty for an index out of range.
    virtual QStringList ItemInfo(int index) const = 0;
    virtual QString ItemFileName(int index) const = 0;
};

// A plain list of items, for jobs without a grid.
class TPrintItemVector : public TPrintItemList {
public:
    struct TItem {
        QString FileName;
        QStringList Info;
    };
    std::vector<TItem> Items;

    // Adds an item for a file: name and full path filled, the other strings empty.
    void AddFile(const QString& path);
    int Count() const override { return int(Items.size()); }
    QStringList ItemInfo(int index) const override;
    QString ItemFileName(int index) const override;
};

// Where the cells' pictures come from.
struct TPrintPictures {
    // Copies the thumbnail of a picture file into bitmap; false (or an exception) when none
    // can be had.
    std::function<bool(const QString& path, QImage& bitmap)> Thumbnail;
    // Draws the file type's icon picture (for files that are never decoded).
    std::function<void(const QString& path, QImage& bitmap)> FileIcon;
};

// Thumbnails from the thumbnail database (copied out of it at once); no icon source.
TPrintPictures DatabasePictures(TThumbnailDB* database);
