// The main window on the offscreen platform: status texts, the loading gate and its messages,
// folder changes, stopping, the end of a 10,000-picture load (its gate asks the loader, not the
// status text), an unreadable cache index, the hand-off to the back card and the commands that
// open pages and files.
#include "Common/c_Other.h"
#include "app/c_ThumbListView.h"
#include "cache/CThumbnailDB.h"
#include "printjobs/c_PrintItems.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "services/CLogCtrls.h"
#include "support/PipeWatch.h"
#include "support_Window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>
#include <unistd.h>

namespace {

const QString Busy = "Print buttons are disabled while images are loading.";
const QString NoSelection =
    "Before printing the back card, click one of the displayed images to select it.";

// Runs the window thread's events as the program does, waking for each hand-over at once,
// until the loader is idle or the time is up.
bool WaitIdle(TfrmThumbnail& w, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(20);
    while (!w.LoadThread->Idle() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return w.LoadThread->Idle();
}

} // namespace

TEST(MainWindow, StatusTextsTheLoadingGateFolderChangesAndStopping) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    EXPECT_EQ(w.PanelText(2), " Address: " + rig.UserHome.path()); // starts in the home folder
    // Before the first report the panel is empty: loading counts as running.
    w.SetProgress(0);
    w.SetProgress(-1);
    w.SetProgress(12);
    EXPECT_EQ(w.PanelText(0), " Load  12%");
    EXPECT_EQ(w.ProgressBar->value(), 12);
    w.BtnPrintThumbnailClick();
    w.MMJacketClick();
    w.BtnContactClick();
    w.CbHyouji->setCurrentIndex(2);
    w.CbHyoujiChange();
    EXPECT_EQ(rig.Messages,
              QStringList({Busy, Busy, Busy,
                           "Display order switching is disabled while images are loading."}));
    EXPECT_EQ(w.CbHyouji->currentIndex(), 0);
    EXPECT_EQ(w.LoadThread->SortMode(), 0);
    rig.Messages.clear();
    w.SetProgress(150);
    EXPECT_EQ(w.PanelText(0), " Loading complete.");
    EXPECT_TRUE(w.ProgressBar->isHidden());
    ASSERT_TRUE(rig.Settled());
    w.SetProgress(-1);
    EXPECT_EQ(w.PanelText(0), " Loading cancelled.");
    w.BtnPrintJacketClick(); // nothing selected
    w.BtnPrintThumbnailClick();
    w.BtnContactClick();
    w.CbHyouji->setCurrentIndex(2);
    w.CbHyoujiChange();
    EXPECT_EQ(rig.Messages, QStringList{NoSelection});
    EXPECT_EQ(w.LoadThread->SortMode(), 2);
    // The ReadMe opens from the program folder, through the seam.
    WriteRaw(rig.Home.Path() + "ReadMe.txt", "Velmora\n");
    w.ReadMe1Click();
    EXPECT_EQ(rig.Opened.value(0), QUrl::fromLocalFile(rig.Home.Path() + "ReadMe.txt"));

    const QString four = rig.Path("four"), empty = rig.Path("empty");
    MakePhotos(four, 4, 320);
    QDir().mkpath(empty);
    rig.Messages.clear();
    rig.Statuses.clear();
    w.SelectFolder(four);
    EXPECT_EQ(w.PanelText(2), " Address: " + four);
    w.BtnPrintThumbnailClick(); // handed over, not yet taken up: still loading
    EXPECT_EQ(rig.Messages, QStringList{Busy});
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(rig.Statuses.size(), 8);
    EXPECT_EQ(rig.Statuses.last(), " Loading complete.");
    ASSERT_EQ(w.ThumbList->Count(), 4);
    EXPECT_FALSE(w.ThumbList->Item(3)->Bitmap.isNull());
    // " Small" restarts loading with 96-pixel boxes; Reload goes again over the same list.
    for (int reload : {0, 1}) {
        rig.Statuses.clear();
        w.CbSize->setCurrentIndex(2);
        reload ? w.BtnReloadClick() : w.CbSizeChange();
        ASSERT_TRUE(rig.Settled());
        EXPECT_EQ(rig.Statuses.size(), 8);
        EXPECT_EQ(w.ThumbList->Item(0)->Bitmap.width(), 96);
    }
    w.RefreshClick();
    EXPECT_EQ(w.CurrentFolder(), four);
    // A folder without pictures: the address still changes and loading completes at once.
    rig.Statuses.clear();
    w.SelectFolder(empty);
    EXPECT_EQ(w.PanelText(2), " Address: " + empty);
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(rig.Statuses, QStringList({" Loading complete."}));
    EXPECT_FALSE(w.miThumbnailRepaint->isEnabled());

    // Stop during a load; then close while one runs: the loader stops before the grid goes.
    MakePhotos(rig.Path("many"), 30, 320);
    w.SelectFolder(rig.Path("many"));
    ASSERT_TRUE(WaitFor([&] { return w.PanelText(0).startsWith(" Load  "); }));
    w.BtnAbortClick();
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(w.PanelText(0), " Loading cancelled.");
    EXPECT_TRUE(w.ProgressBar->isHidden());
    w.BtnReloadClick();
    ASSERT_TRUE(WaitFor([&] { return w.PanelText(0).startsWith(" Load  "); }));
    rig.Window.reset();
}

