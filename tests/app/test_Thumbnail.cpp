// The main window on the offscreen platform: status texts, the loading gate, folder changes and
// stopping; an unreadable cache index; the back card hand-off; the end of a 10,000-picture load;
// section "Window"; the command line; upright grid pictures.
#include "Common/c_Other.h"
#include "app/c_Startup.h"
#include "app/c_ThumbListView.h"
#include "app/c_WindowState.h"
#include "app/i_Thumbnail.h"
#include "cache/CThumbnailDB.h"
#include "platform/PDialogSeam.h"
#include "printjobs/c_PrintItems.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "services/CIniFile.h"
#include "services/CLogCtrls.h"
#include "support/OrientedPictures.h"
#include "support/PipeWatch.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QUrl>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// count photographs photo00.jpg ... of width + i by three quarters of width pixels.
void MakePhotos(const QString& folder, int count, int width = 64) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QImage img(width + i, width * 3 / 4, QImage::Format_RGB32);
        img.fill(QColor(40 * i % 255, 120, 200));
        ASSERT_TRUE(
            img.save(QString("%1/photo%2.jpg").arg(folder).arg(i, 2, 10, QChar('0')), "JPG"));
    }
}

// The main window with a program folder and home of its own; messages, status texts and the
// pages it opens are recorded.
struct TWindowRig {
    TempHome Home;
    QTemporaryDir UserHome;
    ScopedEnv HomeEnv{"HOME", UserHome.path().toUtf8()};
    QStringList Messages, Kinds, Statuses;
    QList<QUrl> Opened;
    std::unique_ptr<TfrmThumbnail> Window;

    explicit TWindowRig(bool open = true) {
        SetDialogAnswerer([this](TDialogRequest& r) {
            Messages << r.Text;
            Kinds << r.Kind + (qobject_cast<QMessageBox*>(r.Dialog) ? " (plain)" : "");
            return 0;
        });
        TfrmThumbnail::OpenUrl = [this](const QUrl& url) { return Opened << url, true; };
        if (open)
            Start();
    }
    ~TWindowRig() {
        Window.reset();
        TfrmThumbnail::StartArguments.clear();
        SetDialogAnswerer({});
        TfrmThumbnail::OpenUrl = [](const QUrl&) { return false; };
    }
    // A new run of the program with these command-line arguments.
    TfrmThumbnail& Start(const QStringList& args = {}) {
        Window.reset();
        TfrmThumbnail::StartArguments =
            args.isEmpty() ? QStringList() : QStringList{"velmora"} + args;
        Window = std::make_unique<TfrmThumbnail>();
        auto original = Window->LoadThread->OnProgress;
        Window->LoadThread->OnProgress = [this, original](int p) {
            original(p);
            Statuses << Window->PanelText(0);
        };
        Window->show();
        return *Window;
    }
    void Quit() { // as the user closes it, which stores what it remembers
        Window->close();
        Window.reset();
    }
    bool Settled() {
        return WaitFor([&] { return !Window->LoadingRunning() && Window->LoadThread->Idle(); });
    }
    QString Path(const QString& name) const { return UserHome.path() + "/" + name; }
};

