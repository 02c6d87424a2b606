// The main window on the offscreen platform: its components, the status texts, the loading
// gate and its messages, folder changes, order and size, and the web and mail commands.
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "app/i_Thumbnail.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

const QString Busy = "Print buttons are disabled while images are loading.";
const QString OrderBusy = "Display order switching is disabled while images are loading.";
const QString NoSelection =
    "Before printing the back card, click one of the displayed images to select it.";

void MakePhotos(const QString& folder, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QImage img(320 + 40 * i, 240, QImage::Format_RGB32);
        img.fill(QColor(50 * i % 255, 120, 200));
        ASSERT_TRUE(img.save(QString("%1/photo%2.jpg").arg(folder).arg(i), "JPG"));
    }
}

// One window with its own program folder and home, its messages answered and recorded.
struct TWindowRig {
    TempHome Home;
    QTemporaryDir UserHome;
    ScopedEnv HomeEnv{"HOME", QByteArray()};
    QStringList Messages;
    QList<QUrl> Opened;
    QStringList Statuses;
    std::unique_ptr<TfrmThumbnail> Window;

    TWindowRig() {
        qputenv("HOME", UserHome.path().toUtf8());
        SetDialogAnswerer([this](TDialogRequest& r) {
            Messages << r.Caption + "|" + r.Text;
            return 0;
        });
        TfrmThumbnail::OpenUrl = [this](const QUrl& url) {
            Opened << url;
            return true;
        };
        Window = std::make_unique<TfrmThumbnail>();
        auto original = Window->LoadThread->OnProgress;
        Window->LoadThread->OnProgress = [this, original](int p) {
            original(p);
            Statuses << Window->PanelText(0);
        };
        Window->show();
    }
    ~TWindowRig() {
        Window.reset();
        SetDialogAnswerer({});
        TfrmThumbnail::OpenUrl = [](const QUrl&) { return false; };
    }
    bool Settled() {
        return WaitFor([&] { return !Window->LoadingRunning() && Window->LoadThread->Sleeping(); });
    }
};

} // namespace

TEST(MainWindow, StartsInTheHomeFolderWithTheProgressBarOverPanelOne) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    EXPECT_EQ(w.PanelText(2), " Address: " + rig.UserHome.path());
    EXPECT_EQ(w.CurrentFolder(), rig.UserHome.path());
    // Panel 0 is wide enough for " Loading cancelled."; the two end where the tree does.
    EXPECT_GE(w.PanelWidth(0), w.fontMetrics().horizontalAdvance(" Loading cancelled."));
    EXPECT_EQ(w.PanelWidth(0) + w.PanelWidth(1), w.PnLeft->width() + 5);
    EXPECT_EQ(w.ProgressBar->geometry().left(), w.PanelWidth(0) + 2);
}

TEST(MainWindow, StatusTextsAndTheLoadingGate) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    // Before the first report the panel is empty: loading counts as running.
    w.SetProgress(0);
    w.SetProgress(-1);
    w.SetProgress(12);
    EXPECT_EQ(w.PanelText(0), " Load  12%");
    EXPECT_FALSE(w.ProgressBar->isHidden());
    EXPECT_EQ(w.ProgressBar->value(), 12);
    EXPECT_TRUE(w.LoadingRunning());
    w.BtnPrintThumbnailClick();
    w.MMJacketClick();
    w.BtnContactClick();
    EXPECT_EQ(rig.Messages, QStringList({"Velmora|" + Busy, "Velmora|" + Busy, "Velmora|" + Busy}));
    rig.Messages.clear();

    w.CbHyouji->setCurrentIndex(2);
    w.CbHyoujiChange();
    EXPECT_EQ(rig.Messages, QStringList({"Velmora|" + OrderBusy}));
    EXPECT_EQ(w.CbHyouji->currentIndex(), 0);
    EXPECT_EQ(w.LoadThread->SortMode(), 0);
    rig.Messages.clear();

    w.SetProgress(150);
    EXPECT_EQ(w.PanelText(0), " Loading complete.");
    EXPECT_TRUE(w.ProgressBar->isHidden());
    EXPECT_EQ(w.ProgressValue, 100);
    ASSERT_TRUE(rig.Settled());
    w.SetProgress(-1);
    EXPECT_EQ(w.PanelText(0), " Loading cancelled.");
    EXPECT_FALSE(w.LoadingRunning());
    w.BtnPrintJacketClick(); // nothing selected
    EXPECT_EQ(rig.Messages, QStringList({"Velmora|" + NoSelection}));
    rig.Messages.clear();
    w.BtnPrintThumbnailClick();
    w.BtnContactClick();
    EXPECT_TRUE(rig.Messages.isEmpty());
    w.CbHyouji->setCurrentIndex(2);
    w.CbHyoujiChange();
    EXPECT_TRUE(rig.Messages.isEmpty());
    EXPECT_EQ(w.LoadThread->SortMode(), 2);
}

