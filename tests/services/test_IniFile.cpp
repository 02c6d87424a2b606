// The settings file: values as the program reads and writes them, files it did not write,
// and files it may not write.
#include "services/CException.h"
#include "services/CIniFile.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct IniFileTest : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath("Thumbnail.ini");
};

} // namespace

TEST_F(IniFileTest, IntegersBooleansAndStrings) {
    TIniFile ini(path);
    // Decimal or hex integers only (9 is the default here); any number but 0 is true.
    for (auto [text, read] : {std::pair{"0x400", 1024},
                              {"12abc", 9},
                              {"-5", -5},
                              {"0x", 9},
                              {"99999999999", 9},
                              {"0xFFFFFFFF", -1}}) {
        ini.WriteString("Cache", "Size", text);
        EXPECT_EQ(ini.ReadInteger("Cache", "Size", 9), read) << text;
    }
    for (auto [text, fallback, read] : {std::tuple{"0", true, false},
                                        {"2", false, true},
                                        {"yes", true, true},
                                        {"yes", false, false}}) {
        ini.WriteString("PrintJacket", "B", text);
        EXPECT_EQ(ini.ReadBool("PrintJacket", "B", fallback), read) << text;
    }

    // Case-insensitive names, UTF-8 text, surrounding blanks removed.
    ini.WriteString("APP", "APPName", "ヴェルモラ");
    EXPECT_EQ(ini.ReadString("app", "appname", ""), "ヴェルモラ");
    ini.WriteString("App", "APPNAME", "  padded value\t");
    EXPECT_EQ(ini.ReadString("APP", "APPName", ""), "padded value");
    EXPECT_EQ(ini.ReadSection("APP"), QStringList{"APPNAME"}); // rewritten, not duplicated

    // A value with a line break cannot plant a key of its own.
    ini.WriteString("APP", "Title", "one\n[Cache]\nDirectory=/etc");
    EXPECT_EQ(ini.ReadString("Cache", "Directory", "none"), "none");
    EXPECT_EQ(ini.ReadString("APP", "Title", ""), "one [Cache] Directory=/etc");

    // Values are read into a 2048-character buffer; a surrogate pair is never split.
    ini.WriteString("APP", "Emoji", QString(2046, 'y') + QString::fromUtf8("📷📷"));
    EXPECT_EQ(ini.ReadString("APP", "Emoji", ""), QString(2046, 'y') + QString::fromUtf8("📷"));
}

TEST_F(IniFileTest, EraseSectionLeavesTheOthers) {
    WriteRaw(path, "; settings\r\n[APP]\r\nAPPName=v\r\n[PrintJacket]\r\nLayout=2\r\nTitle=t\r\n"
                   "\r\n[PrintThumbnail]\r\nLayout=3\r\n[printjacket]\r\nRotateCount=1\r\n");
    TIniFile ini(path);
    ini.EraseSection("PrintJacket");
    // Every other line is kept byte for byte; a new key joins its section, new lines follow
    // the file's line ends.
    ini.WriteString("APP", "New", "n");
    ini.WriteString("Cache", "Size", "5");
    EXPECT_EQ(ReadAll(path),
              QByteArray("; settings\r\n[APP]\r\nAPPName=v\r\nNew=n\r\n[PrintThumbnail]\r\n"
                         "Layout=3\r\n[Cache]\r\nSize=5\r\n"));
    ini.DeleteKey("app", "new");
    EXPECT_EQ(ini.ReadSection("APP"), QStringList{"APPName"});
}

TEST_F(IniFileTest, MissingReadOnlyOrForeignFilesLoseNothing) {
    // Missing: defaults, and reads, erasing and deleting create nothing.
    TIniFile ini(path);
    ini.EraseSection("Cache");
    ini.DeleteKey("Cache", "Size");
    EXPECT_FALSE(QFileInfo::exists(path));

    // Read-only: read, never written, no temporary left behind.
    const QByteArray before = "[Cache]\nDirectory=/x\n[PrintJacket]\nLayout=1\n";
    WriteRaw(path, before);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    EXPECT_EQ(ini.ReadString("Cache", "Directory", ""), "/x");
    EXPECT_THROW(ini.WriteString("Cache", "Directory", "/y"), Exception);
    EXPECT_THROW(ini.EraseSection("PrintJacket"), Exception);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Thumbnail.ini"});

    // A rewrite goes through a new file (a crash mid-write leaves the old one whole: a hard
    // link keeps it), keeps the file's permissions, and through a link replaces the file it
    // names.
    ::chmod(QFile::encodeName(path).constData(), 0640);
    const QString hard = dir.filePath("old.ini");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(hard).constData()), 0);
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(path, link));
    TIniFile(link).WriteInteger("Cache", "Size", 3);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", 0), 3);
    EXPECT_EQ(ReadAll(hard), before);
    EXPECT_EQ(QFileInfo(path).permissions() & 0x7777, QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ReadUser | QFile::WriteUser |
                                                          QFile::ReadGroup);

    // Garbage, or a file ending in a byte-order mark or without a line end: a write reads
    // back and keeps what it does not understand.
    QByteArray garbage(4096, 0);
    for (int i = 0; i < 4096; ++i)
        garbage[i] = char((i * 131 + 7) % 256);
    garbage.replace('[', 'y').replace('=', 'x');
    for (const QByteArray& content :
         {garbage + "\n", QByteArray("[A]\nx=1\n\xEF\xBB\xBF"), QByteArray("[A]\nx=1")}) {
        WriteRaw(path, content);
        ini.WriteString("A", "y", "2");
        EXPECT_EQ(ini.ReadString("A", "x", "") + ini.ReadString("A", "y", ""),
                  content.size() > 100 ? "2" : "12");
        EXPECT_TRUE(ReadAll(path).startsWith(content.left(content.size() - 3)));
    }

    // A folder in the file's place reads as defaults and refuses writes.
    QDir().mkdir(dir.filePath("Folder.ini"));
    TIniFile notAFile(dir.filePath("Folder.ini"));
    EXPECT_EQ(notAFile.ReadString("A", "B", "d"), "d");
    EXPECT_THROW(notAFile.WriteString("A", "B", "c"), Exception);
}
