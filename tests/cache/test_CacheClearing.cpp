// Clearing the thumbnail cache when its folders hold entries a folder listing never shows:
// names beginning with "." (a desktop's ".directory", a hidden folder).
#include "support_CacheTest.h"

#include "services/CDirList.h"
#include "services/CException.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CacheClearing, HiddenEntriesDoNotKeepCacheFoldersAlive) {
    for (const char* where : {"_TDB0100/.directory", "_TDB0100/A00000/.hidden/x.bmp",
                              "_TDB0099/.directory", "_TDB0042/.hidden/.deeper/y"}) {
        SCOPED_TRACE(where);
        QTemporaryDir home;
        const QString base = home.path() + "/cache", picture = home.path() + "/p.png";
        auto db = NewDB(home.path() + "/", base, 64);
        MakePicture(picture, 80, 60, 1);
        ASSERT_TRUE(db->GetThumbnail(picture));
        WriteFileBytes(base + "/" + where, "x");
        // Clearing twice: an old folder left behind would be found again and again until
        // the clearing gives up with too many old caches.
        for (int round = 0; round < 2; ++round)
            EXPECT_NO_THROW(db->ClearCache()) << "round " << round;
        // Only the writer's lock file stays: it belongs to the folder, not to a cache.
        EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"_TDB0100.lock"});
        ASSERT_TRUE(db->GetThumbnail(picture));
        EXPECT_TRUE(QFileInfo::exists(base + "/_TDB0100/A00000/A0000000.bmp"));
    }

    QTemporaryDir tmp;
    const QString root = tmp.path() + "/tree";
    for (const char* f : {"/.profile", "/visible.txt", "/.git/objects/.keep", "/sub/..double"})
        WriteFileBytes(root + f, "x");
    EXPECT_EQ(TFileList(root).Files(), QStringList{"visible.txt"}) << "the listing hides them";
    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(QFileInfo::exists(root));
}