TEST(MainWindowSafety, AnUnreadableIndexIsToldOnceAndLogFailuresInAPlainBox) {
    TWindowRig rig(false);
    QString index;
    {
        TThumbnailDB probe(nullptr, rig.Home.Path());
        probe.SetCacheDirectory(rig.Home.Path() + "Temp");
        index = probe.Table().Location().IndexFile();
    }
    ASSERT_TRUE(QDir().mkpath(QFileInfo(index).path()));
    TPipeWatch watch;
    ASSERT_TRUE(watch.Make(index));
    watch.Start();
    rig.Start();
    EXPECT_FALSE(watch.Fired()) << "the start waited on the index";
    EXPECT_FALSE(QFileInfo::exists(index)) << "the unreadable index stays in the way";
    EXPECT_TRUE(WaitFor([&] { return !rig.Window->LoadingRunning(); }));
    ASSERT_EQ(rig.Messages.size(), 1) << "told once";
    EXPECT_EQ(rig.Kinds[0], "message");
    EXPECT_TRUE(rig.Messages[0].contains("cache index could not be read"));

    // A log failure: the plain box, not the program's own.
    ReportLogError(QStringLiteral("ログ出力中にエラーが発生しました。"));
    EXPECT_EQ(rig.Kinds.value(1), "plain message (plain)");
    EXPECT_EQ(rig.Messages.value(1), QStringLiteral("ログ出力中にエラーが発生しました。"));
}

TEST(BackCardHandOff, SelectedItemsPictureAndFolderReachTheWindow) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    const QString folder = rig.Path("photos");
    MakePhotos(folder, 1, 320);
    WriteRaw(folder + "/v_clip.avi", QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(400, 0));
    WriteRaw(folder + "/x_damaged.jpg", QByteArray(600, '\x7F'));
    bool opened = false;
    QImage picture;
    SetDialogAnswerer([&](TDialogRequest& r) {
        if (r.Kind == "back card") {
            opened = true;
            picture = frmJacketPrint->SourcePicture;
            EXPECT_EQ(frmJacketPrint->FolderPath, w.CurrentFolder());
        } else {
            rig.Messages << r.Text;
        }
        return 0;
    });
    prtJacketPrint = new TprtJacketPrint;
    prtJacketPrint->Pictures = DatabasePictures(ThumbnailDB);
    prtJacketPrint->Pictures.FileIcon = DrawFileIcon;
    frmJacketPrint = new TfrmJacketPrint(prtJacketPrint, &w);
    ASSERT_TRUE(rig.Settled());
    w.SelectFolder(folder);
    ASSERT_TRUE(rig.Settled());
    ASSERT_EQ(w.ThumbList->Count(), 3);

    // A photograph gives its cached thumbnail, a video its file type's icon; a damaged
    // picture or no selection keep the window closed and say why.
    const QString photo = w.ThumbList->Item(0)->Info.value(2);
    ASSERT_TRUE(ThumbnailDB->GetThumbnail(photo));
    const QImage cached = ThumbnailDB->ThumbnailInfo().Bitmap->copy();
    QImage icon;
    DrawFileIcon(w.ThumbList->Item(1)->Info.value(2), icon);
    const std::tuple<int, QImage, QString> cases[] = {
        {-1, QImage(), NoSelection},
        {0, cached, QString()},
        {1, icon, QString()},
        {2, QImage(), "The selected image cannot be read:\n" + folder + "/x_damaged.jpg"},
    };
    for (const auto& [selected, expected, message] : cases) {
        SCOPED_TRACE(selected);
        opened = false;
        picture = QImage();
        rig.Messages.clear();
        w.ThumbList->SetSelected(selected);
        w.BtnPrintJacketClick();
        EXPECT_EQ(opened, !expected.isNull());
        EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB888),
                  expected.convertToFormat(QImage::Format_RGB888));
        EXPECT_EQ(rig.Messages, message.isEmpty() ? QStringList() : QStringList{message});
    }
    delete frmJacketPrint;
    frmJacketPrint = nullptr;
    delete prtJacketPrint;
    prtJacketPrint = nullptr;
}

TEST(LoadEnd, TenThousandPicturesEndOnceAfterTheLastPictureAndTheGateAsksTheLoader) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    const int count = 10000; // hard links of one small photograph
    const QString folder = rig.Path("many"), first = folder + "/p00000.jpg";
    QDir().mkpath(folder);
    QImage img(24, 16, QImage::Format_RGB32);
    img.fill(QColor(200, 120, 40));
    ASSERT_TRUE(img.save(first, "JPG"));
    for (int i = 1; i < count; ++i)
        ASSERT_EQ(
            ::link(QFile::encodeName(first).constData(),
                   QFile::encodeName(QString("%1/p%2.jpg").arg(folder).arg(i, 5, 10, QChar('0')))
                       .constData()),
            0);
    ASSERT_TRUE(WaitIdle(w, 20000));
    rig.Statuses.clear();
    int ends = 0, blankAtEnd = -1;
    bool gateHeldUnderEarlyText = false;
    const auto original = w.LoadThread->OnProgress;
    w.LoadThread->OnProgress = [&](int p) {
        original(p);
        if (rig.Statuses.last() == " Loading complete." && ends++ == 0) {
            blankAtEnd = 0;
            for (int i = 0; i < w.ThumbList->Count(); ++i)
                blankAtEnd += w.ThumbList->Item(i)->Bitmap.isNull() ? 1 : 0;
        }
        if (rig.Statuses.size() == count + count / 2) {
            // Whatever the status bar reads, the loader is working: no print may start.
            w.SetProgress(100);
            gateHeldUnderEarlyText = w.LoadingRunning();
            original(p);
            rig.Statuses.removeLast(); // the same report again
        }
    };
    w.SelectFolder(folder);
    ASSERT_TRUE(WaitIdle(w, 240000));
    EXPECT_EQ(rig.Statuses.size(), 2 * count);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(rig.Statuses.value(2 * count - 2).toStdString(), " Load  99%");
    EXPECT_EQ(blankAtEnd, 0);
    EXPECT_TRUE(gateHeldUnderEarlyText);
    EXPECT_TRUE(rig.Messages.isEmpty());
}
