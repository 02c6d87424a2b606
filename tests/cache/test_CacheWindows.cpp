// The cache settings and cache location windows over a real thumbnail database and settings
// file.
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "cache/CThumbnailDB.h"
#include "cache/i_Cache.h"
#include "cache/i_SelectCachePath.h"
#include "platform/PDialogSeam.h"
#include "services/CIniFile.h"
#include "support/CacheFiles.h"
#include "support/TestSupport.h"
#include "support_CacheTest.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTreeView>
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
    QStringList FreeSpaceAsked;
    QStringList Messages;
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
        DB = std::make_unique<TThumbnailDB>(nullptr, AppDir);
        DB->SetCacheDirectory(TempDir);
        DB->SetMaxSizeKB(sizeKB);
        DB->SetWidth(128);
        DB->SetHeight(128);
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
    QString Ini() const { return AppDir + "Thumbnail.ini"; }
    // Chooses a folder in the location window and presses its OK.
    void Choose(const QString& dir) {
        Select->SetDirectory(dir);
        Select->BtnOK->click();
    }
    void MakePhotos(const QString& folder, int count) {
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i) {
            QImage img(160, 120, QImage::Format_RGB32);
            img.fill(QColor(20 * i, 200 - 10 * i, 90));
            ASSERT_TRUE(img.save(QString("%1/p%2.jpg").arg(folder).arg(i), "JPG"));
        }
    }
};

} // namespace

TEST(CacheWindows, SliderShowsTheLimitInWholeStepsAndOptimalValueFollowsFreeSpace) {
    TCacheRig rig;
    struct {
        int32_t LimitKB;
        int Position;
    } limits[] = {{260000, 10}, {255999, 9}, {25599, 0}, {900000, 20}};
    for (const auto& c : limits) {
        rig.DB->SetMaxSizeKB(c.LimitKB);
        rig.Window->FormCreate();
        EXPECT_EQ(rig.Window->TrackBar->value(), c.Position) << c.LimitKB;
        EXPECT_EQ(rig.Window->SizeKB(), c.Position * 25600) << c.LimitKB;
    }

    struct {
        uint64_t Free;
        bool Readable;
        int Position;
    } optimal[] = {{3584 * MB, true, 10},
                   {600 * MB, true, 6},
                   {90 * MB, true, 0},
                   {599 * MB, true, 5},
                   {5000 * MB, false, 0}};
    rig.Window->EdCachePath->setText(AppDir + "Temp");
    for (const auto& c : optimal) {
        rig.FreeBytes = c.Free;
        rig.FreeSpaceReadable = c.Readable;
        rig.Window->TrackBar->setValue(17);
        rig.FreeSpaceAsked.clear();
        rig.Window->BtnBest->click();
        EXPECT_EQ(rig.Window->TrackBar->value(), c.Position) << c.Free / MB;
        EXPECT_EQ(rig.FreeSpaceAsked, QStringList{AppDir + "Temp"});
    }
    EXPECT_EQ(rig.DB->GetMaxSizeKB(), 900000) << "nothing reaches the database before Close";
}

