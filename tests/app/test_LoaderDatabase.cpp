// The loader against the real thumbnail database: a corrupt picture, named pipes called like
// pictures, a shot date, "Reload this image", names that are not UTF-8; and the cache settings
// window while the loader fills the database from 200 photographs: "Clear cache" and a new location
// stop the load and wait for the loader before they touch the database, and the next load fills it
// without error. Also run under ThreadSanitizer.
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "cache/i_Cache.h"
#include "cache/i_SelectCachePath.h"
#include "platform/PDialogSeam.h"
#include "platform/PFileSystem.h"
#include "services/CIniFile.h"
#include "support/CacheFiles.h"
#include "support/PipeWatch.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPushButton>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr int PhotoCount = 200;

// The program folder with its settings file, a cache in it and the loader over the database.
struct TDbRig : TLoaderRig {
    TempHome Home;
    QTemporaryDir Photos;
    QString Cache = Home.Path() + "Temp";
    std::unique_ptr<TThumbnailDB> DB;

    TDbRig() {
        LoadConfiguration();
        QDir().mkpath(Cache);
        DB = std::make_unique<TThumbnailDB>(nullptr, Home.Path());
        DB->SetCacheDirectory(Cache);
        DB->SetMaxSizeKB(512000);
        Start(MakeDatabaseSource(DB.get()));
    }
    ~TDbRig() {
        Thread.reset(); // before the database it uses
        DB.reset();
        delete IniFile;
        IniFile = nullptr;
    }
    QString Photo(const QString& name, int w, int h, QColor c) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(c);
        QPainter(&img).fillRect(0, 0, w / 2, h / 2, Qt::white);
        const QString path = Photos.filePath(name);
        EXPECT_TRUE(img.save(path, nullptr, 90));
        return path;
    }
};

} // namespace

TEST(LoaderDatabase, CorruptPictureAndPipesStayBlankTheShotDateIsShownAndLoadingEndsOnce) {
    TDbRig rig;
    TPipeWatch watch;
    QStringList list{rig.Photos.filePath("broken.jpg"), rig.Photos.filePath("dune.jpg")};
    WriteRaw(list[0], QByteArray("\xFF\xD8\xFF\xE0 not a picture", 18) + QByteArray(500, 1));
    ASSERT_TRUE(QFile::copy(TestDataPath("dune.jpg"), list[1]));
    for (int i = 0; i < 3; ++i)
        list << rig.Photo(QString("p%1.jpg").arg(i), 640, 480, QColor(40 * i, 100, 200));
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.tif"}) { // named like pictures
        ASSERT_TRUE(watch.Make(rig.Photos.filePath(name)));
        list << rig.Photos.filePath(name);
    }
    watch.Start();
    ASSERT_TRUE(rig.Load(list));
    EXPECT_FALSE(watch.Fired()) << "a pipe was opened for reading";
    EXPECT_TRUE(rig.Reports.size() == 16 && rig.Reports.count(100) == 1);
    // By name: broken, dune, p0, p1, p2, the pipes.
    ASSERT_EQ(rig.Grid.Count(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(rig.Grid.Item(i)->Bitmap.isNull(), i == 0 || i > 4) << i;
    EXPECT_EQ(rig.Grid.Item(1)->Info[5], "2007/08/06 10:29:13"); // as the program writes dates
    EXPECT_EQ(rig.Grid.Item(2)->Bitmap.size(), QSize(128, 96));
    // "Reload this image" makes the selected picture again.
    rig.Grid.Item(2)->Bitmap = QImage();
    rig.Grid.SetSelected(2);
    rig.Thread->ReloadThisImage();
    EXPECT_EQ(rig.Grid.Item(2)->Bitmap.size(), QSize(128, 96));
    rig.Thread.reset(); // closing waits for the loader, which must not be stuck on a pipe
    EXPECT_FALSE(watch.Fired());
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
    QSet<QByteArray> found;
    for (const QString& n : ListImageFiles(folder, ExtensionList))
        paths << folder + n, found << PEncodeName(n);
    ASSERT_EQ(found, QSet<QByteArray>(natives.begin(), natives.end()));
    // Made by the loader into the grid, and cached.
    ASSERT_TRUE(rig->Load(paths));
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

TEST(LoaderCacheSettings, ClearOrMoveWhileLoadingStopsTheLoadAndTheNextLoadFillsTheCache) {
    QStringList messages;
    SetDialogAnswerer([&](TDialogRequest& r) { return messages << r.Text, 0; });
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move);
        TDbRig rig;
        QStringList list;
        for (int i = 0; i < PhotoCount; ++i)
            list << rig.Photo(QString("p%1.jpg").arg(i, 3, 10, QChar('0')), 240, 180,
                              QColor((i * 37) % 256, (i * 91) % 256, (i * 53) % 256));
        // The cache settings put together as start-up does.
        auto select = std::make_unique<TfrmSelectCachePath>(nullptr, rig.DB.get());
        auto window = std::make_unique<TfrmCache>(nullptr, rig.DB.get(), select.get());
        int stops = 0;
        window->OnStopLoading = [&] { ++stops, rig.Thread->CancelAndWait(); };
        window->show();
        rig.Thread->SetFileList(list);
        // Into the thumbnail pass, with thumbnails being stored.
        ASSERT_TRUE(WaitFor([&] { return CountBitmaps(TempDir) >= 10; }, 120000));
        ASSERT_FALSE(rig.Thread->Idle());
        const QString base = move ? AppDir + "moved" : TempDir;
        if (move) {
            QDir().mkpath(base);
            select->SetDirectory(base);
            select->BtnOK->click();
            window->BtnClose->click();
        } else {
            window->BtnClear->click();
        }
        EXPECT_EQ(stops, 1);
        // The loader was idle before the database was touched, and stays so.
        EXPECT_TRUE(rig.Thread->Idle());
        ASSERT_TRUE(WaitFor([&] { return rig.Settled(); }));
        EXPECT_EQ(rig.Reports.last(), -1) << "the load ends as cancelled";
        EXPECT_LT(rig.Pictures(), PhotoCount);
        EXPECT_EQ(QFileInfo::exists(TempDir + "/_TDB0100"), move);
        EXPECT_EQ(rig.DB->Table().List().Count(), 0);
        ASSERT_TRUE(rig.Load(list, 180000)); // the user reloads
        EXPECT_EQ(rig.Pictures(), PhotoCount);
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        EXPECT_EQ(rig.DB->GetCacheDirectory(), base);
        window.reset(), select.reset(), rig.Thread.reset(), rig.DB.reset(); // saves the index
        EXPECT_EQ(IndexRecords(base), PhotoCount);
        EXPECT_EQ(CountBitmaps(base + "/_TDB0100"), PhotoCount);
        // The old index names exactly the bitmaps made before the move.
        if (move) {
            EXPECT_EQ(IndexRecords(TempDir), CountBitmaps(TempDir));
            EXPECT_GE(IndexRecords(TempDir), 10);
        }
    }
    SetDialogAnswerer({});
}