const QString Busy = "Print buttons are disabled while images are loading.";

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
    const auto tryAll = [&] {
        w.BtnPrintThumbnailClick();
        w.BtnContactClick();
        w.BtnPrintJacketClick();
        w.CbHyouji->setCurrentIndex(2);
        w.CbHyoujiChange();
    };
    tryAll();
    EXPECT_EQ(rig.Messages,
              QStringList({Busy, Busy, Busy,
                           "Display order switching is disabled while images are loading."}));
    EXPECT_EQ(w.LoadThread->SortMode(), 0);
    rig.Messages.clear();
    w.SetProgress(150);
    EXPECT_EQ(w.PanelText(0), " Loading complete.");
    EXPECT_TRUE(w.ProgressBar->isHidden());
    ASSERT_TRUE(rig.Settled());
    tryAll(); // nothing selected: only the back card has something to say
    EXPECT_EQ(rig.Messages, QStringList{"Before printing the back card, click one of the "
                                        "displayed images to select it."});
    EXPECT_EQ(w.LoadThread->SortMode(), 2);

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
    // A folder without pictures: the address still changes and loading completes at once.
    rig.Statuses.clear();
    w.SelectFolder(empty);
    EXPECT_EQ(w.PanelText(2), " Address: " + empty);
    ASSERT_TRUE(rig.Settled());
    EXPECT_EQ(rig.Statuses, QStringList({" Loading complete."}));

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
    QImage picture; // what the back card window opened with
    SetDialogAnswerer([&](TDialogRequest& r) {
        if (r.Kind != "back card")
            return rig.Messages << r.Text, 0;
        picture = frmJacketPrint->SourcePicture;
        EXPECT_EQ(frmJacketPrint->FolderPath, w.CurrentFolder());
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

    // A photograph gives its cached thumbnail, a video its file type's icon; a damaged picture
    // keeps the window closed and says why.
    QImage cached, icon;
    ASSERT_TRUE(prtJacketPrint->Pictures.Thumbnail(w.ThumbList->Item(0)->Info.value(2), cached));
    DrawFileIcon(w.ThumbList->Item(1)->Info.value(2), icon);
    const std::tuple<int, QImage, QStringList> cases[] = {
        {0, cached, {}},
        {1, icon, {}},
        {2, QImage(), {"The selected image cannot be read:\n" + folder + "/x_damaged.jpg"}},
    };
    for (const auto& [selected, expected, messages] : cases) {
        picture = QImage();
        rig.Messages.clear();
        w.ThumbList->SetSelected(selected);
        w.BtnPrintJacketClick();
        EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB888),
                  expected.convertToFormat(QImage::Format_RGB888))
            << selected;
        EXPECT_EQ(rig.Messages, messages);
    }
    delete std::exchange(frmJacketPrint, nullptr);
    delete std::exchange(prtJacketPrint, nullptr);
}

TEST(LoadEnd, TenThousandPicturesEndOnceAfterTheLastPictureAndTheGateAsksTheLoader) {
    TWindowRig rig;
    TfrmThumbnail& w = *rig.Window;
    const int count = 10000; // hard links of one small photograph
    const QString folder = rig.Path("many");
    MakePhotos(folder, 1, 24);
    const QByteArray first = QFile::encodeName(folder + "/photo00.jpg");
    for (int i = 1; i < count; ++i) {
        const QString name = QString("%1/p%2.jpg").arg(folder).arg(i, 5, 10, QChar('0'));
        ASSERT_EQ(::link(first.constData(), QFile::encodeName(name).constData()), 0);
    }
    ASSERT_TRUE(rig.Settled());
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
    ASSERT_TRUE(WaitFor([&] { return w.LoadThread->Idle() && ends; }, 240000));
    EXPECT_EQ(rig.Statuses.size(), 2 * count);
    EXPECT_EQ(rig.Statuses.value(2 * count - 2).toStdString(), " Load  99%");
    EXPECT_EQ(std::tuple(ends, blankAtEnd, gateHeldUnderEarlyText, rig.Messages.size()),
              std::tuple(1, 0, true, 0));
}

TEST(WindowState, SectionRoundTripOutOfRangeValuesAndPlacesOffEveryScreen) {
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("Thumbnail.ini"));
    TWindowState out, in, edited;
    EXPECT_FALSE(ReadWindowState(ini, in)) << "no section: the defaults";
    out = {dir.path() + "/Fotos mit Leerzeichen/ä", 0, 2, QRect(-40, 30, 700, 480), true, 310};
    WriteWindowState(ini, out);
    ASSERT_TRUE(ReadWindowState(ini, in));
    EXPECT_EQ(
        std::tuple(in.Folder, in.SizeIndex, in.SortMode, in.Geometry, in.Maximized, in.TreeWidth),
        std::tuple(out.Folder, 0, 2, out.Geometry, true, 310));
    // A folder gone since: its nearest existing parent.
    EXPECT_EQ(NearestExistingFolder(in.Folder), dir.path());
    // Hand-edited values out of range fall back one by one; the rest stands.
    ini.WriteString("Window", "Size", "7");
    ini.WriteString("Window", "Order", "x");
    ini.WriteString("Window", "Width", "5");
    ASSERT_TRUE(ReadWindowState(ini, edited));
    EXPECT_EQ(
        std::tuple(edited.SizeIndex, edited.SortMode, edited.Geometry.isValid(), edited.Folder),
        std::tuple(1, 0, false, out.Folder));

    const QList<QRect> one{QRect(0, 0, 1280, 1024)};
    const QList<QRect> two{QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080)};
    const QRect size(0, 0, 873, 550);
    const std::tuple<QList<QRect>, QPoint, QPoint> cases[] = {
        {one, {1000, 900}, {1000, 900}}, // partly off, title grabbable
        {one, {1230, 100}, {407, 100}},  // only 50 pixels of title on screen
        {one, {2000, 200}, {407, 200}},  // second screen gone
        {two, {100, 1500}, {100, 474}},  // below the first
    };
    for (const auto& [screens, wanted, placed] : cases)
        EXPECT_EQ(PlaceOnScreens(size.translated(wanted), screens), size.translated(placed))
            << wanted.x() << "," << wanted.y();
    EXPECT_EQ(PlaceOnScreens({-100, -100, 2000, 1500}, one), one[0]); // larger than the screen
}

