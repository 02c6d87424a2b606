// The loader against the real thumbnail database on pictures made here: a corrupt picture,
// named pipes called like pictures, a size change over a warm cache, "Reload this image", facts
// of real files, and names that are not UTF-8.
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "platform/PFileSystem.h"
#include "support/CacheFiles.h"
#include "support/PipeWatch.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct TDbRig {
    TempHome Home;
    QTemporaryDir Photos;
    QString Cache = Home.Path() + "Temp";
    std::unique_ptr<TThumbnailDB> DB;
    TThumbListView Grid;
    QAction Reload{"Reload this image"};
    std::unique_ptr<TImageListThread> Thread;
    QList<int> Reports;

    TDbRig() {
        QDir().mkpath(Cache);
        DB = std::make_unique<TThumbnailDB>(nullptr, Home.Path());
        DB->SetCacheDirectory(Cache);
        DB->SetMaxSizeKB(100000);
        Grid.resize(621, 400);
        Thread = std::make_unique<TImageListThread>(&Grid, &Reload, MakeDatabaseSource(DB.get()));
        Thread->OnProgress = [this](int p) { Reports << p; };
        Thread->SetThumbSize(128, 128);
    }
    ~TDbRig() {
        Thread.reset(); // before the database it uses
        DB.reset();
    }
    QString Photo(const QString& name, int w, int h, QColor c) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(c);
        QPainter(&img).fillRect(0, 0, w / 2, h / 2, Qt::white);
        const QString path = Photos.filePath(name);
        EXPECT_TRUE(img.save(path, nullptr, 90));
        return path;
    }
    bool Run(const std::function<void()>& request) {
        Reports.clear();
        request();
        return WaitFor(
            [&] { return Thread->Idle() && !Reports.isEmpty() && Reports.last() >= 100; }, 60000);
    }
    const TThumbnailData* ByName(const QString& name) const {
        for (int i = 0; i < Grid.Count(); ++i)
            if (Grid.Item(i)->FileName == name)
                return Grid.Item(i);
        return nullptr;
    }
};

} // namespace

TEST(LoaderDatabase, CorruptPictureAndPipesStayBlankAndLoadingCompletesOnce) {
    TDbRig rig;
    TPipeWatch watch;
    QStringList list;
    for (int i = 0; i < 4; ++i)
        list << rig.Photo(QString("p%1.jpg").arg(i), 640, 480, QColor(40 * i, 100, 200));
    list << rig.Photos.filePath("broken.jpg");
    WriteRaw(list.last(), QByteArray("\xFF\xD8\xFF\xE0 not a picture", 18) + QByteArray(500, 1));
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.tif"}) { // named like pictures
        ASSERT_TRUE(watch.Make(rig.Photos.filePath(name)));
        list << rig.Photos.filePath(name);
    }
    watch.Start();
    ASSERT_TRUE(rig.Run([&] { rig.Thread->SetFileList(list); }));
    EXPECT_FALSE(watch.Fired()) << "a pipe was opened for reading";
    EXPECT_EQ(rig.Reports.size(), 16);
    EXPECT_EQ(rig.Reports.count(100), 1);
    for (const QString name : {"broken.jpg", "pipe.jpg", "pipe.png", "pipe.tif", "p0.jpg"}) {
        ASSERT_NE(rig.ByName(name), nullptr) << qPrintable(name);
        EXPECT_EQ(rig.ByName(name)->Bitmap.size(), name == "p0.jpg" ? QSize(128, 96) : QSize(0, 0))
            << qPrintable(name);
    }
    // "Reload this image" makes the selected picture again (item 0 is broken.jpg).
    rig.Grid.Item(1)->Bitmap = QImage();
    rig.Grid.SetSelected(1);
    rig.Thread->ReloadThisImage();
    EXPECT_EQ(rig.Grid.Item(1)->Bitmap.size(), QSize(128, 96));
    rig.Thread.reset(); // closing waits for the loader, which must not be stuck on a pipe
    EXPECT_FALSE(watch.Fired());
}

