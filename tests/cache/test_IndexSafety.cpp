// A cache index or cache bitmap that cannot be read, and named pipes where the cache and
// the settings expect files: the program goes on with what it can read, loses nothing, and
// never waits on a pipe.
#include "support_CacheTest.h"

#include "services/CException.h"
#include "services/CIniFile.h"
#include "support/PipeWatch.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A picture file and a database over a cache folder of its own.
struct TCacheRig {
    TempHome Home;
    QString Photo = Home.Path() + "photo.png", Index = Home.Path() + "Temp/_TDB0100/_TDBCache.dat";
    std::unique_ptr<TThumbnailDB> DB;

    TCacheRig() { MakePicture(Photo, 64, 48, 1); }
    void Open() { DB = NewDB(Home.Path(), Home.Path() + "Temp", 128); }
    QMap<QString, QByteArray> Bitmaps() const { return FilesUnder(Home.Path() + "Temp", "*.bmp"); }
};

} // namespace

TEST(IndexSafety, AnUnreadableIndexIsSetAsideAndTheCacheStartsEmpty) {
    if (geteuid() == 0 && !IsUnprivilegedRerun()) { // a locked file binds only the unprivileged
        EXPECT_TRUE(
            RerunUnprivileged("IndexSafety.AnUnreadableIndexIsSetAsideAndTheCacheStartsEmpty"));
        return;
    }
    ScopedEnv tmp("TMPDIR", IsUnprivilegedRerun() ? QByteArray("/tmp") : qgetenv("TMPDIR"));
    for (const bool pipe : {false, true}) {
        SCOPED_TRACE(pipe ? "pipe" : "locked");
        TCacheRig rig;
        rig.Open(); // a first run leaves a thumbnail and its index
        ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo));
        rig.DB.reset();
        const QMap<QString, QByteArray> before = rig.Bitmaps();
        const QByteArray content = ReadAll(rig.Index);
        TPipeWatch watch;
        if (pipe)
            ASSERT_TRUE(QFile::remove(rig.Index) && watch.Make(rig.Index));
        else
            ::chmod(QFile::encodeName(rig.Index).constData(), 0);
        watch.Start();
        ASSERT_NO_THROW(rig.Open());
        EXPECT_FALSE(watch.Fired());
        EXPECT_EQ(rig.DB->Table().List().Count(), 0);
        EXPECT_FALSE(rig.DB->Table().TakeIndexProblem().isEmpty());
        EXPECT_TRUE(rig.DB->Table().TakeIndexProblem().isEmpty()) << "told once";
        const QStringList kept =
            QDir(QFileInfo(rig.Index).path())
                .entryList({"*.unreadable-*"}, QDir::AllEntries | QDir::System);
        ASSERT_EQ(kept.size(), 1);

        // The run makes the thumbnail again, under an ID of its own, and saves a new index;
        // the old index is kept whole.
        MakePicture(rig.Photo, 64, 48, 2);
        ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo));
        rig.DB.reset();
        const QMap<QString, QByteArray> after = rig.Bitmaps();
        EXPECT_EQ(after.size(), 2);
        EXPECT_EQ(after.value(before.firstKey()), before.first()) << "a kept one written over";
        EXPECT_EQ(ReadAll(rig.Index).count("T,"), 1);
        const QString old = QFileInfo(rig.Index).path() + "/" + kept[0];
        ::chmod(QFile::encodeName(old).constData(), 0600);
        EXPECT_TRUE(pipe || ReadAll(old) == content) << "the old index is kept whole";
    }
}

TEST(IndexSafety, PipesWhereFilesBelongAreNeverOpenedForReading) {
    TCacheRig rig;
    TPipeWatch watch;
    rig.Open();
    ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo));
    const QString bitmap = rig.Bitmaps().firstKey(), ini = rig.Home.Path() + "Thumbnail.ini";
    QFile::remove(bitmap);
    ASSERT_TRUE(watch.Make(bitmap) && watch.Make(ini));
    watch.Start();
    ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo)) << "made again";
    TIniFile file(ini);
    EXPECT_EQ(file.ReadString("Cache", "Directory", "default"), "default");
    EXPECT_THROW(file.WriteString("APP", "APPName", "x"), Exception);
    EXPECT_FALSE(watch.Fired()) << "a pipe was opened for reading";
}
