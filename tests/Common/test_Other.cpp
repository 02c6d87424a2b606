#include "Common/c_Other.h"
#include "services/CException.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {

void Touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

constexpr uint64_t MB = 1024ull * 1024ull;

} // namespace

TEST(Other, GetLowerExt) {
    for (auto [name, ext] : {std::pair{"a.JPG", "jpg"},
                             {"archive.tar.GZ", "gz"},
                             {"NoDot", "nodot"},
                             {".Hidden", "hidden"},
                             {"trailing.", ""},
                             {"/photos/IMG_0001.Tiff", "tiff"},
                             {"x.ÄVI", "Ävi"}})
        EXPECT_EQ(GetLowerExt(QString::fromUtf8(name)), QString::fromUtf8(ext)) << name;
}

TEST(Other, ListImageFilesGroupsByExtensionAndSkipsFolders) {
    QTemporaryDir dir;
    for (const char* name : {"a.JPG", "b.jpeg", "c.tif", "d.tiff", "e.txt", "f.png", "g.BMP",
                             "h.avi", "jpg", "i.jpg.txt"})
        Touch(dir.filePath(name));
    QDir(dir.path()).mkdir("x.jpg");
    QDir(dir.path()).mkdir("real");
    ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("link.png")));

    const QStringList ext = {"jpg", "jpeg", "tif", "tiff"};
    EXPECT_EQ(ListImageFiles(dir.path(), ext), (QStringList{"a.JPG", "b.jpeg", "c.tif", "d.tiff"}));
    EXPECT_EQ(ListImageFiles(dir.path() + "/", ext),
              (QStringList{"a.JPG", "b.jpeg", "c.tif", "d.tiff"}));
    const QStringList all = {"bmp", "jpg", "jpeg", "tif", "tiff", "png", "avi"};
    EXPECT_EQ(ListImageFiles(dir.path(), all),
              (QStringList{"g.BMP", "a.JPG", "b.jpeg", "c.tif", "d.tiff", "f.png", "h.avi"}));
    EXPECT_TRUE(ListImageFiles(dir.filePath("missing"), all).isEmpty());
    EXPECT_TRUE(ListImageFiles(dir.path(), {}).isEmpty());
}

TEST(Other, DefaultCacheSizeFromFreeSpace) {
    QString asked;
    uint64_t free = 0;
    bool ok = true;
    SetFreeSpaceQuery([&](const QString& path, uint64_t& bytes) {
        asked = path;
        bytes = free;
        return ok;
    });
    // Free space -> a quarter of it in MB, at most 250, at least 1.
    for (auto [bytes, size] : {std::pair{800 * MB, 200},
                               {5000 * MB, 250},
                               {1000 * MB, 250},
                               {999 * MB, 249},
                               {1000 * MB - 1, 249},
                               {7 * MB, 1},
                               {50ull * 1024 * 1024 * MB, 250}}) {
        free = bytes;
        EXPECT_EQ(DefaultCacheSize("/cache/here"), size) << bytes;
    }
    EXPECT_EQ(asked, "/cache/here");
    ok = false;
    free = 5000 * MB;
    EXPECT_EQ(DefaultCacheSize("/c"), 0) << "a failed query counts as no space";

    SetFreeSpaceQuery({});
    // The real query answers for a folder that does not exist yet, through its parent.
    const int real = DefaultCacheSize(QDir::tempPath() + "/velmora-no-such/deeper");
    EXPECT_GE(real, 0);
    EXPECT_LE(real, 250);
}

TEST(Other, DrawFileIconDrawsTheVideoIconCentred) {
    QImage bitmap(5, 5, QImage::Format_RGB32);
    DrawFileIcon("/nowhere/clip.AVI", bitmap); // the file need not exist
    ASSERT_EQ(bitmap.size(), QSize(48, 48));
    bitmap.save(BuildDirPath("avi-icon.png"));
    // The border stays white; the icon sits at (8, 8) and is the theme's video icon.
    for (int i = 0; i < 48; ++i) {
        EXPECT_EQ(bitmap.pixel(i, 0), qRgb(255, 255, 255));
        EXPECT_EQ(bitmap.pixel(0, i), qRgb(255, 255, 255));
        EXPECT_EQ(bitmap.pixel(47, i), qRgb(255, 255, 255));
    }
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile("clip.avi", QMimeDatabase::MatchExtension);
    EXPECT_EQ(mime.genericIconName(), "video-x-generic");
    QIcon expected = QIcon::fromTheme(mime.iconName());
    if (expected.isNull())
        expected = QIcon::fromTheme("video-x-generic");
    ASSERT_FALSE(expected.isNull())
        << "no themed video icon (theme " << QIcon::themeName().toStdString() << ")";
    QImage want(48, 48, QImage::Format_RGB32);
    want.fill(Qt::white);
    {
        QPainter p(&want);
        p.drawPixmap(8, 8, expected.pixmap(32, 32));
    }
    EXPECT_EQ(bitmap, want);

    // Once drawn, the icon can be had from the loading thread too.
    QImage fromThread;
    std::thread t([&] { DrawFileIcon("other.avi", fromThread); });
    t.join();
    EXPECT_EQ(fromThread, bitmap);
}

TEST(Other, DrawFileIconFailureRaisesTheAssertionError) {
    SetFileIconLookup([](const QString&) { return QIcon(); });
    QImage bitmap;
    EXPECT_THROW(DrawFileIcon("x.avi", bitmap), Exception);
    SetFileIconLookup({});
    DrawFileIcon("x.avi", bitmap);
    EXPECT_EQ(bitmap.size(), QSize(48, 48));
}

TEST(Other, StrToIntInRange) {
    // Font sizes 3 to 28; anything else is 0.
    for (auto [text, value] : {std::pair{"3", 3},
                               {"28", 28},
                               {" 12 ", 12},
                               {"+9", 9},
                               {"0012", 12},
                               {"2", 0},
                               {"29", 0},
                               {"-5", 0},
                               {"", 0},
                               {"abc", 0},
                               {"12pt", 0},
                               {"1 2", 0},
                               {"99999999999999999999", 0}})
        EXPECT_EQ(StrToIntInRange(text), value) << text;
}
