// Settings files the fuzzer brought up: a write to them is read back, and no other value
// changes.
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(IniFileOddFiles, AWriteReadsBackWhateverTheFileEndsWith) {
    struct TCase {
        const char* Name;
        QByteArray Content;
    };
    const TCase cases[] = {
        {"the byte-order mark's bytes at the end", QByteArray("[A]\nx=1\n\xEF\xBB\xBF")},
        {"only the byte-order mark", QByteArray("\xEF\xBB\xBF")},
        {"a last line without its end", QByteArray("[A]\nx=1")},
        {"a byte-order mark and a section", QByteArray("\xEF\xBB\xBF[A]\r\nx=1\r\n")},
    };
    QTemporaryDir tmp;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = tmp.filePath("odd.ini");
        WriteRaw(path, c.Content);
        TIniFile ini(path);
        const QString before = ini.ReadString("A", "x", "none");
        ini.WriteString("Fuzz", "Written", "yes");
        EXPECT_EQ(ini.ReadString("Fuzz", "Written", "lost"), "yes");
        EXPECT_EQ(ini.ReadString("A", "x", "none"), before);
        ini.WriteString("A", "y", "2");
        EXPECT_EQ(ini.ReadString("A", "y", "lost"), "2");
        EXPECT_EQ(ini.ReadString("Fuzz", "Written", "lost"), "yes");
    }
}

TEST(IniFileOddFiles, NamesAndValuesBeginningWithAZeroWidthNoBreakSpaceReadBack) {
    // U+FEFF at the start of a name or value is text, not a byte-order mark.
    QTemporaryDir tmp;
    const QString path = tmp.filePath("odd.ini");
    WriteRaw(path, QByteArray("\xEF\xBB\xBF[\xEF\xBB\xBF\xEF\xBB\xBF[{]\n=\n"));
    TIniFile ini(path);
    const QString mark(QChar(0xFEFF));
    const QStringList sections = ini.ReadSections();
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0], mark + mark + "[{");
    ini.WriteString(sections[0], "Written", mark + "value");
    EXPECT_EQ(ini.ReadString(sections[0], "Written", "lost"), mark + "value");
    EXPECT_EQ(ini.ReadSections(), sections);
}