TEST(LoaderDatabase, SizeChangeRestartsBothPassesAndAWarmCacheMakesNoDecode) {
    TDbRig rig;
    QStringList list;
    for (int i = 0; i < 6; ++i)
        list << rig.Photo(QString("w%1.jpg").arg(i), 800, 600, QColor(30 * i, 60, 90));
    ASSERT_TRUE(rig.Run([&] { rig.Thread->SetFileList(list); }));
    EXPECT_EQ(CountBitmaps(rig.Cache), 6);
    // Same size and time, but content no decoder accepts: only the cache can answer now.
    for (const QString& path : list) {
        QFile f(path);
        const QDateTime mtime = QFileInfo(path).lastModified();
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write(QByteArray(int(f.size()), '\x5A'));
        // Flushed first: written at close() the bytes would move the time again.
        ASSERT_TRUE(f.flush());
        ASSERT_TRUE(f.setFileTime(mtime, QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(rig.Run([&] { rig.Thread->SetThumbSize(96, 96); }));
    EXPECT_EQ(rig.Thread->JobCount(), 2);
    EXPECT_EQ(rig.Reports.size(), 12); // both passes again
    for (int i = 0; i < rig.Grid.Count(); ++i)
        EXPECT_EQ(rig.Grid.Item(i)->Bitmap.size(), QSize(96, 72)) << i;
    EXPECT_EQ(CountBitmaps(rig.Cache), 6);
}

TEST(DatabaseSource, FactsOfRealFilesWithTheShotDateAsTheProgramWritesDates) {
    TDbRig rig;
    const auto source = MakeDatabaseSource(rig.DB.get());
    const std::tuple<const char*, QSize, QString> cases[] = {
        {"dune.jpg", {640, 400}, "2007/08/06 10:29:13"},
        {"storm_progressive.jpg", {480, 320}, ""},
        {"meadow_16bit.png", {200, 160}, ""},
    };
    for (const auto& [file, size, shot] : cases) {
        const QString path = TestDataPath(file);
        TOriginalFacts facts;
        ASSERT_TRUE(source->GetOriginalInfo(path, facts)) << file;
        EXPECT_EQ(facts.ExifDateTimeOriginal, shot) << file;
        EXPECT_EQ(facts.FileSize, QFileInfo(path).size()) << file;
        EXPECT_EQ(facts.FileTime.size(), 19) << file;
        EXPECT_EQ(QSize(facts.Width, facts.Height), size) << file;
    }
    TOriginalFacts none;
    EXPECT_FALSE(source->GetOriginalInfo(rig.Photos.filePath("gone.jpg"), none));
}

TEST(ForeignNames, Latin1AndShiftJisNamesAreListedMadeCachedAndFoundAgain) {
    const QList<QByteArray> natives = {"plain.jpg", "caf\xE9.jpg", "\x93\xFA\x96\x7B.jpg",
                                       "\xE5\x86\x99\xE7\x9C\x9F.jpg"};
    auto rig = std::make_unique<TDbRig>();
    const QByteArray dir = QFile::encodeName(rig->Photos.path()) + "/";
    for (int i = 0; i < natives.size(); ++i) {
        const QString plain = rig->Photo("p.jpg", 160, 120, QColor(60 * i, 200 - 40 * i, 90));
        ASSERT_EQ(::rename(QFile::encodeName(plain).constData(), (dir + natives[i]).constData()),
                  0);
    }
    // Listed: every file, each name going back to its own bytes.
    const QString folder = PDecodeName(dir);
    QStringList paths;
    QList<QByteArray> found, sorted = natives;
    for (const QString& n : ListImageFiles(folder, ExtensionList))
        paths << folder + n, found << PEncodeName(n);
    std::sort(found.begin(), found.end());
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(found, sorted);
    // Made by the loader into the grid, and cached.
    ASSERT_TRUE(rig->Run([&] { rig->Thread->SetFileList(paths); }));
    for (int i = 0; i < rig->Grid.Count(); ++i)
        EXPECT_EQ(rig->Grid.Item(i)->Info[6], "160") << i;
    EXPECT_EQ(rig->DB->Graphic().DecodeCount(), natives.size());
    const QString cache = rig->Cache, home = rig->Home.Path();
    rig->Thread.reset();
    rig->DB.reset(); // the index is saved here, holding the names as their bytes on disk
    // After a restart every picture is found in the cache (no decode), as print jobs ask.
    TThumbnailDB again(nullptr, home);
    again.SetCacheDirectory(cache);
    again.SetWidth(TImageListThread::StoreBoxSize);
    again.SetHeight(TImageListThread::StoreBoxSize);
    for (const QString& p : paths)
        EXPECT_TRUE(again.GetThumbnail(p)) << PEncodeName(p).toHex().toStdString();
    EXPECT_EQ(again.Graphic().DecodeCount(), 0);
}
