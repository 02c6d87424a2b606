#include "support/CacheFiles.h"

#include "support/TestSupport.h"

#include <QDirIterator>

int CountBitmaps(const QString& dir) {
    int n = 0;
    for (QDirIterator it(dir, {"*.bmp"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         ++n)
        it.next();
    return n;
}

int IndexRecords(const QString& cacheDir) {
    return int(("\n" + ReadAll(cacheDir + "/_TDB0100/_TDBCache.dat")).count("\nT,"));
}