TEST(CacheWindows, CloseRefusesAReadOnlyMissingOrNonFolderLocationAndRestoresTheOldOne) {
    struct TCase {
        const char* Name;
        std::function<void(const QString& dir)> Spoil; // after choosing, before Close
    };
    const TCase cases[] = {
        {"read-only", [](const QString& dir) { Chmod(dir, 0555); }},
        {"vanished", [](const QString& dir) { ASSERT_TRUE(QDir(dir).removeRecursively()); }},
        {"now a file",
         [](const QString& dir) {
             ASSERT_TRUE(QDir(dir).removeRecursively());
             WriteFileBytes(dir, "x");
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCacheRig rig(102400);
        const QByteArray iniBefore = ReadFileBytes(rig.Ini());
        const QString chosen = AppDir + "chosen";
        ASSERT_TRUE(QDir().mkpath(chosen));
        rig.FreeBytes = 600 * MB; // the chosen folder's drive: 150 MB
        rig.Choose(chosen);
        EXPECT_EQ(rig.Window->EdCachePath->text(), chosen);
        EXPECT_EQ(rig.Window->TrackBar->value(), 6);
        c.Spoil(chosen);

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
        EXPECT_EQ(ReadFileBytes(rig.Ini()), iniBefore) << "nothing is written";
        if (QFileInfo(chosen).isDir())
            Chmod(chosen, 0755);
    }
}

TEST(CacheWindows, ReadOnlySettingsFileMakesCloseApplyNothing) {
    TCacheRig rig(102400);
    const QString chosen = AppDir + "elsewhere";
    ASSERT_TRUE(QDir().mkpath(chosen));
    rig.Choose(chosen);
    rig.Window->TrackBar->setValue(3);
    const QByteArray iniBefore = ReadFileBytes(rig.Ini());
    Chmod(rig.Ini(), 0444);
    rig.Window->BtnClose->click();
    EXPECT_FALSE(rig.Window->isVisible());
    EXPECT_TRUE(rig.Messages.isEmpty()) << rig.Messages.join('\n').toStdString();
    EXPECT_EQ(rig.DB->GetCacheDirectory(), TempDir);
    EXPECT_EQ(rig.DB->GetMaxSizeKB(), 102400);
    EXPECT_EQ(rig.Stops, 0);
    Chmod(rig.Ini(), 0644);
    EXPECT_EQ(ReadFileBytes(rig.Ini()), iniBefore);
}

TEST(CacheWindows, CloseAfterClearCacheStillWritesBothKeys) {
    TCacheRig rig(256000);
    rig.MakePhotos(AppDir + "photos", 3);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(rig.DB->GetThumbnail(AppDir + QString("photos/p%1.jpg").arg(i)));
    ASSERT_EQ(CountBitmaps(TempDir), 3);
    // A desktop's folder note inside the cache must not keep the folder alive.
    WriteFileBytes(TempDir + "/_TDB0100/.directory", "[Desktop Entry]\n");
    IniFile->DeleteKey("Cache", "Directory"); // the first start recorded it

    rig.Window->BtnClear->click();
    EXPECT_EQ(rig.Stops, 1) << "the load is stopped before clearing";
    EXPECT_TRUE(rig.Messages.isEmpty()) << rig.Messages.join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(TempDir + "/_TDB0100"));
    EXPECT_EQ(rig.DB->Table().List().Count(), 0);
    EXPECT_TRUE(rig.Window->isVisible()) << "clearing does not close the window";

    rig.Window->BtnClose->click();
    EXPECT_FALSE(rig.Window->isVisible());
    EXPECT_EQ(IniFile->ReadString("Cache", "Directory", "none"), TempDir);
    EXPECT_EQ(IniFile->ReadInteger("Cache", "Size", -5), 10 * 25600);
    EXPECT_EQ(rig.Stops, 1) << "an unchanged cache leaves the load alone";

    // The next start takes both.
    LoadConfiguration();
    EXPECT_EQ(CacheDir, TempDir);
    EXPECT_EQ(CacheSizeKB, 256000);
}

TEST(CacheWindows, MovingTheCacheStoresTheNextThumbnailsThereAndKeepsTheOldIndexWhole) {
    TCacheRig rig(102400);
    rig.MakePhotos(AppDir + "first", 4);
    rig.MakePhotos(AppDir + "second", 3);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(rig.DB->GetThumbnail(AppDir + QString("first/p%1.jpg").arg(i)));
    const QString moved = AppDir + "moved";
    ASSERT_TRUE(QDir().mkpath(moved));

    rig.FreeBytes = 600 * MB;
    rig.Choose(moved);
    rig.Window->TrackBar->setValue(8);
    rig.Window->BtnClose->click();
    EXPECT_FALSE(rig.Window->isVisible());
    EXPECT_TRUE(rig.Messages.isEmpty()) << rig.Messages.join('\n').toStdString();
    EXPECT_EQ(rig.Stops, 1);
    EXPECT_EQ(rig.DB->GetCacheDirectory(), moved);
    EXPECT_EQ(rig.DB->GetMaxSizeKB(), 8 * 25600);
    EXPECT_EQ(IniFile->ReadString("Cache", "Directory", ""), moved);
    EXPECT_EQ(IniFile->ReadInteger("Cache", "Size", -1), 204800);

    // The old index was saved whole on the way out and names bitmaps that are all there.
    EXPECT_EQ(IndexRecords(TempDir), 4);
    EXPECT_EQ(CountBitmaps(TempDir), 4);
    const QByteArray oldIndex = ReadFileBytes(TempDir + "/_TDB0100/_TDBCache.dat");

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(rig.DB->GetThumbnail(AppDir + QString("second/p%1.jpg").arg(i)));
    EXPECT_EQ(CountBitmaps(moved), 3);
    EXPECT_EQ(CountBitmaps(TempDir), 4);
    EXPECT_EQ(ReadFileBytes(TempDir + "/_TDB0100/_TDBCache.dat"), oldIndex);

    // Moving back finds the old thumbnails again: no new bitmap is made.
    rig.Window->show();
    rig.Choose(TempDir);
    rig.Window->BtnClose->click();
    EXPECT_EQ(IndexRecords(moved), 3);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(rig.DB->GetThumbnail(AppDir + QString("first/p%1.jpg").arg(i)));
    EXPECT_EQ(CountBitmaps(TempDir), 4);
}

TEST(CacheWindows, LocationWindowDrivesResetAndCancel) {
    TCacheRig rig;
    QTemporaryDir usb, cdrom;
    ASSERT_TRUE(QDir().mkpath(usb.path() + "/photos/cache"));
    ASSERT_TRUE(QDir().mkpath(usb.path() + "/.local/share/velmora/Temp"));
    TfrmSelectCachePath::ListVolumes = [&] {
        return QList<PVolume>{{"/", ""}, {usb.path(), "STICK"}, {cdrom.path(), ""}};
    };
    TfrmSelectCachePath::VolumeReadable = [&](const QString& m) { return m != cdrom.path(); };
    TfrmSelectCachePath& sel = *rig.Select;
    sel.FillDrives();
    ASSERT_EQ(sel.DriveComboBox->count(), 3);
    EXPECT_EQ(sel.Drive(), "/");
    EXPECT_EQ(sel.Directory(), TempDir);

    // A drive without a readable medium: the message, and back to the folder's drive.
    sel.DriveComboBox->setCurrentIndex(2);
    sel.DriveComboBoxChange();
    EXPECT_EQ(rig.Messages, QStringList{"Velmora|Insert a disk into drive " + cdrom.path()});
    EXPECT_EQ(sel.Drive(), "/");
    EXPECT_EQ(sel.Directory(), TempDir);

    // A readable one: the folder list goes there, and a folder on it can be chosen.
    sel.DriveComboBox->setCurrentIndex(1);
    sel.DriveComboBoxChange();
    EXPECT_EQ(sel.Directory(), usb.path());
    const QModelIndex deep = sel.DirectoryModel->index(usb.path() + "/photos/cache");
    ASSERT_TRUE(deep.isValid());
    sel.DirectoryListBox->setCurrentIndex(deep);
    EXPECT_EQ(sel.Directory(), usb.path() + "/photos/cache");
    EXPECT_EQ(sel.Drive(), usb.path());
    // A folder below a hidden one (where the per-user program folder lies) is shown too.
    sel.SetDirectory(usb.path() + "/.local/share/velmora/Temp");
    EXPECT_EQ(sel.DirectoryModel->filePath(sel.DirectoryListBox->currentIndex()),
              usb.path() + "/.local/share/velmora/Temp");
    sel.DirectoryListBox->setCurrentIndex(deep);

    // Cancel hands nothing back; OK hands the folder and its optimal size.
    rig.Window->TrackBar->setValue(13);
    sel.BtnCancel->click();
    EXPECT_EQ(rig.Window->EdCachePath->text(), TempDir);
    EXPECT_EQ(rig.Window->TrackBar->value(), 13);
    rig.FreeBytes = 600 * MB;
    sel.BtnOK->click();
    EXPECT_EQ(rig.Window->EdCachePath->text(), usb.path() + "/photos/cache");
    EXPECT_EQ(rig.Window->TrackBar->value(), 6);
    EXPECT_EQ(rig.FreeSpaceAsked.last(), usb.path() + "/photos/cache");

    // Reset: the default folder on the program's drive, made again when it went missing.
    ASSERT_TRUE(QDir(TempDir).removeRecursively());
    sel.BtnStart->click();
    EXPECT_EQ(sel.Directory(), TempDir);
    EXPECT_EQ(sel.Drive(), "/");
    EXPECT_TRUE(QFileInfo(TempDir).isDir());
    EXPECT_EQ(rig.DB->GetCacheDirectory(), TempDir) << "the location window applies nothing";

    TfrmSelectCachePath::ListVolumes = {};
    TfrmSelectCachePath::VolumeReadable = {};
    EXPECT_THROW(TfrmSelectCachePath::DriveOf("relative/dir"), std::exception);
}

TEST(CacheWindows, ClearCacheErrorsReachTheUserAndTheWindowStaysUsable) {
    TCacheRig rig(256000);
    // Twelve caches of older versions: more than one clearing removes.
    for (int v = 0; v < 12; ++v)
        WriteFileBytes(TempDir + QString("/_TDB%1/x.bmp").arg(v, 4, 10, QChar('0')), "x");
    rig.Window->BtnClear->click();
    EXPECT_EQ(rig.Messages,
              QStringList{QString::fromUtf8("Velmora|旧キャッシュ情報が多すぎます。Count=11")});
    EXPECT_TRUE(rig.Window->isVisible());
    // Pressed again, it removes the last one and succeeds.
    rig.Messages.clear();
    rig.Window->BtnClear->click();
    EXPECT_TRUE(rig.Messages.isEmpty()) << rig.Messages.join('\n').toStdString();
    EXPECT_EQ(QDir(TempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"_TDB0100.lock"});
    rig.Window->BtnClose->click();
    EXPECT_FALSE(rig.Window->isVisible());
}
