// The cache settings window while the loader fills the real thumbnail database from 200
// photographs: "Clear cache", a new location and a new size stop the load and wait for the
// loader before they touch the database, and the next load fills it without error; an
// unchanged Close leaves the load running. Also run under ThreadSanitizer.
#include "Common/c_Config.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThumbnailDB.h"
#include "cache/i_Cache.h"
#include "cache/i_SelectCachePath.h"
#include "platform/PDialogSeam.h"
#include "services/CIniFile.h"
#include "support/CacheFiles.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

namespace {

constexpr int PhotoCount = 200;

// The main window's parts that matter here, put together as start-up does.
struct TLoadRig {
    TempHome Home;
    QStringList Photos, Messages;
    QList<int> Reports;
    int Stops = 0;
    std::unique_ptr<TThumbnailDB> DB;
    TThumbListView Grid;
    std::unique_ptr<TImageListThread> Thread;
    std::unique_ptr<TfrmSelectCachePath> Select;
    std::unique_ptr<TfrmCache> Window;

    TLoadRig() {
        SetDialogAnswerer([this](TDialogRequest& r) { return Messages << r.Text, 0; });
        LoadConfiguration();
        QDir().mkpath(Home.Path() + "photos");
        for (int i = 0; i < PhotoCount; ++i) {
            QImage img(240, 180, QImage::Format_RGB32);
            img.fill(QColor((i * 37) % 256, (i * 91) % 256, (i * 53) % 256));
            Photos << QString("%1photos/p%2.jpg").arg(Home.Path()).arg(i, 3, 10, QChar('0'));
            img.save(Photos.last(), "JPG", 85);
        }
        DB = std::make_unique<TThumbnailDB>(nullptr, AppDir);
        DB->SetCacheDirectory(TempDir);
        DB->SetMaxSizeKB(512000);
        Grid.resize(621, 400);
        Thread = std::make_unique<TImageListThread>(&Grid, nullptr, MakeDatabaseSource(DB.get()));
        Thread->OnProgress = [this](int p) { Reports << p; };
        Thread->SetThumbSize(128, 128);
        Select = std::make_unique<TfrmSelectCachePath>(nullptr, DB.get());
        Window = std::make_unique<TfrmCache>(nullptr, DB.get(), Select.get());
        Window->OnStopLoading = [this] { ++Stops, Thread->CancelAndWait(); };
        Window->show();
    }
    ~TLoadRig() {
        Close();
        delete IniFile;
        IniFile = nullptr;
        SetDialogAnswerer({});
    }
    void Close() { // the windows, then the loader before the database it uses
        Window.reset();
        Select.reset();
        Thread.reset();
        DB.reset();
    }
    bool Settled() const {
        return Thread->Idle() && !Reports.isEmpty() &&
               (Reports.last() >= 100 || Reports.last() < 0);
    }
    int Finished() const {
        int n = 0;
        for (int i = 0; i < Grid.Count(); ++i)
            n += Grid.Item(i)->Bitmap.isNull() ? 0 : 1;
        return n;
    }
};

} // namespace

TEST(LoaderCacheSettings, ClearMoveOrResizeWhileLoadingStopsTheLoadAndTheNextLoadFillsTheCache) {
    enum { Clear, Move, Resize, Unchanged };
    const std::function<void(TLoadRig&)> acts[] = {
        [](TLoadRig& r) { r.Window->BtnClear->click(); },
        [](TLoadRig& r) {
            QDir().mkpath(AppDir + "moved");
            r.Select->SetDirectory(AppDir + "moved");
            r.Select->BtnOK->click();
            r.Window->TrackBar->setValue(20);
            r.Window->BtnClose->click();
        },
        [](TLoadRig& r) {
            r.Window->TrackBar->setValue(1);
            r.Window->BtnClose->click();
        },
        [](TLoadRig& r) { r.Window->BtnClose->click(); },
    };
    for (int c : {Clear, Move, Resize, Unchanged}) {
        SCOPED_TRACE(c);
        TLoadRig rig;
        rig.Thread->SetFileList(rig.Photos);
        // Into the thumbnail pass, with thumbnails being stored.
        ASSERT_TRUE(WaitFor([&] { return CountBitmaps(TempDir) >= 10; }, 120000));
        ASSERT_FALSE(rig.Thread->Idle());
        acts[c](rig);
        EXPECT_EQ(rig.Stops, c == Unchanged ? 0 : 1);
        if (c != Unchanged) {
            // The loader was idle before the database was touched, and stays so.
            EXPECT_TRUE(rig.Thread->Idle());
            ASSERT_TRUE(WaitFor([&] { return rig.Settled(); }));
            EXPECT_EQ(rig.Reports.last(), -1) << "the load ends as cancelled";
            EXPECT_LT(rig.Finished(), PhotoCount);
            EXPECT_EQ(QFileInfo::exists(TempDir + "/_TDB0100"), c != Clear);
            if (c == Clear) {
                EXPECT_EQ(rig.DB->Table().List().Count(), 0);
            }
            rig.Reports.clear(); // the user reloads
            rig.Thread->Reload();
        }
        ASSERT_TRUE(WaitFor([&] { return rig.Settled(); }, 180000));
        EXPECT_EQ(rig.Reports.last(), 100);
        EXPECT_EQ(rig.Finished(), PhotoCount);
        EXPECT_TRUE(rig.Messages.isEmpty()) << rig.Messages.join('\n').toStdString();
        const QString base = c == Move ? AppDir + "moved" : TempDir;
        EXPECT_EQ(rig.DB->GetCacheDirectory(), base);
        // The new limit (25 MB) keeps only the newest thumbnails; the others keep all.
        const int kept = rig.DB->Table().List().Count();
        EXPECT_EQ(kept < PhotoCount, c == Resize);
        EXPECT_LE(rig.DB->Table().List().TotalBytes, rig.DB->GetMaxSizeKB() * 1024);
        rig.Close(); // saves the index
        EXPECT_EQ(IndexRecords(base), kept);
        EXPECT_EQ(CountBitmaps(base + "/_TDB0100"), kept);
        // The old index names exactly the bitmaps made before the move.
        if (c == Move) {
            EXPECT_EQ(IndexRecords(TempDir), CountBitmaps(TempDir));
            EXPECT_GE(IndexRecords(TempDir), 10);
        }
    }
}
