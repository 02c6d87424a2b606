// The loader's view of the thumbnail database: the facts of the information pass, which
// the captions and the sort by date show.
#include "app/c_ImageListThread.h"
#include "cache/CThumbnailDB.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(DatabaseSource, FactsOfRealFilesWithTheShotDateAsTheProgramWritesDates) {
    TempHome home;
    TThumbnailDB db(nullptr, home.Path());
    db.SetCacheDirectory(home.Path() + "Temp");
    const auto source = MakeDatabaseSource(&db);
    struct {
        const char* File;
        QSize Size;
        const char* Shot;
    } const cases[] = {
        {"dune.jpg", {640, 400}, "2007/08/06 10:29:13"},
        {"storm_progressive.jpg", {480, 320}, ""},
        {"meadow_16bit.png", {200, 160}, ""},
    };
    for (const auto& c : cases) {
        const QString path = TestDataPath(c.File);
        TOriginalFacts facts;
        ASSERT_TRUE(source->GetOriginalInfo(path, facts)) << c.File;
        EXPECT_EQ(facts.ExifDateTimeOriginal, c.Shot) << c.File;
        EXPECT_EQ(facts.FileSize, QFileInfo(path).size()) << c.File;
        EXPECT_EQ(facts.FileTime.size(), 19) << c.File;
        EXPECT_EQ(QSize(facts.Width, facts.Height), c.Size) << c.File;
    }
    TOriginalFacts none;
    EXPECT_FALSE(source->GetOriginalInfo(home.Path() + "gone.jpg", none));
}
