// The loader against the real thumbnail database where files are not what their names say
// (named pipes called x.jpg and x.png) and where the program may be ended at any moment
// after a load (the index must be on disk by then).
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThumbnailDB.h"
#include "support/PipeWatch.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRig {
    TempHome Home;
    QTemporaryDir Photos;
    QString Cache;
    std::unique_ptr<TThumbnailDB> DB;
    std::unique_ptr<TThumbListView> Grid;
    std::unique_ptr<TImageListThread> Thread;
    QList<int> Reports;

    TRig() {
        Cache = Home.Path() + "Temp";
        QDir().mkpath(Cache);
        DB = std::make_unique<TThumbnailDB>(nullptr, Home.Path());
        DB->SetCacheDirectory(Cache);
        DB->SetMaxSizeKB(100000);
        Grid = std::make_unique<TThumbListView>();
        Grid->resize(621, 400);
        Thread =
            std::make_unique<TImageListThread>(Grid.get(), nullptr, MakeDatabaseSource(DB.get()));
        Thread->OnProgress = [this](int p) { Reports << p; };
        Thread->SetThumbSize(96, 96);
    }
    ~TRig() {
        Thread.reset();
        DB.reset();
    }
    QString Photo(const QString& name, QColor colour) {
        QImage img(320, 240, QImage::Format_RGB32);
        img.fill(colour);
        const QString path = Photos.filePath(name);
        EXPECT_TRUE(img.save(path));
        return path;
    }
    bool Load(const QStringList& list) {
        Reports.clear();
        Thread->SetFileList(list);
        return WaitFor(
            [&] { return Thread->Idle() && !Reports.isEmpty() && Reports.last() >= 100; }, 60000);
    }
    const TThumbnailData* ByName(const QString& name) const {
        for (int i = 0; i < Grid->Count(); ++i)
            if (Grid->Item(i)->FileName == name)
                return Grid->Item(i);
        return nullptr;
    }
    // Records in the index file on disk.
    int IndexRecords() const {
        int n = 0;
        for (const QByteArray& line : ReadAll(DB->Table().Location().IndexFile()).split('\n'))
            n += line.startsWith('T') ? 1 : 0;
        return n;
    }
};

} // namespace

TEST(LoaderSafety, PipesNamedLikePicturesLeaveTheirCellsEmptyAndTheLoadEnds) {
    TRig rig;
    TPipeWatch watch;
    QStringList list{rig.Photo("a.jpg", Qt::red)};
    for (const char* name : {"b.jpg", "c.png", "d.tif"}) {
        ASSERT_TRUE(watch.Make(rig.Photos.filePath(name)));
        list << rig.Photos.filePath(name);
    }
    list << rig.Photo("e.png", Qt::blue);
    watch.Start();
    ASSERT_TRUE(rig.Load(list));
    EXPECT_FALSE(watch.Fired()) << "a pipe was opened for reading";
    for (const char* name : {"b.jpg", "c.png", "d.tif"}) {
        const TThumbnailData* item = rig.ByName(name);
        ASSERT_NE(item, nullptr) << name;
        EXPECT_TRUE(item->Bitmap.isNull()) << name;
    }
    for (const char* name : {"a.jpg", "e.png"}) {
        const TThumbnailData* item = rig.ByName(name);
        ASSERT_NE(item, nullptr) << name;
        EXPECT_EQ(item->Bitmap.size(), QSize(96, 72)) << name;
    }
    // Closing waits for the loader, which must not be stuck on a pipe.
    rig.Thread.reset();
    EXPECT_FALSE(watch.Fired());
}

TEST(LoaderSafety, EveryLoadThatEndsLeavesItsThumbnailsInTheIndexOnDisk) {
    TRig rig;
    QStringList first, second;
    for (int i = 0; i < 5; ++i)
        first << rig.Photo(QString("f%1.jpg").arg(i), QColor(40 * i, 80, 120));
    for (int i = 0; i < 3; ++i)
        second << rig.Photo(QString("s%1.png").arg(i), QColor(90, 40 * i, 20));

    // The database is still alive: what is on disk now is what a kill would leave.
    ASSERT_TRUE(rig.Load(first));
    EXPECT_EQ(rig.IndexRecords(), 5);
    ASSERT_TRUE(rig.Load(second));
    EXPECT_EQ(rig.IndexRecords(), 8);

    // A cancelled load keeps what it made so far.
    QStringList third;
    for (int i = 0; i < 4; ++i)
        third << rig.Photo(QString("t%1.jpg").arg(i), QColor(10, 10, 60 * i));
    rig.Reports.clear();
    rig.Thread->SetFileList(third);
    ASSERT_TRUE(WaitFor([&] { return rig.Reports.size() >= 5; })); // into the thumbnail pass
    rig.Thread->CancelAndWait();
    const int made = int(std::count_if(third.begin(), third.end(), [&](const QString& p) {
        const TThumbnailData* item = rig.ByName(QFileInfo(p).fileName());
        return item && !item->Bitmap.isNull();
    }));
    EXPECT_GT(made, 0);
    EXPECT_EQ(rig.IndexRecords(), 8 + made);
}
