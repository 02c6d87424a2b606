// Clearing the thumbnail cache when its folders hold entries a folder listing never shows:
// names beginning with "." (a desktop's ".directory", a hidden folder).
#include "cache/CThumbnailDB.h"
#include "services/CDirList.h"
#include "services/CException.h"
#include "support_CacheTest.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CacheClearing, HiddenEntriesDoNotKeepCacheFoldersAlive) {
    struct {
        const char* Where; // under the cache's base folder
    } cases[] = {{"_TDB0100/.directory"},        {"_TDB0100/A00000/.thumbs.db"},
                 {"_TDB0100/.hidden/x.bmp"},     {"_TDB0099/.directory"},
                 {"_TDB0042/.hidden/.deeper/y"}, {"_TDB0100/.a/.b/.c/.d"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Where);
        QTemporaryDir home;
        const QString base = home.path() + "/cache";
        TThumbnailDB db(nullptr, home.path() + "/");
        db.SetCacheDirectory(base);
        db.SetMaxSizeKB(100000);
        db.SetWidth(64);
        db.SetHeight(64);
        const QString picture = home.path() + "/p.png";
        QImage img(80, 60, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        ASSERT_TRUE(img.save(picture));
        ASSERT_TRUE(db.GetThumbnail(picture));
        WriteFileBytes(base + "/" + c.Where, "x");

        // Clearing twice: an old folder left behind would be found again and again until
        // the clearing gives up with too many old caches.
        for (int round = 0; round < 2; ++round) {
            try {
                db.ClearCache();
            } catch (const Exception& e) {
                FAIL() << "round " << round << ": " << e.Message().toStdString();
            }
        }
        // Only the writer's lock file stays: it belongs to the folder, not to a cache.
        EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"_TDB0100.lock"});
        // And the cache is usable again.
        ASSERT_TRUE(db.GetThumbnail(picture));
        EXPECT_TRUE(QFileInfo::exists(base + "/_TDB0100/A00000/A0000000.bmp"));
    }
}

TEST(CacheClearing, DeleteFolderTreeRemovesEverythingTheListingHides) {
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/tree";
    for (const char* f : {"/.profile", "/visible.txt", "/.git/config", "/.git/objects/.keep",
                          "/sub/.directory", "/sub/..double"})
        WriteFileBytes(root + f, "x");
    TFileList listing(root);
    EXPECT_EQ(listing.Files(), QStringList{"visible.txt"}) << "the listing still hides them";
    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(QFileInfo::exists(root));
}
