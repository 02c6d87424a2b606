#include "c_PrintItems.h"

#include "cache/CThumbnailDB.h"

#include <QFileInfo>

void TPrintItemVector::AddFile(const QString& path) {
    TItem item;
    item.FileName = QFileInfo(path).fileName();
    item.Info = QStringList(9, QString());
    item.Info[1] = item.FileName;
    item.Info[2] = path;
    Items.push_back(item);
}

QStringList TPrintItemVector::ItemInfo(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return Items[size_t(index)].Info;
}

QString TPrintItemVector::ItemFileName(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return Items[size_t(index)].FileName;
}

TPrintPictures DatabasePictures(TThumbnailDB* database) {
    TPrintPictures p;
    p.Thumbnail = [database](const QString& path, QImage& bitmap) {
        if (!database || !database->GetThumbnail(path))
            return false;
        const QImage* result = database->ThumbnailInfo().Bitmap;
        if (!result || result->isNull())
            return false;
        bitmap = result->copy(); // the database's picture lasts until its next request
        return true;
    };
    return p;
}