TEST(BrowsingMemory, CommandLinePictureMissingFolderAndOpeningTheRightFile) {
    TWindowRig runs(false);
    const QString photos = runs.Path("many");
    MakePhotos(photos, 30);
    TfrmThumbnail* w = &runs.Start({photos + "/photo26.jpg"});
    EXPECT_EQ(w->CurrentFolder(), photos);
    ASSERT_TRUE(runs.Settled());
    ASSERT_EQ(w->ThumbList->Selected(), 26); // by name, far below the first screen
    const QRect cell = w->ThumbList->CellRect(26);
    EXPECT_TRUE(cell.top() >= 0 && cell.bottom() < w->ThumbList->Surface()->height());
    // Ordered by size the grid is not the listing's order: a double-click opens its own file.
    w->CbHyouji->setCurrentIndex(1);
    w->CbHyoujiChange();
    w->ThumbList->SetScrollPosition(0);
    const QPoint p = w->ThumbList->CellRect(3).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick}) {
        QMouseEvent ev(type, QPointF(p), w->ThumbList->Surface()->mapToGlobal(QPointF(p)),
                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w->ThumbList->Surface(), &ev);
    }
    EXPECT_EQ(runs.Opened, QList<QUrl>{QUrl::fromLocalFile(w->ThumbList->Item(3)->Info.value(2))});
    runs.Quit(); // remembers photos

    // A folder that does not exist wins over the remembered one: its nearest existing parent,
    // and the status bar says so.
    const QString missing = runs.Path("gone/deeper");
    w = &runs.Start({missing});
    EXPECT_EQ(w->CurrentFolder(), runs.UserHome.path());
    EXPECT_EQ(w->PanelText(2), QString(" Address: %1   \"%2\" does not exist; its nearest "
                                       "existing folder is shown.")
                                   .arg(runs.UserHome.path(), missing));
    ASSERT_TRUE(runs.Settled());
    EXPECT_TRUE(runs.Messages.isEmpty());
}

TEST(BrowsingMemory, GridPicturesStandUprightUnlessSwitchedOff) {
    TWindowRig runs(false);
    const QString photos = runs.Path("lying");
    QDir().mkpath(photos);
    for (int tag = 1; tag <= 8; ++tag)
        ASSERT_TRUE(oriented::WriteJpeg(QString("%1/tag%2.jpg").arg(photos).arg(tag), tag));
    for (bool turn : {true, false}) { // then Orientation=0: as stored, from the same cache
        if (!turn)
            TIniFile(runs.Home.Path() + "Thumbnail.ini")
                .WriteString("Thumbnail", "Orientation", "0");
        TfrmThumbnail& w = runs.Start({photos});
        ASSERT_TRUE(runs.Settled());
        ASSERT_EQ(w.ThumbList->Count(), 8);
        for (int i = 0; i < 8; ++i) {
            const TThumbnailData* item = w.ThumbList->Item(i);
            const int tag = item->FileName.mid(3, 1).toInt();
            QString why;
            EXPECT_EQ(oriented::ShowsUpright(item->Bitmap, &why), turn || tag == 1)
                << tag << why.toStdString();
            EXPECT_EQ(item->Bitmap.size(), !turn && tag >= 5 ? QSize(64, 128) : QSize(128, 64))
                << tag;
        }
        runs.Quit();
    }
}
