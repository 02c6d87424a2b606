// The loader against a source held in memory: passes, progress, requests, scrolling, the
// failing-item rule, hand-overs and waking. These also run under ThreadSanitizer.
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "support_Loader.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

struct TRig {
    std::unique_ptr<TThumbListView> Grid;
    std::unique_ptr<QAction> Reload;
    TFakeSource* Source = nullptr;
    std::unique_ptr<TImageListThread> Thread;
    QList<int> Reports;
    std::function<void(int)> OnReport;

    explicit TRig(int surfaceWidth = 600, int height = 400) {
        Grid = std::make_unique<TThumbListView>();
        Grid->resize(surfaceWidth + TThumbListView::ScrollBarWidth, height);
        Grid->show();
        Reload = std::make_unique<QAction>("Reload this image");
        auto source = std::make_unique<TFakeSource>();
        Source = source.get();
        Thread = std::make_unique<TImageListThread>(Grid.get(), Reload.get(), std::move(source));
        Thread->OnProgress = [this](int p) {
            Reports << p;
            if (OnReport)
                OnReport(p);
        };
        Thread->OnDrawIcon = [](const QString&, QImage& bitmap) {
            bitmap = QImage(48, 48, QImage::Format_RGB32);
            bitmap.fill(Qt::gray);
        };
        Thread->SetThumbSize(128, 128);
    }
    ~TRig() { Thread.reset(); }

    bool Settled() const {
        return Thread->Sleeping() && !Reports.isEmpty() &&
               (Reports.last() >= 100 || Reports.last() < 0);
    }
    bool Load(const QStringList& list) {
        Reports.clear();
        Thread->SetFileList(list);
        return WaitFor([&] { return Settled(); });
    }
    int Pictures() const {
        int n = 0;
        for (int i = 0; i < Grid->Count(); ++i)
            n += Grid->Item(i)->Bitmap.isNull() ? 0 : 1;
        return n;
    }
};

} // namespace

TEST(ImageListThread, FourImagesTakeEightStepsThenComplete) {
    TRig rig;
    for (auto [done, total, percent] :
         {std::array{1, 8, 12}, {3, 8, 38}, {5, 8, 62}, {1, 200, 0}, {3, 200, 2}}) // halves to even
        EXPECT_EQ(ProgressPercent(done, total), percent) << done << "/" << total;

    const QStringList list = NumberedPaths("/pics", 4);
    QList<int> namedAfterFirstPass;
    rig.OnReport = [&](int p) {
        if (p == 50) // the last step of the information pass
            for (int i = 0; i < rig.Grid->Count(); ++i)
                namedAfterFirstPass << (rig.Grid->Item(i)->FileName.isEmpty() ? 0 : 1);
    };
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.Reports, QList<int>({12, 25, 38, 50, 62, 75, 88, 100}));
    EXPECT_EQ(rig.Grid->Count(), 4);
    EXPECT_EQ(rig.Pictures(), 4);
    EXPECT_TRUE(rig.Grid->Drawing());
    EXPECT_TRUE(rig.Reload->isEnabled());
    EXPECT_EQ(rig.Source->BoxSets(), 1); // the database box is set by the loader itself
    for (int i = 0; i < 4; ++i) {
        const TThumbnailData* item = rig.Grid->Item(i);
        EXPECT_EQ(item->Info[0], "Finished");
        EXPECT_EQ(item->Info[2], list[i]);
        EXPECT_EQ(item->Bitmap.size(), QSize(128, 96));
    }
    EXPECT_EQ(namedAfterFirstPass, QList<int>({1, 1, 1, 1}));

    // An empty folder completes at once and disables "Reload this image".
    ASSERT_TRUE(rig.Load({}));
    EXPECT_EQ(rig.Reports, QList<int>({100}));
    EXPECT_EQ(rig.Grid->Count(), 0);
    EXPECT_FALSE(rig.Reload->isEnabled());
}

