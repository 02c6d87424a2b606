// The settings file: values as the program reads and writes them, files it did not write,
// files it may not write, and a writer killed in the middle.
#include "services/CException.h"
#include "services/CIniFile.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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
        for (unsigned g = 1;; ++g)
            for (int k = 0; k < KillKeys; ++k)
                ini.WriteString("S", KillKey(k),
                                QString(KillValueLength, QChar(g % 2 ? 'a' : 'b')));
    } catch (...) {
        _exit(3);
    }
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
                              {"", 9},
                              {"99999999999", 9},
                              {"0xFFFFFFFF", -1}}) {
        ini.WriteString("Cache", "Size", text);
        EXPECT_EQ(ini.ReadInteger("Cache", "Size", 9), read) << text;
    }
    ini.WriteBool("PrintJacket", "FontStyleI", false);
    ini.WriteString("PrintJacket", "Two", "2");
    ini.WriteString("PrintJacket", "Text", "yes");
    EXPECT_EQ((QList<bool>{ini.ReadBool("PrintJacket", "FontStyleI", true),
                           ini.ReadBool("PrintJacket", "Two", false),
                           ini.ReadBool("PrintJacket", "Text", true),
                           ini.ReadBool("PrintJacket", "Text", false)}),
              (QList<bool>{false, true, true, false}));

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
    EXPECT_EQ(ini.ReadSection("APP"), QStringList{"APPName"});
}

TEST_F(IniFileTest, MissingReadOnlyOrForeignFilesLoseNothing) {
    // Missing: defaults, and reads, erasing and deleting create nothing.
    TIniFile ini(path);
    ini.EraseSection("Cache");
    ini.DeleteKey("Cache", "Size");
    EXPECT_FALSE(QFileInfo::exists(path));
    ini.WriteString("APP", "APPName", "x");
    EXPECT_EQ(ReadAll(path), QByteArray("[APP]\nAPPName=x\n"));

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
    ini.WriteInteger("Cache", "Size", 2);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(path, link));
    TIniFile(link).WriteInteger("Cache", "Size", 3);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ini.ReadInteger("Cache", "Size", 0), 3);

    // Garbage reads as defaults; a write keeps what it does not understand.
    QByteArray garbage(4096, 0);
    for (int i = 0; i < 4096; ++i)
        garbage[i] = char((i * 131 + 7) % 256);
    garbage.replace('[', 'y').replace('=', 'x');
    WriteRaw(path, garbage + "\n");
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    ini.WriteString("APP", "APPName", "v");
    EXPECT_EQ(ini.ReadString("APP", "APPName", ""), "v");
    EXPECT_TRUE(ReadAll(path).startsWith(garbage + "\n"));

    // A folder in the file's place reads as defaults and refuses writes.
    QDir().mkdir(dir.filePath("Folder.ini"));
    TIniFile notAFile(dir.filePath("Folder.ini"));
    EXPECT_EQ(notAFile.ReadString("A", "B", "d"), "d");
    EXPECT_THROW(notAFile.WriteString("A", "B", "c"), Exception);
}

TEST_F(IniFileTest, AWriteReadsBackWhateverTheFileEndsWith) {
    // Files the fuzzer brought up: a write reads back and no other value changes.
    for (const QByteArray& content : {QByteArray("[A]\nx=1\n\xEF\xBB\xBF"), QByteArray("[A]\nx=1"),
                                      QByteArray("\xEF\xBB\xBF[A]\r\nx=1\r\n")}) {
        SCOPED_TRACE(content.toHex().toStdString());
        WriteRaw(path, content);
        TIniFile ini(path);
        ini.WriteString("Fuzz", "Written", "yes");
        ini.WriteString("A", "y", "2");
        EXPECT_EQ(ini.ReadString("A", "x", "") + ini.ReadString("A", "y", "") +
                      ini.ReadString("Fuzz", "Written", ""),
                  "12yes");
    }
    // U+FEFF at the start of a name or value is text, not a byte-order mark.
    WriteRaw(path, QByteArray("\xEF\xBB\xBF[\xEF\xBB\xBF\xEF\xBB\xBF[{]\n=\n"));
    TIniFile ini(path);
    const QString mark(QChar(0xFEFF));
    ASSERT_EQ(ini.ReadSections(), QStringList{mark + mark + "[{"});
    ini.WriteString(mark + mark + "[{", "Written", mark + "value");
    EXPECT_EQ(ini.ReadString(mark + mark + "[{", "Written", "lost"), mark + "value");
    EXPECT_EQ(ini.ReadSections(), QStringList{mark + mark + "[{"});
}

// A writer killed at any moment leaves the old file or the new one, never a torn one.
TEST_F(IniFileTest, KilledWriterLeavesOldOrNewFile) {
    QByteArray seed = "[S]\n";
    for (int k = 0; k < KillKeys; ++k)
        seed += KillKey(k).toUtf8() + "=" + QByteArray(KillValueLength, 'b') + "\n";
    WriteRaw(path, seed);
    const QRegularExpression whole(
        QString("^\\[S\\]\n(K\\d{3}=(a{%1}|b{%1})\n){%2}$").arg(KillValueLength).arg(KillKeys));
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
        QThread::msleep(3 + 11 * run);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished());
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << "the writer stopped by itself";
        EXPECT_TRUE(whole.match(QString::fromLatin1(ReadAll(path))).hasMatch()) << "a torn file";
    }
}
