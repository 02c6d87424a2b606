// The loader against a source held in memory: passes, progress, the failing-item rule and order
// (also run under ThreadSanitizer); the sort keys and the time format of video dates.
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Every path gives facts and a 400 x 300 picture unless it is listed as broken (the thumbnail
// raises) or missing (no facts, no picture).
struct TFakeSource : TThumbnailSource {
    QSet<QString> Broken, Missing;
    std::atomic<int> Made{0}; // GetThumbnail calls

    void SetBox(int, int) override {}
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override {
        if (Missing.contains(path))
            return false;
        const qsizetype name = QFileInfo(path).completeBaseName().size();
        facts = {1000 + name * 1024, "2004/03/05 19:08:10", {}, 400, 300};
        return true;
    }
    bool GetThumbnail(const QString& path, QImage& bitmap) override {
        ++Made;
        if (Broken.contains(path))
            throw std::runtime_error("broken picture");
        if (Missing.contains(path))
            return false;
        bitmap = QImage(400, 300, QImage::Format_RGB32);
        bitmap.fill(Qt::darkGreen);
        return true;
    }
    bool RefreshThumbnail(const QString& path, QImage& bitmap) override {
        return GetThumbnail(path, bitmap);
    }
};

struct TRig : TLoaderRig {
    TFakeSource* Source = new TFakeSource;

    TRig() {
        Start(std::unique_ptr<TThumbnailSource>(Source));
        Thread->OnDrawIcon = [](const QString&, QImage& bitmap) {
            bitmap = QImage(48, 48, QImage::Format_RGB32);
            bitmap.fill(Qt::gray);
        };
    }
    QStringList Names() const {
        QStringList n;
        for (int i = 0; i < Grid.Count(); ++i)
            n << Grid.Item(i)->FileName;
        return n;
    }
};

} // namespace

TEST(ImageListThread, TwoPassesReportEveryStepAndBrokenPicturesCountOnce) {
    TRig rig;
    QTemporaryDir dir;
    WriteRaw(dir.filePath("video.avi"), QByteArray(3000, 'x'));
    QStringList list = NumberedPaths(dir.path(), 6);
    list << dir.filePath("video.avi") << dir.filePath("zgone.avi"); // sorted after the pictures
    rig.Source->Broken << list[0] << list[3]; // the first of the sweep and a later one
    rig.Source->Missing << list[4];           // no facts and no picture, without an error
    int namedAfterFirstPass = 0;
    rig.OnReport = [&](int p) {
        for (int i = 0; p == 50 && i < rig.Grid.Count(); ++i)
            namedAfterFirstPass += rig.Grid.Item(i)->FileName.isEmpty() ? 0 : 1;
    };
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.Reports, QList<int>({6, 12, 19, 25, 31, 38, 44, 50, 56, 62, 69, 75, 81, 88, 94,
                                       100})); // half to even; the end once, after the last
    EXPECT_EQ(namedAfterFirstPass, 8);
    EXPECT_EQ(rig.Pictures(), 5); // three pictures and the video's icon
    EXPECT_EQ(rig.Grid.Item(1)->Bitmap.size(), QSize(128, 96));
    for (int i : {0, 3, 4})
        EXPECT_TRUE(rig.Grid.Item(i)->Bitmap.isNull() && rig.Grid.Item(i)->Info[0].isEmpty());
    EXPECT_TRUE(rig.Grid.Item(4)->Info[3].isEmpty()); // not the facts of the previous file
    EXPECT_EQ(rig.Source->Made.load(), 6);            // once each; videos are never decoded
    // A video gets its icon and its facts; a vanished one is skipped.
    EXPECT_EQ(rig.Grid.Item(6)->Info[3], "3000");
    EXPECT_EQ(rig.Grid.Item(6)->Bitmap.size(), QSize(128, 128));
    EXPECT_TRUE(rig.Grid.Item(7)->Info[3].isEmpty());
}