TEST(ImageListThread, StopDuringTheInformationPassEmptiesTheGrid) {
    TRig rig;
    rig.OnReport = [&](int p) {
        if (p >= 0 && rig.Reports.size() == 2)
            rig.Thread->Cancel();
    };
    ASSERT_TRUE(rig.Load(NumberedPaths("/pics", 10)));
    EXPECT_EQ(rig.Reports.last(), -1);
    EXPECT_EQ(rig.Grid->Count(), 0);
    EXPECT_TRUE(rig.Source->Requests().isEmpty());
    EXPECT_TRUE(rig.Grid->Drawing());

    // The next folder loads normally: the start-over clears the cancel.
    rig.OnReport = nullptr;
    ASSERT_TRUE(rig.Load(NumberedPaths("/other", 3)));
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_EQ(rig.Pictures(), 3);
}

TEST(ImageListThread, StopDuringThePicturePassKeepsNamesAndPicturesMade) {
    TRig rig;
    rig.OnReport = [&](int) {
        if (rig.Reports.size() == 10 + 3) // three pictures made
            rig.Thread->Cancel();
    };
    ASSERT_TRUE(rig.Load(NumberedPaths("/pics", 10)));
    EXPECT_EQ(rig.Reports.last(), -1);
    ASSERT_EQ(rig.Grid->Count(), 10);
    EXPECT_EQ(rig.Pictures(), 3);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(rig.Grid->Item(i)->FileName.isEmpty());
    EXPECT_TRUE(rig.Reload->isEnabled());
}

TEST(ImageListThread, BrokenPicturesAreCountedOnceAndLoadingCompletes) {
    TRig rig;
    const QStringList list = NumberedPaths("/pics", 6);
    rig.Source->Broken << list[0] << list[3]; // the first of the sweep and a later one
    rig.Source->Missing << list[4];           // no facts and no picture, without an error
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_EQ(rig.Reports.size(), 12);
    EXPECT_EQ(rig.Pictures(), 3);
    for (int i : {0, 3, 4}) {
        EXPECT_TRUE(rig.Grid->Item(i)->Bitmap.isNull());
        EXPECT_TRUE(rig.Grid->Item(i)->Info[0].isEmpty());
        EXPECT_EQ(rig.Grid->Item(i)->FileName, QFileInfo(list[i]).fileName());
    }
    EXPECT_TRUE(rig.Grid->Item(4)->Info[3].isEmpty()); // not the facts of the previous file
    const QStringList requests = rig.Source->Requests();
    EXPECT_EQ(requests.count(list[3]), 1);
    EXPECT_EQ(requests.count(list[0]), 1);
    EXPECT_EQ(requests.size(), 6);
}

TEST(ImageListThread, VideosGetTheirIconAndAVanishedOneIsSkipped) {
    TRig rig;
    QTemporaryDir dir;
    const QString avi = dir.filePath("clip.avi");
    QFile f(avi);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(3000, 'x'));
    f.close();
    const QStringList list{dir.filePath("gone.avi"), avi, dir.filePath("a.jpg")};
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_EQ(rig.Reports.size(), 6);
    // Name order: a.jpg, clip.avi, gone.avi.
    ASSERT_EQ(rig.Grid->Item(2)->FileName, "gone.avi");
    const TThumbnailData* clip = rig.Grid->Item(1);
    EXPECT_EQ(clip->Info[3], "3000");
    EXPECT_FALSE(clip->Info[4].isEmpty());
    EXPECT_EQ(clip->Bitmap.size(), QSize(128, 128));
    EXPECT_FALSE(rig.Source->Requests().contains(avi)); // never decoded
    EXPECT_TRUE(rig.Grid->Item(2)->Info[3].isEmpty());
    EXPECT_EQ(rig.Grid->Item(0)->Info[0], "Finished");
}

