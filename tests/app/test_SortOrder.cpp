// Sorting by keys made once per item gives exactly the order of the pairwise exchange sort,
// ties included, for names (case, other scripts, astral characters, kept bytes), sizes and
// dates. (bench/folder_list gives the time against the pairwise sort.)
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

TEST(SortOrder, KeysMadeOnceGiveThePairwiseOrderTiesIncluded) {
    TThumbListView grid;
    TImageListThread loader(&grid, nullptr);
    QRandomGenerator rng(11);
    const QStringList stems = {"a",
                               "A",
                               "b",
                               "img_0001",
                               "IMG_0001",
                               "Img_0002",
                               "é",
                               "É",
                               "写真",
                               QString::fromUtf16(u"\U0001F4F7"),
                               QString(QChar(0xDCE9)),
                               "z",
                               ""};
    const QStringList dates = {"", "2004/03/05 19:08:09", "2004/03/05 19:08:10",
                               "2001/01/01 00:00:00"};
    const int n = 400;
    QList<QStringList> original;
    for (int i = 0; i < n; ++i) {
        QStringList info(9);
        info[1] = stems[rng.bounded(int(stems.size()))] + stems[rng.bounded(int(stems.size()))];
        info[2] = QString::number(i); // identity
        info[3] = QString::number(rng.bounded(6) * 1024);
        info[4] = dates[rng.bounded(int(dates.size()))];
        info[5] = dates[rng.bounded(int(dates.size()))];
        original << info;
    }
    auto reset = [&] {
        grid.SetCount(n);
        for (int i = 0; i < n; ++i) {
            grid.Item(i)->Info = original[i];
            grid.Item(i)->FileName = original[i][1];
        }
    };
    auto order = [&] {
        QStringList ids;
        for (int i = 0; i < n; ++i)
            ids << grid.Item(i)->Info[2];
        return ids;
    };
    const auto ranks = grid.OnRank;
    ASSERT_TRUE(ranks);
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        reset();
        grid.OnRank = ranks;
        loader.SetSortMode(mode); // captions, then the sort by ranks
        const QStringList byRanks = order();
        reset();
        grid.OnRank = nullptr;
        grid.Sort(); // every pair through SortCompare
        EXPECT_EQ(byRanks, order());
        QStringList unsorted;
        for (int i = 0; i < n; ++i)
            unsorted << QString::number(i);
        EXPECT_NE(byRanks, unsorted); // the sort did run
    }
    grid.OnRank = ranks;
}
