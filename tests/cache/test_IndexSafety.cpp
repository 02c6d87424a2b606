// A cache index or cache bitmap that cannot be read, and named pipes where the cache and
// the settings expect files: the program goes on with what it can read, loses nothing, and
// never waits on a pipe.
#include "cache/CThumbnailDB.h"
#include "services/CException.h"
#include "services/CIniFile.h"
#include "support/PipeWatch.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QImage Thumb(QColor colour) {
    QImage img(64, 48, QImage::Format_RGB888);
    img.fill(colour);
    return img;
}

// A picture file and a database over a cache folder of its own.
struct TCacheRig {
    TempHome Home;
    QString Cache = Home.Path() + "Temp";
    QString Photo = Home.Path() + "photo.png";
    std::unique_ptr<TThumbnailDB> DB;

    TCacheRig() {
        QDir().mkpath(Cache);
        EXPECT_TRUE(Thumb(Qt::red).save(Photo));
    }
    void Open() {
        DB = std::make_unique<TThumbnailDB>(nullptr, Home.Path());
        DB->SetCacheDirectory(Cache);
        DB->SetMaxSizeKB(100000);
        DB->SetWidth(128);
        DB->SetHeight(128);
    }
    QString Index() const { return DB->Table().Location().IndexFile(); }
    QStringList Aside() const {
        return QDir(QFileInfo(Index()).path())
            .entryList({"_TDBCache.dat.unreadable-*"}, QDir::AllEntries | QDir::System);
    }
    // The bitmap files with their bytes.
    QMap<QString, QByteArray> Bitmaps() const {
        QMap<QString, QByteArray> out;
        QDirIterator it(Cache, {"*.bmp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            out[f] = ReadAll(f);
        }
        return out;
    }
};

} // namespace

TEST(IndexSafety, AnUnreadableIndexIsSetAsideAndTheCacheStartsEmpty) {
    if (geteuid() == 0 && !IsUnprivilegedRerun()) {
        // A locked file binds only an unprivileged user.
        EXPECT_TRUE(
            RerunUnprivileged("IndexSafety.AnUnreadableIndexIsSetAsideAndTheCacheStartsEmpty"));
        return;
    }
    ScopedEnv tmp("TMPDIR", IsUnprivilegedRerun() ? QByteArray("/tmp") : qgetenv("TMPDIR"));
    struct TCase {
        const char* Name;
        std::function<void(const QString& index, TPipeWatch& watch)> Spoil;
    };
    const TCase cases[] = {
        {"locked", [](const QString& index,
                      TPipeWatch&) { ::chmod(QFile::encodeName(index).constData(), 0); }},
        {"pipe",
         [](const QString& index, TPipeWatch& watch) {
             QFile::remove(index);
             ASSERT_TRUE(watch.Make(index));
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCacheRig rig;
        // A first run leaves a thumbnail and its index.
        rig.Open();
        ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo));
        const QString index = rig.Index();
        rig.DB.reset();
        const QMap<QString, QByteArray> before = rig.Bitmaps();
        ASSERT_EQ(before.size(), 1);
        const QByteArray content = ReadAll(index);
        ASSERT_TRUE(content.startsWith('T'));
        TPipeWatch watch;
        c.Spoil(index, watch);

        watch.Start();
        ASSERT_NO_THROW(rig.Open());
        EXPECT_FALSE(watch.Fired());
        EXPECT_EQ(rig.DB->Table().List().Count(), 0);
        EXPECT_FALSE(rig.DB->Table().TakeIndexProblem().isEmpty());
        EXPECT_TRUE(rig.DB->Table().TakeIndexProblem().isEmpty()) << "told once";
        const QStringList aside = rig.Aside();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_FALSE(QFileInfo::exists(index));

        // The run makes the thumbnail again, under an ID of its own, and saves a new index.
        const QImage other = Thumb(Qt::blue);
        ASSERT_TRUE(other.save(rig.Photo));
        ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo));
        rig.DB.reset();
        const QMap<QString, QByteArray> after = rig.Bitmaps();
        EXPECT_EQ(after.size(), 2);
        for (auto it = before.begin(); it != before.end(); ++it)
            EXPECT_EQ(after.value(it.key()), it.value()) << "a kept thumbnail was written over";
        const QByteArray fresh = ReadAll(index);
        EXPECT_EQ(fresh.count("\nT") + (fresh.startsWith('T') ? 1 : 0), 1);
        if (QString(c.Name) == "locked") {
            const QString kept = QFileInfo(index).path() + "/" + aside[0];
            ::chmod(QFile::encodeName(kept).constData(), 0600);
            EXPECT_EQ(ReadAll(kept), content) << "the old index is kept whole";
        }
    }
}

TEST(IndexSafety, PipesWhereFilesBelongAreNeverOpenedForReading) {
    struct TCase {
        const char* Name;
        std::function<void(TCacheRig&, TPipeWatch&)> Run;
    };
    const TCase cases[] = {
        {"settings file",
         [](TCacheRig& rig, TPipeWatch& watch) {
             const QString ini = rig.Home.Path() + "Thumbnail.ini";
             ASSERT_TRUE(watch.Make(ini));
             TIniFile file(ini);
             EXPECT_EQ(file.ReadString("Cache", "Directory", "default"), "default");
             EXPECT_EQ(file.ReadInteger("Cache", "Size", -1), -1);
             EXPECT_THROW(file.WriteString("APP", "APPName", "x"), Exception);
         }},
        {"cache bitmap",
         [](TCacheRig& rig, TPipeWatch& watch) {
             rig.Open();
             ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo));
             const QString bitmap = rig.Bitmaps().firstKey();
             QFile::remove(bitmap);
             ASSERT_TRUE(watch.Make(bitmap));
             // The stored thumbnail is unreadable now: the request makes it again.
             ASSERT_TRUE(rig.DB->GetThumbnail(rig.Photo));
             EXPECT_EQ(rig.DB->ThumbnailInfo().Bitmap->size(), QSize(128, 96));
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCacheRig rig;
        TPipeWatch watch;
        watch.Start();
        c.Run(rig, watch);
        EXPECT_FALSE(watch.Fired()) << "a pipe was opened for reading";
    }
}
