// The stored cache size at start-up: -1 or anything below 0 means "not set" and gives the
// default from the free space; 0 and above are taken as they stand.
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(CacheSizeSetting, NegativeStoredSizesCountAsNotSet) {
    TempHome home;
    SetFreeSpaceQuery([](const QString&, uint64_t& bytes) {
        bytes = 800ull * 1024 * 1024;
        return true;
    });
    struct {
        const char* Stored;
        int Expected;
    } cases[] = {
        {"-1", 200 * 1024}, {"-2", 200 * 1024}, {"-25600", 200 * 1024}, {"-2147483648", 200 * 1024},
        {"0", 0},           {"25600", 25600},   {"0x400", 1024},        {"lots", 200 * 1024}};
    for (const auto& c : cases) {
        WriteRaw(home.Path() + "Thumbnail.ini",
                 QByteArray("[APP]\nAPPName=x\n[Cache]\nSize=") + c.Stored + "\n");
        LoadConfiguration();
        EXPECT_EQ(CacheSizeKB, c.Expected) << c.Stored;
        EXPECT_EQ(IniFile->ReadString("Cache", "Size", ""), c.Stored) << "nothing written back";
    }
    SetFreeSpaceQuery({});
    delete IniFile;
    IniFile = nullptr;
}
