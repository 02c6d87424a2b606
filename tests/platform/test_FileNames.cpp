// Names cross between the file system and the program without loss: bytes that are not
// UTF-8 come through as lone surrogates and go back as the same bytes.
#include "platform/PFileSystem.h"

#include <gtest/gtest.h>

TEST(FileNames, EveryByteSequenceSurvivesTheRoundTripAndUtf8ReadsAsUtf8) {
    const std::tuple<const char*, QByteArray, int> cases[] = {
        // bytes kept as surrogates
        {"utf-8 two, three and four bytes", "caf\xC3\xA9 \xE5\x86\x99 \xF0\x9F\x93\xB7.jpg", 0},
        {"latin-1", "caf\xE9.jpg", 1},
        {"shift-jis", "\x93\xFA\x96\x7B.jpg", 3}, // 0x7B is plain ASCII
        {"truncated", "a\xE6\x97", 2},
        {"overlong slash", "\xC0\xAF", 2},
        {"encoded surrogate", "\xED\xA0\x80", 3},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 4},
        {"valid then invalid", "\xC3\xA9\xFF", 1},
    };
    for (const auto& [label, native, kept] : cases) {
        SCOPED_TRACE(label);
        const QString name = PDecodeName(native);
        EXPECT_EQ(PEncodeName(name), native);
        int lone = 0;
        for (qsizetype k = 0; k < name.size(); ++k)
            lone += name.at(k).unicode() >= 0xDC80 && name.at(k).unicode() <= 0xDCFF &&
                    !(k > 0 && name.at(k - 1).isHighSurrogate());
        EXPECT_EQ(lone, kept);
        EXPECT_TRUE(kept > 0 || name == QString::fromUtf8(native));
    }
    EXPECT_EQ(PDecodeName("caf\xE9").at(3).unicode(), 0xDCE9);
}
