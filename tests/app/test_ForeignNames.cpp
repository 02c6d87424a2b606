// Pictures whose names are not UTF-8 (a Latin-1 and a Shift-JIS name beside a plain and a
// UTF-8 one) are listed, made, cached, found again after a restart and fetched again the
// way the print jobs fetch them.
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "platform/PFileSystem.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

bool WriteJpeg(const QByteArray& nativePath, QColor colour) {
    QImage img(160, 120, QImage::Format_RGB32);
    img.fill(colour);
    QTemporaryDir tmp;
    const QString plain = tmp.filePath("p.jpg");
    return img.save(plain, "JPG") &&
           ::rename(QFile::encodeName(plain).constData(), nativePath.constData()) == 0;
}

} // namespace

TEST(ForeignNames, Latin1AndShiftJisNamesAreListedMadeCachedAndFoundAgain) {
    TempHome home;
    QTemporaryDir photos;
    const QByteArray dir = QFile::encodeName(photos.path()) + "/";
    const QList<QByteArray> natives = {"plain.jpg", "caf\xE9.jpg", "\x93\xFA\x96\x7B.jpg",
                                       "\xE5\x86\x99\xE7\x9C\x9F.jpg"};
    for (int i = 0; i < natives.size(); ++i)
        ASSERT_TRUE(WriteJpeg(dir + natives[i], QColor(60 * i, 200 - 40 * i, 90)));

    // Listed: every file, each name going back to its own bytes.
    const QString folder = PDecodeName(dir);
    const QStringList names = ListImageFiles(folder, ExtensionList);
    ASSERT_EQ(names.size(), natives.size());
    QStringList paths;
    QList<QByteArray> found;
    for (const QString& n : names) {
        paths << folder + n;
        found << PEncodeName(n);
    }
    for (const QByteArray& n : natives)
        EXPECT_TRUE(found.contains(n)) << n.toHex().toStdString();

    const QString cache = home.Path() + "Temp";
    QDir().mkpath(cache);
    {
        // Made by the loader into the grid, and cached.
        TThumbnailDB db(nullptr, home.Path());
        db.SetCacheDirectory(cache);
        db.SetMaxSizeKB(100000);
        TThumbListView grid;
        grid.resize(621, 400);
        QAction reload("Reload this image");
        QList<int> reports;
        {
            TImageListThread loader(&grid, &reload, MakeDatabaseSource(&db));
            loader.OnProgress = [&](int p) { reports << p; };
            loader.SetThumbSize(128, 128);
            loader.SetFileList(paths);
            ASSERT_TRUE(WaitFor(
                [&] { return loader.Idle() && !reports.isEmpty() && reports.last() == 100; }));
        }
        ASSERT_EQ(grid.Count(), natives.size());
        for (int i = 0; i < grid.Count(); ++i) {
            const TThumbnailData* item = grid.Item(i);
            SCOPED_TRACE(PEncodeName(item->FileName).toHex().toStdString());
            EXPECT_EQ(item->Info[0], "Finished");
            EXPECT_EQ(item->Bitmap.size(), QSize(128, 96));
            EXPECT_EQ(item->Info[6], "160");
            EXPECT_FALSE(item->Info[3].isEmpty());
            EXPECT_EQ(item->Info[4].size(), 19);
        }
        EXPECT_EQ(db.Graphic().DecodeCount(), natives.size());
    } // the index is saved here

    // The index holds the names as their bytes on disk.
    const QByteArray index = ReadAll(cache + "/_TDB0100/_TDBCache.dat");
    for (const QByteArray& n : natives)
        EXPECT_TRUE(index.contains(dir + n)) << n.toHex().toStdString();

    // After a restart every picture is found in the cache (no decode), as the print jobs
    // ask for it.
    TThumbnailDB again(nullptr, home.Path());
    again.SetCacheDirectory(cache);
    again.SetWidth(TImageListThread::StoreBoxSize);
    again.SetHeight(TImageListThread::StoreBoxSize);
    for (const QString& p : paths) {
        SCOPED_TRACE(PEncodeName(p).toHex().toStdString());
        ASSERT_TRUE(again.GetThumbnail(p));
        ASSERT_NE(again.ThumbnailInfo().Bitmap, nullptr);
        EXPECT_EQ(again.ThumbnailInfo().Bitmap->size(), QSize(512, 384));
        EXPECT_EQ(again.OriginalInfo().Width, 160);
    }
    EXPECT_EQ(again.Graphic().DecodeCount(), 0);
}
