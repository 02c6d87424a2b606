// The time part of a video's file date: the zone is left out of the regional long time
// format, and nothing else is.
#include "app/c_ImageListThread.h"

#include <QLocale>
#include <QTime>
#include <gtest/gtest.h>

TEST(FileDates, OnlyTheZoneLeavesTheLongTimeFormat) {
    struct TCase {
        const char* Format;
        const char* Expected;
        const char* Shown; // 14:05:09 in that format, C locale
    };
    const TCase cases[] = {
        {"HH:mm:ss t", "HH:mm:ss", "14:05:09"},
        {"HH 'h' mm 'min' ss 's' t", "HH 'h' mm 'min' ss 's'", "14 h 05 min 09 s"},
        {"H 'Uhr' mm 'tot' ss tttt", "H 'Uhr' mm 'tot' ss", "14 Uhr 05 tot 09"},
        {"'at' HH:mm 'o''t' ss t", "'at' HH:mm 'o''t' ss", "at 14:05 o't 09"},
        {"t HH:mm:ss", "HH:mm:ss", "14:05:09"},
    };
    const QLocale c(QLocale::C);
    for (const TCase& k : cases) {
        const QString format = TimeFormatWithoutZone(QString::fromUtf8(k.Format));
        EXPECT_EQ(format, QString::fromUtf8(k.Expected)) << k.Format;
        EXPECT_EQ(c.toString(QTime(14, 5, 9), format), QString::fromUtf8(k.Shown)) << k.Format;
    }
}