TEST(ImageListThread, ScrollingMakesTheFirstVisibleCellNextThenWraps) {
    TRig rig(600, 400); // 3 columns, about two rows on screen
    const QStringList list = NumberedPaths("/pics", 60);
    int scrolledAt = -1;
    rig.OnReport = [&](int) {
        if (rig.Reports.size() == 60 + 2) { // two pictures made: scroll to the bottom
            rig.Grid->SetScrollPosition(1 << 20);
            scrolledAt = rig.Source->Requests().size();
        }
    };
    ASSERT_TRUE(rig.Load(list));
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_EQ(rig.Pictures(), 60);
    const QStringList req = rig.Source->Requests();
    ASSERT_EQ(req.size(), 60);
    ASSERT_EQ(scrolledAt, 2);
    const int first = rig.Grid->FirstVisible();
    EXPECT_GT(first, 2);
    EXPECT_EQ(req[2], list[first]);
    EXPECT_EQ(req[2 + (60 - first)], list[2]); // after the last item the sweep wraps
    EXPECT_EQ(req.last(), list[first - 1]);
}

TEST(ImageListThread, OrderAndCaptions) {
    TRig rig;
    const QStringList list{"/p/b.jpg", "/p/C.jpg", "/p/a.jpg", "/p/clip.avi"};
    ASSERT_TRUE(rig.Load(list));
    auto names = [&] {
        QStringList n;
        for (int i = 0; i < rig.Grid->Count(); ++i)
            n << rig.Grid->Item(i)->FileName;
        return n;
    };
    EXPECT_EQ(names(), QStringList({"a.jpg", "b.jpg", "C.jpg", "clip.avi"}));

    // In name order: size, width, height, file date, shot date.
    const QStringList facts[] = {
        {"353280", "1600", "1200", "2003/01/01 00:00:00", ""},
        {"900", "", "", "2001/01/01 00:00:00", "2009/01/01 00:00:00"}, // the shot decides
        {"1000000", "", "", "2002/01/01 00:00:00", ""},
        {"4", "", "", "2004/01/01 00:00:00", ""},
    };
    const int fields[] = {3, 6, 7, 4, 5};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 5; ++k)
            rig.Grid->Item(i)->Info[fields[k]] = facts[i][k];
    rig.Thread->SetSortMode(1);
    EXPECT_EQ(names(), QStringList({"clip.avi", "b.jpg", "a.jpg", "C.jpg"}));
    EXPECT_EQ(rig.Grid->Item(2)->Info[8], "345KB (1600x1200)");
    EXPECT_EQ(rig.Grid->Item(0)->Info[8], "0KB (x)");
    rig.Thread->SetSortMode(2);
    EXPECT_EQ(names(), QStringList({"C.jpg", "a.jpg", "clip.avi", "b.jpg"}));
    EXPECT_EQ(rig.Grid->Item(3)->Info[8], "2001/01/01 00:00:00"); // the file date is shown

    rig.Thread->SetSortMode(7); // ignored
    EXPECT_EQ(rig.Thread->SortMode(), 2);
    rig.Thread->SetSortMode(0);
    EXPECT_EQ(names(), QStringList({"a.jpg", "b.jpg", "C.jpg", "clip.avi"}));
    EXPECT_EQ(rig.Grid->Item(0)->Info[8], "");

    // Reload this image: the selected item's picture is made again.
    rig.Grid->SetSelected(1);
    rig.Thread->ReloadThisImage();
    EXPECT_EQ(rig.Source->Refreshes(), 1);
    EXPECT_EQ(rig.Grid->Item(1)->Bitmap.size(), QSize(96, 128));
    rig.Grid->SetSelected(-1);
    rig.Thread->ReloadThisImage();
    EXPECT_EQ(rig.Source->Refreshes(), 1);
}

TEST(ImageListThread, SizeChangeRestartsBothPasses) {
    TRig rig;
    const QStringList list = NumberedPaths("/pics", 5);
    ASSERT_TRUE(rig.Load(list));
    rig.Reports.clear();
    rig.Thread->SetThumbSize(96, 96);
    ASSERT_TRUE(WaitFor([&] { return rig.Settled(); }));
    EXPECT_EQ(rig.Reports.size(), 10);
    EXPECT_EQ(rig.Thread->JobCount(), 2);
    EXPECT_EQ(rig.Grid->Item(0)->Bitmap.size(), QSize(96, 72));
    EXPECT_EQ(rig.Source->BoxSets(), 2);
}

