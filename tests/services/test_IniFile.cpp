// The settings file: values as the program reads and writes them, files it did not write,
// files it may not write, and a writer killed in the middle.
#include "services/CException.h"
#include "services/CIniFile.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Started by the kill test, this executable rewrites 200 long keys until it is killed; it
// never reaches main.
const int KillWriter = [] {
    const QByteArray path = qgetenv("VELMORA_INI_KILL_WRITER");
    if (path.isEmpty())
        return 0;
    TIniFile ini(QString::fromLocal8Bit(path));
    for (unsigned g = 1;; ++g)
        for (int k = 100; k < 300; ++k)
            ini.WriteString("S", QString("K%1").arg(k), QString(1500, QChar(g % 2 ? 'a' : 'b')));
}();

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

    // A rewrite keeps the file's permissions, and through a link replaces the file it names.
    ::chmod(QFile::encodeName(path).constData(), 0640);
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(path, link));
    TIniFile(link).WriteInteger("Cache", "Size", 3);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", 0), 3);
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

// A writer killed at any moment leaves the old file or the new one, never a torn one.
TEST_F(IniFileTest, KilledWriterLeavesOldOrNewFile) {
    QByteArray seed = "[S]\n";
    for (int k = 100; k < 300; ++k)
        seed += "K" + QByteArray::number(k) + "=" + QByteArray(1500, 'b') + "\n";
    WriteRaw(path, seed);
    const QRegularExpression whole("^\\[S\\]\n(K\\d{3}=(a{1500}|b{1500})\n){200}$");
    for (int run = 0; run < 8; ++run) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMORA_INI_KILL_WRITER", path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_list_tests"});
        ASSERT_TRUE(child.waitForStarted());
        // Killed once it is busy writing, at a different moment each run.
        const QByteArray before = ReadAll(path);
        for (int i = 0; i < 10000 && ReadAll(path) == before; ++i)
            QThread::msleep(2);
        ASSERT_NE(ReadAll(path), before) << "the writer never wrote";
        QThread::msleep(3 + 11 * run);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished());
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << "the writer stopped by itself";
        EXPECT_TRUE(whole.match(QString::fromLatin1(ReadAll(path))).hasMatch()) << "a torn file";
    }
}
