// The cache settings and cache location windows over a real thumbnail database and settings
// file.
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "cache/i_Cache.h"
#include "cache/i_SelectCachePath.h"
#include "platform/PDialogSeam.h"
#include "services/CIniFile.h"
#include "support/CacheFiles.h"
#include "support/TestSupport.h"
#include "support_CacheTest.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

constexpr uint64_t MB = 1024ull * 1024ull;

void Chmod(const QString& path, int mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
}

// A program folder with its settings file, a database on the default cache folder and the
// two windows, as start-up makes them. Messages are answered with their first button and
// kept; free space comes from FreeBytes.
struct TCacheRig {
    TempHome Home;
    uint64_t FreeBytes = 3584 * MB;
    bool FreeSpaceReadable = true;
    QStringList FreeSpaceAsked, Messages;
    std::unique_ptr<TThumbnailDB> DB;
    std::unique_ptr<TfrmSelectCachePath> Select;
    std::unique_ptr<TfrmCache> Window;
    int Stops = 0;

    explicit TCacheRig(int32_t sizeKB = 512000) {
        SetFreeSpaceQuery([this](const QString& path, uint64_t& bytes) {
            FreeSpaceAsked << path;
            bytes = FreeBytes;
            return FreeSpaceReadable;
        });
        SetDialogAnswerer([this](TDialogRequest& r) {
            Messages << r.Caption + "|" + r.Text;
            if (auto* b = r.Dialog->findChild<QPushButton*>("MsgButton1"))
                b->click();
            return 0;
        });
        LoadConfiguration();
        DB = NewDB(AppDir, TempDir, 128, sizeKB);
        Select = std::make_unique<TfrmSelectCachePath>(nullptr, DB.get());
        Window = std::make_unique<TfrmCache>(nullptr, DB.get(), Select.get());
        Window->OnStopLoading = [this] { ++Stops; };
        Window->show();
    }
    ~TCacheRig() {
        Window.reset();
        Select.reset();
        DB.reset();
        delete IniFile;
        IniFile = nullptr;
        SetDialogAnswerer({});
        SetFreeSpaceQuery({});
    }
    // Chooses a folder in the location window, presses its OK and then the window's Close.
    void Move(const QString& dir, bool close = true) {
        QDir().mkpath(dir);
        Select->SetDirectory(dir);
        Select->BtnOK->click();
        if (close)
            Window->BtnClose->click();
    }
    // Stores thumbnails of count pictures in the folder, making the pictures the first time
    // (made again, a picture would be a new one whenever the clock passed a two-second step).
    void Store(const QString& folder, int count) {
        for (int i = 0; i < count; ++i) {
            const QString photo = QString("%1%2/p%3.png").arg(AppDir, folder).arg(i);
            if (!QFile::exists(photo))
                MakePicture(photo, 160, 120, i);
            ASSERT_TRUE(DB->GetThumbnail(photo));
        }
    }
};

} // namespace

TEST(CacheWindows, SliderShowsTheLimitInWholeStepsAndOptimalValueFollowsFreeSpace) {
    TCacheRig rig;
    for (auto [limitKB, position] : {std::pair{260000, 10}, {255999, 9}, {900000, 20}}) {
        rig.DB->SetMaxSizeKB(limitKB);
        rig.Window->FormCreate();
        EXPECT_EQ(rig.Window->TrackBar->value(), position) << limitKB;
        EXPECT_EQ(rig.Window->SizeKB(), position * 25600) << limitKB;
    }
    rig.Window->EdCachePath->setText(AppDir + "Temp");
    for (auto [free, readable, position] : {std::tuple{3584 * MB, true, 10},
                                            {600 * MB, true, 6},
                                            {599 * MB, true, 5},
                                            {90 * MB, true, 0},
                                            {5000 * MB, false, 0}}) {
        rig.FreeBytes = free;
        rig.FreeSpaceReadable = readable;
        rig.Window->TrackBar->setValue(17);
        rig.FreeSpaceAsked.clear();
        rig.Window->BtnBest->click();
        EXPECT_EQ(rig.Window->TrackBar->value(), position) << free / MB;
        EXPECT_EQ(rig.FreeSpaceAsked, QStringList{AppDir + "Temp"});
    }
    EXPECT_EQ(rig.DB->GetMaxSizeKB(), 900000) << "nothing reaches the database before Close";
}

