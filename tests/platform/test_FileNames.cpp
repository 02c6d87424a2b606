// Names cross between the file system and the program without loss: bytes that are not
// UTF-8 come through as lone surrogates and go back as the same bytes.
#include "platform/PFileSystem.h"

#include <gtest/gtest.h>

TEST(FileNames, EveryByteSequenceSurvivesTheRoundTripAndUtf8ReadsAsUtf8) {
    struct {
        const char* Label;
        QByteArray Native;
        bool Utf8; // decodes exactly as UTF-8
        int Kept;  // bytes kept as surrogates
    } cases[] = {
        {"ascii", "IMG_0001.jpg", true, 0},
        {"utf-8 two, three and four bytes", "caf\xC3\xA9 \xE5\x86\x99 \xF0\x9F\x93\xB7.jpg", true,
         0},
        {"latin-1", "caf\xE9.jpg", false, 1},
        {"shift-jis", "\x93\xFA\x96\x7B.jpg", false, 3}, // 0x7B is plain ASCII
        {"truncated", "a\xE6\x97", false, 2},
        {"overlong slash", "\xC0\xAF", false, 2},
        {"encoded surrogate", "\xED\xA0\x80", false, 3},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false, 4},
        {"lone continuation", "\x80x", false, 1},
        {"valid then invalid", "\xC3\xA9\xFF", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Label);
        const QString name = PDecodeName(c.Native);
        EXPECT_EQ(PEncodeName(name), c.Native);
        int kept = 0;
        for (qsizetype k = 0; k < name.size(); ++k) {
            const char16_t u = name.at(k).unicode();
            const bool paired = k > 0 && name.at(k - 1).isHighSurrogate();
            kept += u >= 0xDC80 && u <= 0xDCFF && !paired ? 1 : 0;
        }
        EXPECT_EQ(kept, c.Kept);
        if (c.Utf8) {
            EXPECT_EQ(name, QString::fromUtf8(c.Native));
        }
    }
    // A Latin-1 name and the UTF-8 name it would read as stay two names.
    EXPECT_NE(PDecodeName("caf\xE9"), PDecodeName("caf\xC3\xA9"));
    EXPECT_EQ(PDecodeName("caf\xE9").at(3).unicode(), 0xDCE9);
}
