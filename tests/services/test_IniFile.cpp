#include "services/CException.h"
#include "services/CIniFile.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int KillKeys = 200;
constexpr int KillValueLength = 1500;

QString KillKey(int k) {
    return QString("K%1").arg(k, 3, 10, QChar('0'));
}

// When started by the kill test, this executable becomes a writer that rewrites the file
// until it is killed; it never reaches main.
const int KillWriter = [] {
    const QByteArray path = qgetenv("VELMORA_INI_KILL_WRITER");
    if (path.isEmpty())
        return 0;
    try {
        TIniFile ini(QString::fromLocal8Bit(path));
        for (unsigned g = 1;; ++g) {
            const QString value(KillValueLength, QChar(g % 2 ? 'a' : 'b'));
            for (int k = 0; k < KillKeys; ++k)
                ini.WriteString("S", KillKey(k), value);
        }
    } catch (...) {
        _exit(3);
    }
}();

struct IniFileTest : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath("Thumbnail.ini");
};

} // namespace

TEST_F(IniFileTest, IntegersHexAndDefaults) {
    struct {
        const char* Text;
        int Read; // 9 is the default
    } const cases[] = {{"0x400", 1024},    {"0X1F", 31},   {"abc", 9}, {"12abc", 9},
                       {"-5", -5},         {"  42  ", 42}, {"0x", 9},  {"99999999999", 9},
                       {"0xFFFFFFFF", -1}, {"", 9},        {"+7", 7},  {"1 2", 9}};
    QByteArray text = "[Cache]\n";
    for (size_t k = 0; k < std::size(cases); ++k)
        text += "K" + QByteArray::number(qulonglong(k)) + "=" + cases[k].Text + "\n";
    WriteRaw(path, text);
    TIniFile ini(path);
    for (size_t k = 0; k < std::size(cases); ++k)
        EXPECT_EQ(ini.ReadInteger("Cache", QString("K%1").arg(k), 9), cases[k].Read)
            << cases[k].Text;
    EXPECT_EQ(ini.ReadInteger("Cache", "Missing", 9), 9);

    ini.WriteInteger("Cache", "Size", -2147483647 - 1);
    EXPECT_EQ(ini.ReadString("Cache", "Size", ""), "-2147483648");
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", 0), -2147483647 - 1);
}

TEST_F(IniFileTest, BooleansAndStrings) {
    TIniFile ini(path);
    ini.WriteBool("PrintJacket", "FontStyleB", true);
    ini.WriteBool("PrintJacket", "FontStyleI", false);
    EXPECT_TRUE(ini.ReadBool("PrintJacket", "FontStyleB", false));
    EXPECT_FALSE(ini.ReadBool("PrintJacket", "FontStyleI", true));
    ini.WriteString("PrintJacket", "Two", "2");
    EXPECT_TRUE(ini.ReadBool("PrintJacket", "Two", false));
    ini.WriteString("PrintJacket", "Text", "yes");
    EXPECT_TRUE(ini.ReadBool("PrintJacket", "Text", true));
    EXPECT_FALSE(ini.ReadBool("PrintJacket", "Text", false));
    EXPECT_TRUE(ini.ReadBool("PrintJacket", "Missing", true));

    // Case-insensitive names, UTF-8 text, surrounding blanks removed, empty is not missing.
    ini.WriteString("APP", "APPName", "ヴェルモラ");
    EXPECT_EQ(ini.ReadString("app", "appname", ""), "ヴェルモラ");
    ini.WriteString("App", "APPNAME", "  padded value\t");
    EXPECT_EQ(ini.ReadString("APP", "APPName", ""), "padded value");
    EXPECT_EQ(ini.ReadSection("APP"), QStringList{"APPNAME"}); // rewritten, not duplicated
    ini.WriteString("APP", "Empty", "");
    EXPECT_EQ(ini.ReadString("APP", "Empty", "def"), "");

    // A value with a line break cannot plant a key of its own.
    ini.WriteString("APP", "Title", "one\n[Cache]\nDirectory=/etc");
    EXPECT_EQ(ini.ReadString("Cache", "Directory", "none"), "none");
    EXPECT_EQ(ini.ReadString("APP", "Title", ""), "one [Cache] Directory=/etc");

    // Values are read into a 2048-character buffer; a code point is never split.
    const QString longValue = QString(2046, 'x') + "ゴシック";
    ini.WriteString("APP", "Long", longValue);
    EXPECT_EQ(ini.ReadString("APP", "Long", ""), QString(2046, 'x') + "ゴ");
    const QString emoji =
        QString(2046, 'y') + QString::fromUtf8("\xF0\x9F\x93\xB7\xF0\x9F\x93\xB7");
    ini.WriteString("APP", "Emoji", emoji);
    EXPECT_EQ(ini.ReadString("APP", "Emoji", ""),
              QString(2046, 'y') + QString::fromUtf8("\xF0\x9F\x93\xB7"));
}