TEST(CacheWindows, CloseRefusesABadLocationAndAReadOnlySettingsFileAppliesNothing) {
    // 0: read-only, 1: vanished, each after choosing and before Close.
    for (int spoil = 0; spoil < 2; ++spoil) {
        SCOPED_TRACE(spoil);
        TCacheRig rig(102400);
        const QByteArray iniBefore = ReadAll(AppDir + "Thumbnail.ini");
        const QString chosen = AppDir + "chosen";
        rig.FreeBytes = 600 * MB; // the chosen folder's drive: 150 MB
        rig.Move(chosen, false);
        EXPECT_EQ(rig.Window->TrackBar->value(), 6);
        if (spoil == 0)
            Chmod(chosen, 0555);
        else
            ASSERT_TRUE(QDir(chosen).removeRecursively());

        rig.FreeBytes = 90 * MB; // the old location's drive by then: 22 MB
        rig.Window->BtnClose->click();
        EXPECT_EQ(rig.Messages, QStringList{"Velmora|The specified directory is read-only."});
        EXPECT_TRUE(rig.Window->isVisible()) << "the window stays open";
        EXPECT_EQ(rig.Window->EdCachePath->text(), TempDir);
        EXPECT_EQ(rig.DB->GetCacheDirectory(), TempDir);
        // The slider goes to the old location's optimal size, which the database takes.
        EXPECT_EQ(rig.Window->TrackBar->value(), 0);
        EXPECT_EQ(rig.DB->GetMaxSizeKB(), 0);
        EXPECT_EQ(rig.Stops, 1) << "the load is stopped before the limit changes";
        EXPECT_EQ(ReadAll(AppDir + "Thumbnail.ini"), iniBefore) << "nothing is written";
        if (spoil == 0)
            Chmod(chosen, 0755);
    }

    TCacheRig rig(102400);
    const QByteArray iniBefore = ReadAll(AppDir + "Thumbnail.ini");
    Chmod(AppDir + "Thumbnail.ini", 0444);
    rig.Window->TrackBar->setValue(3);
    rig.Move(AppDir + "elsewhere");
    EXPECT_FALSE(rig.Window->isVisible());
    EXPECT_EQ(rig.Messages, QStringList());
    EXPECT_EQ(rig.DB->GetCacheDirectory(), TempDir);
    EXPECT_EQ(rig.DB->GetMaxSizeKB(), 102400);
    EXPECT_EQ(rig.Stops, 0);
    EXPECT_EQ(ReadAll(AppDir + "Thumbnail.ini"), iniBefore);
}

TEST(CacheWindows, ClearCacheThenCloseStillWritesBothKeys) {
    TCacheRig rig(256000);
    rig.Store("photos", 3);
    WriteFileBytes(TempDir + "/_TDB0005/x.bmp", "x"); // an older version's cache
    IniFile->DeleteKey("Cache", "Directory");         // the first start recorded it

    rig.Window->BtnClear->click();
    EXPECT_EQ(rig.Stops, 1) << "the load is stopped before clearing";
    EXPECT_EQ(rig.Messages, QStringList());
    EXPECT_EQ(rig.DB->Table().List().Count(), 0);
    EXPECT_TRUE(rig.Window->isVisible()) << "clearing does not close the window";
    EXPECT_EQ(QDir(TempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"_TDB0100.lock"});

    rig.Window->BtnClose->click();
    EXPECT_EQ(rig.Stops, 1) << "an unchanged cache leaves the load alone";
    LoadConfiguration(); // the next start takes both
    EXPECT_EQ(IniFile->ReadString("Cache", "Directory", "none"), TempDir);
    EXPECT_EQ(CacheSizeKB, 256000);
}

TEST(CacheWindows, MovingTheCacheStoresTheNextThumbnailsThereAndKeepsTheOldIndexWhole) {
    TCacheRig rig(102400);
    rig.Store("first", 4);
    const QString moved = AppDir + "moved";
    rig.FreeBytes = 600 * MB;
    rig.Move(moved, false);
    rig.Window->TrackBar->setValue(8);
    rig.Window->BtnClose->click();
    EXPECT_FALSE(rig.Window->isVisible());
    EXPECT_EQ(rig.Messages, QStringList());
    EXPECT_EQ(rig.Stops, 1);
    EXPECT_EQ(rig.DB->GetCacheDirectory(), moved);
    EXPECT_EQ(rig.DB->GetMaxSizeKB(), 8 * 25600);

    // The old index was saved whole on the way out and is left alone; it names bitmaps that
    // are all there, so moving back makes no new bitmap.
    const QByteArray oldIndex = ReadAll(TempDir + "/_TDB0100/_TDBCache.dat");
    EXPECT_EQ(IndexRecords(TempDir), 4);
    rig.Store("second", 3);
    EXPECT_EQ(CountBitmaps(moved), 3);
    EXPECT_EQ(ReadAll(TempDir + "/_TDB0100/_TDBCache.dat"), oldIndex);
    rig.Window->show();
    rig.Move(TempDir);
    EXPECT_EQ(IndexRecords(moved), 3);
    rig.Store("first", 4);
    EXPECT_EQ(CountBitmaps(TempDir), 4);
}
