#pragma once
// What a thumbnail cache folder holds on disk, counted the way the cache tests check it: the
// bitmaps under a folder, and the records of a cache's saved index.
#include <QString>

// The .bmp files anywhere below the folder.
int CountBitmaps(const QString& dir);
// The records ("T,..." lines) of the index saved under the cache folder; 0 without one.
int IndexRecords(const QString& cacheDir);
