// What stands in on Linux for the system calls the program makes: free space, network file
// systems, read-only files, the program's folders and the paper codes.
#include "platform/PPrinter.h"
#include "platform/PSystem.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPageSize>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

TEST(System, FreeSpaceNetworkFileSystemsAndReadOnlyFiles) {
    QTemporaryDir dir;
    struct statvfs sv {};
    ASSERT_EQ(::statvfs(QFile::encodeName(dir.path()).constData(), &sv), 0);
    for (const QString& path : {dir.path(), dir.filePath("not/yet/made")}) { // nearest parent's
        uint64_t free = 0;
        ASSERT_TRUE(PFreeDiskSpace(path, free));
        EXPECT_NEAR(double(free), double(sv.f_bavail) * sv.f_frsize, 64.0 * 1024 * 1024);
    }
    uint64_t none = 1;
    EXPECT_FALSE(PFreeDiskSpace("", none));
    EXPECT_EQ(none, 0u);
    EXPECT_FALSE(PIsOnNetworkFileSystem(dir.path()));
    const std::pair<const char*, bool> kinds[] = {
        {"nfs", true}, {"cifs", true}, {"9p", true}, {"ext4", false}, {"NFS-like", false}};
    for (auto [kind, network] : kinds) {
        ScopedEnv fake("VELMORA_TEST_FS_TYPE", kind);
        EXPECT_EQ(PIsOnNetworkFileSystem(dir.path()), network) << kind;
    }
    const QString file = dir.filePath("Thumbnail.ini");
    EXPECT_FALSE(PIsReadOnlyFile(file)) << "a missing file is not read-only";
    WriteRaw(file, "");
    ::chmod(QFile::encodeName(file).constData(), 0444);
    EXPECT_TRUE(PIsReadOnlyFile(file)) << "no write permission marks it read-only, even for root";
    EXPECT_TRUE(PIsWritableDir(dir.path()));
    EXPECT_FALSE(PIsWritableDir(file));
    EXPECT_FALSE(PIsWritableDir(dir.filePath("missing")));
    for (const auto& [xdg, want] :
         {std::pair<QByteArray, QString>{"/srv/data", "/srv/data/velmora/"},
          {"relative/ignored", QDir::homePath() + "/.local/share/velmora/"}}) {
        ScopedEnv env("XDG_DATA_HOME", xdg);
        EXPECT_EQ(PUserDataDir(), want);
    }
}

TEST(System, PaperCodesGiveTheirPaperInMillimetres) {
    // B5 is the JIS size, B4 250 x 354 mm.
    const std::pair<int, QSizeF> papers[] = {
        {DMPAPER_A4, {210, 297}}, {DMPAPER_B4, {250, 354}}, {DMPAPER_B5, {182, 257}},
        {DMPAPER_A3, {297, 420}}, {DMPAPER_A5, {148, 210}}, {DMPAPER_LETTER, {215.9, 279.4}}};
    for (const auto& [code, want] : papers) {
        const int id = PageSizeIdOf(code);
        ASSERT_GE(id, 0) << code;
        const QSizeF mm = QPageSize(QPageSize::PageSizeId(id)).size(QPageSize::Millimeter);
        EXPECT_NEAR(mm.width(), want.width(), 1) << code;
        EXPECT_NEAR(mm.height(), want.height(), 1) << code;
        EXPECT_EQ(PaperCodeOf(id), code);
    }
    EXPECT_EQ(PageSizeIdOf(9999), -1);
}