TEST_F(IniFileTest, EraseSectionLeavesTheOthers) {
    WriteRaw(path, "; settings\r\n[APP]\r\nAPPName=v\r\n[PrintJacket]\r\nLayout=2\r\nTitle=t\r\n"
                   "\r\n[PrintThumbnail]\r\nLayout=3\r\n[printjacket]\r\nRotateCount=1\r\n");
    TIniFile ini(path);
    ini.EraseSection("PrintJacket");
    EXPECT_EQ(ini.ReadInteger("PrintJacket", "Layout", 0), 0);
    EXPECT_EQ(ini.ReadInteger("PrintJacket", "RotateCount", 0), 0);
    EXPECT_EQ(ini.ReadString("PrintJacket", "Title", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("PrintThumbnail", "Layout", 0), 3);
    EXPECT_EQ(ini.ReadString("APP", "APPName", ""), "v");
    EXPECT_FALSE(ini.SectionExists("PrintJacket"));
    // Every other line is kept byte for byte, line ends included.
    EXPECT_EQ(ReadAll(path), QByteArray("; settings\r\n[APP]\r\nAPPName=v\r\n[PrintThumbnail]\r\n"
                                        "Layout=3\r\n"));
    // A new key joins its section; new lines follow the file's line ends.
    ini.WriteString("APP", "New", "n");
    ini.WriteString("Cache", "Size", "5");
    EXPECT_EQ(ReadAll(path),
              QByteArray("; settings\r\n[APP]\r\nAPPName=v\r\nNew=n\r\n[PrintThumbnail]\r\n"
                         "Layout=3\r\n[Cache]\r\nSize=5\r\n"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{"APP", "PrintThumbnail", "Cache"}));
    ini.DeleteKey("app", "new");
    EXPECT_FALSE(ini.ValueExists("APP", "New"));
    EXPECT_TRUE(ini.ValueExists("APP", "APPName"));
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndReadsCreateNothing) {
    TIniFile ini(path);
    EXPECT_EQ(ini.FileName(), path);
    EXPECT_EQ(ini.ReadString("Cache", "Directory", "/d"), "/d");
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", -1), -1);
    EXPECT_TRUE(ini.ReadBool("Cache", "B", true));
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    ini.EraseSection("Cache");
    ini.DeleteKey("Cache", "Size");
    EXPECT_FALSE(QFileInfo::exists(path));
    ini.WriteString("APP", "APPName", "x");
    EXPECT_EQ(ReadAll(path), QByteArray("[APP]\nAPPName=x\n"));

    // A folder that does not exist cannot take the file: the error names it.
    TIniFile lost(dir.filePath("no/such/folder/Thumbnail.ini"));
    EXPECT_THROW(lost.WriteString("APP", "APPName", "x"), Exception);
}

TEST_F(IniFileTest, ReadOnlyFileIsNeverWritten) {
    const QByteArray before = "[Cache]\nDirectory=/x\n[PrintJacket]\nLayout=1\n";
    WriteRaw(path, before);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Cache", "Directory", ""), "/x");
    EXPECT_THROW(ini.WriteString("Cache", "Directory", "/y"), Exception);
    EXPECT_THROW(ini.WriteInteger("Cache", "Size", 1), Exception);
    EXPECT_THROW(ini.EraseSection("PrintJacket"), Exception);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Thumbnail.ini"}); // no temporary left behind
}

TEST_F(IniFileTest, RewriteKeepsPermissionsAndLinks) {
    const QByteArray before = "[Cache]\nSize=1\n";
    WriteRaw(path, before);
    ::chmod(QFile::encodeName(path).constData(), 0640);
    TIniFile ini(path);
    ini.WriteInteger("Cache", "Size", 2);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the rewrite must keep the file's permissions";
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", 0), 2);

    // Writing through a symbolic link replaces the file it names, not the link.
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(path, link));
    TIniFile viaLink(link);
    viaLink.WriteInteger("Cache", "Size", 3);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", 0), 3);
}

