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
    EXPECT_EQ(GetLowerExt("a.JPG"), "jpg");
    EXPECT_EQ(GetLowerExt("archive.tar.GZ"), "gz");
    EXPECT_EQ(GetLowerExt("NoDot"), "nodot");
    EXPECT_EQ(GetLowerExt(".Hidden"), "hidden");
    EXPECT_EQ(GetLowerExt("trailing."), "");
    EXPECT_EQ(GetLowerExt("/photos/IMG_0001.Tiff"), "tiff");
    // Only ASCII letters change.
    EXPECT_EQ(GetLowerExt("x.ÄVI"), "Ävi");
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
    free = 800 * MB;
    EXPECT_EQ(DefaultCacheSize("/cache/here"), 200);
    EXPECT_EQ(asked, "/cache/here");
    free = 5000 * MB;
    EXPECT_EQ(DefaultCacheSize("/c"), 250);
    free = 1000 * MB;
    EXPECT_EQ(DefaultCacheSize("/c"), 250);
    free = 999 * MB;
    EXPECT_EQ(DefaultCacheSize("/c"), 249);
    free = 1000 * MB - 1; // 999 whole megabytes
    EXPECT_EQ(DefaultCacheSize("/c"), 249);
    free = 7 * MB;
    EXPECT_EQ(DefaultCacheSize("/c"), 1);
    free = 50ull * 1024 * 1024 * MB; // 50 TB
    EXPECT_EQ(DefaultCacheSize("/c"), 250);
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
    try {
        DrawFileIcon("x.avi", bitmap);
        ADD_FAILURE() << "no error without an icon";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().startsWith("Assertion failure")) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("line 119"));
    }
    SetFileIconLookup({});
    DrawFileIcon("x.avi", bitmap);
    EXPECT_EQ(bitmap.size(), QSize(48, 48));
}

TEST(Other, StrToIntInRange) {
    EXPECT_EQ(StrToIntInRange("3"), 3);
    EXPECT_EQ(StrToIntInRange("28"), 28);
    EXPECT_EQ(StrToIntInRange("12"), 12);
    EXPECT_EQ(StrToIntInRange(" 12 "), 12);
    EXPECT_EQ(StrToIntInRange("+9"), 9);
    EXPECT_EQ(StrToIntInRange("0012"), 12);
    EXPECT_EQ(StrToIntInRange("2"), 0);
    EXPECT_EQ(StrToIntInRange("29"), 0);
    EXPECT_EQ(StrToIntInRange("-5"), 0);
    EXPECT_EQ(StrToIntInRange(""), 0);
    EXPECT_EQ(StrToIntInRange("abc"), 0);
    EXPECT_EQ(StrToIntInRange("12pt"), 0);
    EXPECT_EQ(StrToIntInRange("1 2"), 0);
    EXPECT_EQ(StrToIntInRange("99999999999999999999"), 0);
}