TEST(MainWindow, FolderChangesLoadReportAndGate) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    ASSERT_TRUE(rig.Settled());
    const QString four = rig.UserHome.path() + "/four";
    MakePhotos(four, 4);
    const QString empty = rig.UserHome.path() + "/empty";
    QDir().mkpath(empty);

    rig.Statuses.clear();
    w.SelectFolder(four);
    EXPECT_EQ(w.PanelText(2), " Address: " + four);
    EXPECT_TRUE(w.LoadingRunning()); // handed over, not yet taken up
    w.BtnPrintThumbnailClick();
    EXPECT_EQ(rig.Messages, QStringList({"Velmora|" + Busy}));
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(rig.Statuses,
              QStringList({" Load  12%", " Load  25%", " Load  38%", " Load  50%", " Load  62%",
                           " Load  75%", " Load  88%", " Loading complete."}));
    ASSERT_EQ(w.ThumbList->Count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(w.ThumbList->Item(i)->Bitmap.isNull());
    EXPECT_TRUE(w.miThumbnailRepaint->isEnabled());

    // A back card with a selected picture passes the gates.
    rig.Messages.clear();
    w.ThumbList->SetSelected(2);
    w.BtnPrintJacketClick();
    EXPECT_TRUE(rig.Messages.isEmpty());

    // " Small" restarts loading with 96-pixel boxes.
    rig.Statuses.clear();
    w.CbSize->setCurrentIndex(2);
    w.CbSizeChange();
    EXPECT_EQ(w.ThumbList->ThumbWidth(), 96);
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(rig.Statuses.size(), 8);
    EXPECT_EQ(w.ThumbList->Item(0)->Bitmap.width(), 96);

    // A folder without pictures: the address still changes and loading completes at once.
    rig.Statuses.clear();
    w.SelectFolder(empty);
    EXPECT_EQ(w.PanelText(2), " Address: " + empty);
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(rig.Statuses, QStringList({" Loading complete."}));
    EXPECT_EQ(w.ThumbList->Count(), 0);
    EXPECT_FALSE(w.miThumbnailRepaint->isEnabled());

    // Reload goes again over the same list; Refresh keeps the folder.
    w.SelectFolder(four);
    ASSERT_TRUE(rig.Settled());
    rig.Statuses.clear();
    w.BtnReloadClick();
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(rig.Statuses.size(), 8);
    EXPECT_EQ(w.CurrentFolder(), four);
    w.RefreshClick();
    EXPECT_EQ(w.CurrentFolder(), four);
    EXPECT_EQ(w.PanelText(2), " Address: " + four);
}

TEST(MainWindow, StopDuringLoadingThenDestroyWhileLoading) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    ASSERT_TRUE(rig.Settled());
    const QString many = rig.UserHome.path() + "/many";
    MakePhotos(many, 30);
    w.SelectFolder(many);
    ASSERT_TRUE(WaitFor([&] { return w.PanelText(0).startsWith(" Load  "); }));
    w.BtnAbortClick();
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(w.PanelText(0), " Loading cancelled.");
    EXPECT_TRUE(w.ProgressBar->isHidden());

    // Closing while a load runs stops the loader before the grid and database go.
    w.BtnReloadClick();
    ASSERT_TRUE(WaitFor([&] { return w.PanelText(0).startsWith(" Load  "); }));
    rig.Window.reset();
    SUCCEED();
}

TEST(MainWindow, WebPagesMailAndReadMe) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    w.BtnInternetClick();
    w.MMBugClick();
    ASSERT_EQ(rig.Opened.size(), 2);
    EXPECT_EQ(rig.Opened[0].scheme(), "https");
    EXPECT_EQ(rig.Opened[1].scheme(), "mailto");
    EXPECT_EQ(QUrlQuery(rig.Opened[1]).queryItemValue("Body", QUrl::FullyDecoded),
              "Version: Version 1.1, English");

    rig.Opened.clear();
    QFile readme(rig.Home.Path() + "ReadMe.txt");
    ASSERT_TRUE(readme.open(QIODevice::WriteOnly));
    readme.write("Velmora\n");
    readme.close();
    w.ReadMe1Click();
    EXPECT_TRUE(rig.Messages.isEmpty());
    ASSERT_EQ(rig.Opened.size(), 1);
    EXPECT_EQ(rig.Opened[0], QUrl::fromLocalFile(rig.Home.Path() + "ReadMe.txt"));
}