TEST_F(IniFileTest, GarbageReadsAsDefaultsAndSurvives) {
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(static_cast<char>((i * 131 + 7) % 256));
    garbage.replace('=', 'x').replace('[', 'y');
    WriteRaw(path, garbage);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Cache", "Directory", "d"), "d");
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", -1), -1);
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    EXPECT_EQ(ReadAll(path), garbage);
    // A write keeps what it does not understand and adds its own section.
    ini.WriteString("APP", "APPName", "v");
    EXPECT_EQ(ini.ReadString("APP", "APPName", ""), "v");
    const QByteArray after = ReadAll(path);
    EXPECT_TRUE(after.startsWith(garbage.left(garbage.lastIndexOf('\n'))));
    EXPECT_TRUE(after.contains(garbage.mid(garbage.lastIndexOf('\n') + 1)));

    // A folder in the file's place reads as defaults and refuses writes.
    const QString folder = dir.filePath("Folder.ini");
    QDir().mkdir(folder);
    TIniFile notAFile(folder);
    EXPECT_EQ(notAFile.ReadString("A", "B", "d"), "d");
    EXPECT_THROW(notAFile.WriteString("A", "B", "c"), Exception);
}

// A writer killed at any moment leaves the old file or the new one, never a torn one.
TEST_F(IniFileTest, KilledWriterLeavesOldOrNewFile) {
    {
        TIniFile ini(path);
        QByteArray seed = "[S]\n";
        for (int k = 0; k < KillKeys; ++k)
            seed += KillKey(k).toUtf8() + "=" + QByteArray(KillValueLength, 'b') + "\n";
        WriteRaw(path, seed);
    }
    int changedRuns = 0;
    for (int run = 0; run < 8; ++run) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMORA_INI_KILL_WRITER", path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_list_tests"});
        ASSERT_TRUE(child.waitForStarted());
        // Kill it only once it is busy writing, at a different moment each run.
        const QByteArray before = ReadAll(path);
        QElapsedTimer busy;
        busy.start();
        while (ReadAll(path) == before && busy.elapsed() < 20000)
            QThread::msleep(2);
        if (ReadAll(path) != before)
            ++changedRuns;
        QThread::msleep(3 + 11 * run);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished());
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << "the writer stopped by itself";

        const QByteArray data = ReadAll(path);
        const QList<QByteArray> lines = data.split('\n');
        ASSERT_EQ(lines.size(), KillKeys + 2) << "torn file of " << data.size() << " bytes";
        EXPECT_EQ(lines.first(), "[S]");
        EXPECT_TRUE(lines.last().isEmpty());
        for (int k = 0; k < KillKeys; ++k) {
            const QByteArray& l = lines[k + 1];
            const QByteArray head = KillKey(k).toUtf8() + "=";
            ASSERT_TRUE(l.startsWith(head)) << "line " << k + 1;
            const QByteArray value = l.mid(head.size());
            ASSERT_EQ(value.size(), KillValueLength);
            ASSERT_TRUE(value == QByteArray(KillValueLength, 'a') ||
                        value == QByteArray(KillValueLength, 'b'));
        }
    }
    EXPECT_EQ(changedRuns, 8) << "the writer did not get to write every run";
}
