#include "support/CacheFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

int CountBitmaps(const QString& dir) {
    int n = 0;
    QDirIterator it(dir, {"*.bmp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

int IndexRecords(const QString& cacheDir) {
    QFile f(cacheDir + "/_TDB0100/_TDBCache.dat");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    int n = 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        n += line.startsWith("T,") ? 1 : 0;
    return n;
}
