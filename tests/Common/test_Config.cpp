#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

constexpr uint64_t MB = 1024ull * 1024ull;

struct ConfigTest : ::testing::Test {
    TempHome home;
    QString ini = home.Path() + "Thumbnail.ini";
    void SetUp() override {
        SetFreeSpaceQuery([](const QString&, uint64_t& bytes) {
            bytes = 800 * MB;
            return true;
        });
    }
    void TearDown() override { SetFreeSpaceQuery({}); }
};

} // namespace

TEST_F(ConfigTest, FirstStartCreatesTheSettingsFileAndTheCacheFolder) {
    LoadConfiguration();
    EXPECT_EQ(AppDir, home.Path());
    ASSERT_NE(IniFile, nullptr);
    EXPECT_EQ(IniFile->ReadString("APP", "APPName", ""), QString::fromUtf8("ヴェルモラ"));
    EXPECT_EQ(TempDir, home.Path() + "Temp");
    EXPECT_EQ(CacheDir, TempDir);
    EXPECT_TRUE(QFileInfo(TempDir).isDir());
    EXPECT_EQ(CacheSizeKB, 200 * 1024);
    // The computed size is not written back.
    EXPECT_FALSE(IniFile->ValueExists("Cache", "Size"));
}

TEST_F(ConfigTest, ConfiguredFolderAndSize) {
    QDir(home.Path()).mkdir("elsewhere");
    const QString other = home.Path() + "elsewhere";
    WriteRaw(ini, ("[APP]\nAPPName=x\n[Cache]\nDirectory=" + other + "\nSize=0x400\n").toUtf8());
    const QByteArray before = ReadAll(ini);
    LoadConfiguration();
    EXPECT_EQ(CacheDir, other);
    EXPECT_EQ(CacheSizeKB, 1024);
    EXPECT_EQ(ReadAll(ini), before) << "nothing is written when all is in order";
    EXPECT_FALSE(QFileInfo::exists(TempDir));

    IniFile->WriteInteger("Cache", "Size", -1);
    LoadConfiguration();
    EXPECT_EQ(CacheSizeKB, 200 * 1024);
    IniFile->WriteInteger("Cache", "Size", 5000);
    LoadConfiguration();
    EXPECT_EQ(CacheSizeKB, 5000);
}

TEST_F(ConfigTest, MissingCacheFolderIsRepairedInAWritableFile) {
    WriteRaw(ini, "[APP]\nAPPName=x\n[Cache]\nDirectory=/no/such/velmora/cache\n");
    LoadConfiguration();
    EXPECT_EQ(CacheDir, home.Path() + "Temp");
    EXPECT_TRUE(QFileInfo(CacheDir).isDir());
    EXPECT_EQ(IniFile->ReadString("Cache", "Directory", ""), home.Path() + "Temp");

    // An empty entry names no folder either.
    IniFile->WriteString("Cache", "Directory", "");
    QDir(TempDir).removeRecursively();
    LoadConfiguration();
    EXPECT_EQ(CacheDir, TempDir);
    EXPECT_TRUE(QFileInfo(TempDir).isDir());
    EXPECT_EQ(IniFile->ReadString("Cache", "Directory", ""), TempDir);
}

TEST_F(ConfigTest, ReadOnlySettingsFileIsLeftAlone) {
    const QByteArray before = "[APP]\nAPPName=x\n[Cache]\nDirectory=/no/such/velmora/cache\n";
    WriteRaw(ini, before);
    ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0444), 0);
    LoadConfiguration();
    EXPECT_EQ(ReadAll(ini), before);
    EXPECT_EQ(CacheDir, home.Path() + "Temp");
    EXPECT_TRUE(QFileInfo(CacheDir).isDir()) << "the default folder is still made";
    EXPECT_EQ(CacheSizeKB, 200 * 1024);
}

TEST_F(ConfigTest, ProgramFolderWithoutVelmoraHome) {
    // Without VELMORA_HOME a writable program folder is the program's home.
    ScopedEnv noHome("VELMORA_HOME", QByteArray());
    qunsetenv("VELMORA_HOME");
    EXPECT_EQ(ResolveAppDir(), QCoreApplication::applicationDirPath() + "/");
}