TEST(ImageListThread, OrderAndCaptions) {
    TRig rig;
    ASSERT_TRUE(rig.Load({"/p/b.jpg", "/p/C.jpg", "/p/a.jpg", "/p/clip.avi"}));
    EXPECT_EQ(rig.Names(), QStringList({"a.jpg", "b.jpg", "C.jpg", "clip.avi"}));
    // In name order: size, width, height, file date, shot date.
    const QStringList facts[] = {
        {"353280", "1600", "1200", "2003/01/01 00:00:00", ""},
        {"900", "", "", "2001/01/01 00:00:00", "2009/01/01 00:00:00"}, // the shot decides
        {"1000000", "", "", "2002/01/01 00:00:00", ""},
        {"4", "", "", "2004/01/01 00:00:00", ""},
    };
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 5; ++k)
            rig.Grid.Item(i)->Info[std::array{3, 6, 7, 4, 5}[k]] = facts[i][k];
    // The order, and the caption of one cell in it.
    const std::tuple<int, QStringList, int, QString> orders[] = {
        {1, {"clip.avi", "b.jpg", "a.jpg", "C.jpg"}, 2, "345KB (1600x1200)"},
        {2, {"C.jpg", "a.jpg", "clip.avi", "b.jpg"}, 3, "2001/01/01 00:00:00"}, // the file date
        {0, {"a.jpg", "b.jpg", "C.jpg", "clip.avi"}, 0, ""},
    };
    for (const auto& [mode, names, cell, caption] : orders) {
        rig.Thread->SetSortMode(mode);
        EXPECT_EQ(rig.Names(), names) << mode;
        EXPECT_EQ(rig.Grid.Item(cell)->Info[8], caption) << mode;
    }
}

TEST(SortOrder, KeysMadeOnceGiveThePairwiseOrderTiesIncluded) {
    // Names in case, other scripts, astral characters and kept bytes; sizes; dates.
    TThumbListView grid;
    TImageListThread loader(&grid, nullptr);
    QRandomGenerator rng(11);
    QStringList stems = QString("a A b img_0001 IMG_0001 Img_0002 é É 写真 z").split(' ');
    stems << QString::fromUtf16(u"\U0001F4F7") << QString(QChar(0xDCE9)) << QString();
    const QStringList dates = {"", "2004/03/05 19:08:09", "2004/03/05 19:08:10", "2001/01/01"};
    auto pick = [&](const QStringList& from) { return from[rng.bounded(int(from.size()))]; };
    QList<QStringList> original;
    for (int i = 0; i < 400; ++i) {
        const QString name = pick(stems) + pick(stems);
        const QString size = QString::number(rng.bounded(6) * 1024);
        original << QStringList{"", name, QString::number(i), size, pick(dates), pick(dates)};
        original.last().resize(9);
    }
    const auto ranks = grid.OnRank;
    ASSERT_TRUE(ranks);
    for (int mode : {0, 1, 2}) {
        QStringList ids[2]; // by the keys made once, then every pair through SortCompare
        for (int pairwise : {0, 1}) {
            grid.SetCount(400);
            for (int i = 0; i < 400; ++i)
                grid.Item(i)->Info = original[i], grid.Item(i)->FileName = original[i][1];
            grid.OnRank = pairwise ? nullptr : ranks;
            pairwise ? grid.Sort() : loader.SetSortMode(mode);
            for (int i = 0; i < 400; ++i)
                ids[pairwise] << grid.Item(i)->Info[2];
        }
        grid.OnRank = ranks;
        EXPECT_TRUE(ids[0] == ids[1] && ids[0].first() != "0") << mode; // the same, and sorted
    }
}

TEST(FileDates, OnlyTheZoneLeavesTheLongTimeFormat) {
    const std::array<const char*, 2> cases[] = {
        // format, 14:05:09 in it without the zone
        {"H 'Uhr' mm 'tot' ss tttt", "14 Uhr 05 tot 09"},
        {"'at' HH:mm 'o''t' ss t", "at 14:05 o't 09"},
        {"t HH:mm:ss", "14:05:09"},
    };
    for (auto [in, shown] : cases) {
        const QString format = TimeFormatWithoutZone(QString::fromUtf8(in));
        EXPECT_EQ(QLocale::c().toString(QTime(14, 5, 9), format), QString::fromUtf8(shown)) << in;
    }
}
