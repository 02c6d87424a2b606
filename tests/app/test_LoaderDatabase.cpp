// The loader against the real thumbnail database on pictures made here: a corrupt picture,
// a size change over a warm cache, and "Reload this image".
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThumbnailDB.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void MakePhoto(const QString& path, int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, Qt::white);
    p.end();
    ASSERT_TRUE(img.save(path, "JPG", 90));
}

int CountFiles(const QString& dir, const QString& pattern) {
    int n = 0;
    QDirIterator it(dir, {pattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

struct TDbRig {
    TempHome Home;
    QTemporaryDir Photos;
    QString Cache;
    std::unique_ptr<TThumbnailDB> DB;
    std::unique_ptr<TThumbListView> Grid;
    std::unique_ptr<QAction> Reload;
    std::unique_ptr<TImageListThread> Thread;
    QList<int> Reports;

    TDbRig() {
        Cache = Home.Path() + "Temp";
        QDir().mkpath(Cache);
        DB = std::make_unique<TThumbnailDB>(nullptr, Home.Path());
        DB->SetCacheDirectory(Cache);
        DB->SetMaxSizeKB(100000);
        Grid = std::make_unique<TThumbListView>();
        Grid->resize(621, 400);
        Grid->show();
        Reload = std::make_unique<QAction>("Reload this image");
        Thread = std::make_unique<TImageListThread>(Grid.get(), Reload.get(),
                                                    MakeDatabaseSource(DB.get()));
        Thread->OnProgress = [this](int p) { Reports << p; };
        Thread->OnDrawIcon = [](const QString&, QImage& bitmap) {
            bitmap = QImage(48, 48, QImage::Format_RGB32);
            bitmap.fill(Qt::gray);
        };
        Thread->SetThumbSize(128, 128);
    }
    ~TDbRig() {
        Thread.reset(); // before the database it uses
        DB.reset();
    }
    bool Settled() const {
        return Thread->Sleeping() && !Reports.isEmpty() &&
               (Reports.last() >= 100 || Reports.last() < 0);
    }
    bool Run(const std::function<void()>& request) {
        Reports.clear();
        request();
        return WaitFor([&] { return Settled(); }, 60000);
    }
    const TThumbnailData* ByName(const QString& name) const {
        for (int i = 0; i < Grid->Count(); ++i)
            if (Grid->Item(i)->FileName == name)
                return Grid->Item(i);
        return nullptr;
    }
};

} // namespace

TEST(LoaderDatabase, CorruptPictureStaysBlankAndLoadingCompletes) {
    TDbRig rig;
    QStringList list;
    for (int i = 0; i < 4; ++i) {
        list << rig.Photos.filePath(QString("p%1.jpg").arg(i));
        MakePhoto(list.last(), 640, 480, QColor(40 * i, 100, 200));
    }
    const QString bad = rig.Photos.filePath("broken.jpg");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\xFF\xD8\xFF\xE0 this is not a picture", 28) + QByteArray(500, '\x11'));
    f.close();
    list.insert(2, bad);

    ASSERT_TRUE(rig.Run([&] { rig.Thread->SetFileList(list); }));
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_EQ(rig.Reports.size(), 10);
    ASSERT_EQ(rig.Grid->Count(), 5);
    const TThumbnailData* broken = rig.ByName("broken.jpg");
    ASSERT_NE(broken, nullptr);
    EXPECT_TRUE(broken->Bitmap.isNull());
    EXPECT_TRUE(broken->Info[0].isEmpty());
    for (int i = 0; i < 4; ++i) {
        const TThumbnailData* item = rig.ByName(QString("p%1.jpg").arg(i));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Bitmap.size(), QSize(128, 96));
        EXPECT_EQ(item->Info[0], "Finished");
        EXPECT_EQ(item->Info[6], "640");
        EXPECT_EQ(item->Info[7], "480");
        EXPECT_EQ(item->Info[3], QString::number(QFileInfo(list[i < 2 ? i : i + 1]).size()));
        EXPECT_EQ(item->Info[4].size(), 19);
    }
    EXPECT_TRUE(rig.Reload->isEnabled());
}

TEST(LoaderDatabase, SizeChangeRestartsBothPassesAndAWarmCacheMakesNoDecode) {
    TDbRig rig;
    QStringList list;
    for (int i = 0; i < 6; ++i) {
        list << rig.Photos.filePath(QString("w%1.jpg").arg(i));
        MakePhoto(list.last(), 800, 600, QColor(30 * i, 60, 90));
    }
    ASSERT_TRUE(rig.Run([&] { rig.Thread->SetFileList(list); }));
    ASSERT_EQ(rig.Reports.last(), 100);
    const int stored = CountFiles(rig.Cache, "*.bmp");
    EXPECT_EQ(stored, 6);

    // Same size and time, but content no decoder accepts: only the cache can answer now.
    for (const QString& path : list) {
        QFile f(path);
        const QDateTime mtime = QFileInfo(path).lastModified();
        const qint64 size = f.size();
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write(QByteArray(int(size), '\x5A'));
        // The buffered bytes go out first: written at close() they would move the time
        // again, across a two-second step now and then.
        ASSERT_TRUE(f.flush());
        ASSERT_TRUE(f.setFileTime(mtime, QFileDevice::FileModificationTime));
        f.close();
    }
    ASSERT_TRUE(rig.Run([&] { rig.Thread->SetThumbSize(96, 96); }));
    EXPECT_EQ(rig.Thread->JobCount(), 2);
    EXPECT_EQ(rig.Reports.size(), 12); // both passes again
    EXPECT_EQ(rig.Reports.last(), 100);
    for (int i = 0; i < rig.Grid->Count(); ++i)
        EXPECT_EQ(rig.Grid->Item(i)->Bitmap.size(), QSize(96, 72)) << i;
    EXPECT_EQ(CountFiles(rig.Cache, "*.bmp"), stored);
}

TEST(LoaderDatabase, ReloadThisImageMakesTheSelectedPictureAgain) {
    TDbRig rig;
    const QString path = rig.Photos.filePath("one.jpg");
    MakePhoto(path, 300, 600, Qt::red);
    ASSERT_TRUE(rig.Run([&] { rig.Thread->SetFileList({path}); }));
    ASSERT_EQ(rig.Grid->Count(), 1);
    EXPECT_EQ(rig.Grid->Item(0)->Bitmap.size(), QSize(64, 128));
    rig.Grid->Item(0)->Bitmap = QImage();
    rig.Grid->SetSelected(0);
    rig.Thread->ReloadThisImage();
    EXPECT_EQ(rig.Grid->Item(0)->Bitmap.size(), QSize(64, 128));
}