TEST(ImageListThread, DestroyingWhileAHandOverWaitsDoesNotHang) {
    // No event loop runs: the loader is stuck in its first hand-over when the object goes.
    for (int round = 0; round < 20; ++round) {
        auto grid = std::make_unique<TThumbListView>();
        auto source = std::make_unique<TFakeSource>();
        auto thread = std::make_unique<TImageListThread>(grid.get(), nullptr, std::move(source));
        thread->SetFileList(NumberedPaths("/pics", 50));
        if (round % 2)
            QThread::msleep(2);
        thread.reset();
        // Work posted by the loader must not run after its object is gone.
        QCoreApplication::processEvents();
        EXPECT_EQ(grid->Count(), 0);
    }
}

TEST(ImageListThread, WakeUpsAreNotLostStress) {
    TRig rig;
    rig.Source->DelayUs = 50;
    // A new list handed over exactly while the loader reports completion, i.e. on its way
    // to sleep, must still be loaded.
    int chained = 0;
    QStringList last;
    rig.OnReport = [&](int p) {
        if (p == 100 && chained < 30) {
            ++chained;
            last = NumberedPaths(QString("/chain%1").arg(chained), 1 + chained % 4);
            rig.Thread->SetFileList(last);
        }
    };
    rig.Thread->SetFileList(NumberedPaths("/start", 2));
    ASSERT_TRUE(WaitFor([&] { return chained == 30 && rig.Settled(); }));
    EXPECT_EQ(rig.Reports.last(), 100);
    ASSERT_EQ(rig.Grid->Count(), last.size());
    EXPECT_EQ(rig.Grid->Item(0)->Info[2], last[0]);
    EXPECT_EQ(rig.Pictures(), last.size());

    // Many quick folder changes from the window, with random pauses.
    rig.OnReport = nullptr;
    auto* rnd = QRandomGenerator::global();
    for (int i = 0; i < 300; ++i) {
        last = NumberedPaths(QString("/quick%1").arg(i), int(rnd->bounded(0, 12)));
        rig.Thread->SetFileList(last);
        if (rnd->bounded(3) == 0)
            WaitFor([] { return false; }, int(rnd->bounded(0, 3)));
        if (rnd->bounded(10) == 0)
            rig.Thread->Cancel();
    }
    rig.Reports.clear();
    rig.Thread->SetFileList(last);
    ASSERT_TRUE(WaitFor([&] { return rig.Settled(); }));
    EXPECT_EQ(rig.Reports.last(), 100);
    EXPECT_EQ(rig.Grid->Count(), last.size());
    EXPECT_EQ(rig.Pictures(), last.size());
}

TEST(ImageListThread, CancelAndWaitLeavesTheLoaderIdleAndTheNextLoadWhole) {
    TRig rig;
    rig.Source->DelayUs = 2000;
    EXPECT_TRUE(rig.Thread->Idle());
    // A request taken up after the cancel is cancelled too: nothing runs on afterwards.
    rig.Thread->SetFileList(NumberedPaths("/pics", 200));
    ASSERT_TRUE(WaitFor([&] { return rig.Reports.size() > 3; }));
    EXPECT_FALSE(rig.Thread->Idle());
    rig.Thread->Reload();
    rig.Thread->CancelAndWait();
    EXPECT_TRUE(rig.Thread->Idle());
    const int requests = int(rig.Source->Requests().size());
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.Source->Requests().size(), requests);
    EXPECT_LT(rig.Reports.last(), 0);

    rig.Source->DelayUs = 0;
    ASSERT_TRUE(rig.Load(NumberedPaths("/other", 5)));
    EXPECT_EQ(rig.Pictures(), 5);
    EXPECT_TRUE(rig.Thread->Idle());
}
