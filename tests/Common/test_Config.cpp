// The settings at start-up: the program folder, the settings file, the cache folder and
// the stored cache size.
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct ConfigTest : ::testing::Test {
    TempHome home;
    QString ini = home.Path() + "Thumbnail.ini";
    QString Default() const { return home.Path() + "Temp"; }
    void SetUp() override {
        SetFreeSpaceQuery([](const QString&, uint64_t& bytes) {
            bytes = 800ull * 1024 * 1024; // a default of 200 MB
            return true;
        });
    }
    void TearDown() override {
        SetFreeSpaceQuery({});
        delete IniFile;
        IniFile = nullptr;
    }
};

} // namespace

TEST_F(ConfigTest, FirstStartCreatesTheSettingsFileAndTheCacheFolder) {
    LoadConfiguration();
    EXPECT_EQ(CacheDir, Default());
    EXPECT_TRUE(QFileInfo(CacheDir).isDir());
    EXPECT_EQ(CacheSizeKB, 200 * 1024);
    EXPECT_FALSE(IniFile->ValueExists("Cache", "Size")) << "the computed size is not written";

    // Without VELMORA_HOME a writable program folder is the program's home.
    ScopedEnv noHome("VELMORA_HOME", QByteArray());
    qunsetenv("VELMORA_HOME");
    EXPECT_EQ(ResolveAppDir(), QCoreApplication::applicationDirPath() + "/");
}

TEST_F(ConfigTest, StoredFolderAndSizeAreTakenAndNegativeSizesCountAsNotSet) {
    const QString other = home.Path() + "elsewhere";
    QDir().mkdir(other);
    for (auto [stored, expected] : {std::pair{"0x400", 1024},
                                    {"-25600", 200 * 1024},
                                    {"0", 0},
                                    {"-2147483648", 200 * 1024},
                                    {"lots", 200 * 1024}}) {
        const QByteArray text =
            "[APP]\nAPPName=x\n[Cache]\nDirectory=" + other.toUtf8() + "\nSize=" + stored + "\n";
        WriteRaw(ini, text);
        LoadConfiguration();
        EXPECT_EQ(CacheDir, other);
        EXPECT_EQ(CacheSizeKB, expected) << stored;
        EXPECT_EQ(ReadAll(ini), text) << "nothing is written when all is in order";
    }
    EXPECT_FALSE(QFileInfo::exists(Default()));
}

TEST_F(ConfigTest, MissingCacheFolderIsRepairedInAWritableFileOnly) {
    for (auto [dir, writable] : {std::pair{"/no/such/velmora/cache", true},
                                 {"", true},
                                 {"/no/such/velmora/cache", false}}) {
        const QByteArray before = QByteArray("[APP]\nAPPName=x\n[Cache]\nDirectory=") + dir + "\n";
        WriteRaw(ini, before);
        ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), writable ? 0644 : 0444), 0);
        QDir(Default()).removeRecursively();
        LoadConfiguration();
        EXPECT_EQ(CacheDir, Default());
        EXPECT_TRUE(QFileInfo(CacheDir).isDir()) << "the default folder is made either way";
        EXPECT_EQ(IniFile->ReadString("Cache", "Directory", ""), writable ? Default() : dir);
    }
}
