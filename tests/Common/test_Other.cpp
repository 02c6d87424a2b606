// Small shared routines: extensions, picture listing, the default cache size, the file-type
// icon and the font-size text.
#include "Common/c_Other.h"
#include "services/CException.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QIcon>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

TEST(Other, ListImageFilesGroupsByExtensionAndSkipsFolders) {
    for (auto [name, ext] : {std::pair{"a.JPG", "jpg"}, {"NoDot", "nodot"}, {"x.ÄVI", "Ävi"}})
        EXPECT_EQ(GetLowerExt(QString::fromUtf8(name)), QString::fromUtf8(ext)) << name;

    QTemporaryDir dir;
    for (const char* name :
         {"a.JPG", "b.jpeg", "c.tif", "e.txt", "f.png", "g.BMP", "h.avi", "jpg", "i.jpg.txt"})
        WriteRaw(dir.filePath(name), "");
    QDir(dir.path()).mkdir("x.jpg");
    QDir(dir.path()).mkdir("real");
    ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("link.png")));
    // In the order of the extensions given, each group sorted.
    EXPECT_EQ(ListImageFiles(dir.path(), {"bmp", "jpg", "jpeg", "tif", "png", "avi"}),
              (QStringList{"g.BMP", "a.JPG", "b.jpeg", "c.tif", "f.png", "h.avi"}));
    EXPECT_TRUE(ListImageFiles(dir.filePath("missing"), {"jpg"}).isEmpty());
}

TEST(Other, DefaultCacheSizeFromFreeSpaceAndFontSizeTexts) {
    constexpr uint64_t MB = 1024ull * 1024ull;
    // Free space -> a quarter of it in MB, at most 250, at least 1; a failed query: 0.
    for (auto [bytes, readable, size] : {std::tuple{1000 * MB - 1, true, 249},
                                         {50ull * 1024 * 1024 * MB, true, 250},
                                         {7 * MB, true, 1},
                                         {800 * MB, false, 0}}) {
        SetFreeSpaceQuery([&](const QString& path, uint64_t& free) {
            free = bytes;
            return readable && path == "/cache/here";
        });
        EXPECT_EQ(DefaultCacheSize("/cache/here"), size) << bytes;
    }
    SetFreeSpaceQuery({});
    // The real query answers for a folder that does not exist yet, through its parent.
    const int real = DefaultCacheSize(QDir::tempPath() + "/velmora-no-such/deeper");
    EXPECT_TRUE(real > 0 && real <= 250) << real;

    // Font sizes 3 to 28; anything else is 0.
    for (auto [text, value] : {std::pair{"3", 3},
                               {"28", 28},
                               {" 12 ", 12},
                               {"2", 0},
                               {"29", 0},
                               {"", 0},
                               {"12pt", 0},
                               {"99999999999999999999", 0}})
        EXPECT_EQ(StrToIntInRange(text), value) << text;
}

TEST(Other, DrawFileIconDrawsTheVideoIconOnWhiteFromAnyThreadOrRaises) {
    // The file need not exist; once drawn, the icon can be had from the loading thread too.
    QImage bitmap(5, 5, QImage::Format_RGB32), fromThread;
    DrawFileIcon("/nowhere/clip.AVI", bitmap);
    std::thread([&] { DrawFileIcon("other.avi", fromThread); }).join();
    QImage white(48, 48, bitmap.format());
    white.fill(Qt::white);
    EXPECT_EQ(bitmap.copy(0, 0, 48, 8), white.copy(0, 0, 48, 8)) << "white above the icon";
    EXPECT_NE(bitmap, white) << "no icon";
    EXPECT_EQ(fromThread, bitmap);

    SetFileIconLookup([](const QString&) { return QIcon(); });
    EXPECT_THROW(DrawFileIcon("x.avi", bitmap), Exception);
    SetFileIconLookup({});
}
