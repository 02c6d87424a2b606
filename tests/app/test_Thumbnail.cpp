// The main window on the offscreen platform. Browsing: status texts, the loading gate and its
// messages, folder changes, stopping, the end of a 10,000-picture load (its gate asks the
// loader, not the status text), an unreadable cache index, the hand-off to the back card. As a
// returning user meets it: section "Window" of the settings file, the command line, the second
// start's hand-over, opening a picture through the seam, Tab, the folder tree, and upright grid
// pictures. Its messages are answered with the first button and recorded.
#include "Common/c_Other.h"
#include "app/c_FolderTreeModel.h"
#include "app/c_ImageListThread.h"
#include "app/c_Startup.h"
#include "app/c_ThumbListView.h"
#include "app/c_WindowState.h"
#include "app/i_Thumbnail.h"
#include "cache/CThumbnailDB.h"
#include "platform/PDialogSeam.h"
#include "platform/PSingleInstance.h"
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
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
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

// The main window with a program folder and home of its own; its messages are answered with the
// first button and recorded, the pages and files it opens collected.
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
        TfrmThumbnail::OpenUrl = [this](const QUrl& url) {
            Opened << url;
            return true;
        };
        if (open)
            Start();
    }
    ~TWindowRig() {
        Window.reset();
        TfrmThumbnail::StartArguments.clear();
        SetDialogAnswerer({});
        TfrmThumbnail::OpenUrl = [](const QUrl&) { return false; };
    }
    // A new run of the program with these command-line arguments; status texts recorded.
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

int IndexOf(const TThumbListView& grid, const QString& path) {
    for (int i = 0; i < grid.Count(); ++i)
        if (grid.Item(i)->Info.value(2) == path)
            return i;
    return -1;
}

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
    QImage picture; // what the back card window opened with
    SetDialogAnswerer([&](TDialogRequest& r) {
        if (r.Kind == "back card") {
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

    // A photograph gives its cached thumbnail, a video its file type's icon; a damaged picture
    // keeps the window closed and says why.
    const QString photo = w.ThumbList->Item(0)->Info.value(2);
    ASSERT_TRUE(ThumbnailDB->GetThumbnail(photo));
    const QImage cached = ThumbnailDB->ThumbnailInfo().Bitmap->copy();
    QImage icon;
    DrawFileIcon(w.ThumbList->Item(1)->Info.value(2), icon);
    const std::tuple<int, QImage, QString> cases[] = {
        {0, cached, QString()},
        {1, icon, QString()},
        {2, QImage(), "The selected image cannot be read:\n" + folder + "/x_damaged.jpg"},
    };
    for (const auto& [selected, expected, message] : cases) {
        SCOPED_TRACE(selected);
        picture = QImage();
        rig.Messages.clear();
        w.ThumbList->SetSelected(selected);
        w.BtnPrintJacketClick();
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
    const QString folder = rig.Path("many");
    MakePhotos(folder, 1, 24);
    const QByteArray first = QFile::encodeName(folder + "/photo00.jpg");
    for (int i = 1; i < count; ++i) {
        const QString name = QString("%1/p%2.jpg").arg(folder).arg(i, 5, 10, QChar('0'));
        ASSERT_EQ(::link(first.constData(), QFile::encodeName(name).constData()), 0);
    }
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
        {one, {100, -200}, {100, 0}},    // title above the top
        {one, {100, 5000}, {100, 474}},  // far below
        {one, {1230, 100}, {407, 100}},  // only 50 pixels of title on screen
        {two, {2000, 200}, {2000, 200}}, // on the second screen
        {one, {2000, 200}, {407, 200}},  // second screen gone
        {two, {3300, 500}, {2327, 500}}, // right of the second
        {two, {100, 1500}, {100, 474}},  // below the first
    };
    for (const auto& [screens, wanted, placed] : cases)
        EXPECT_EQ(PlaceOnScreens(size.translated(wanted), screens), size.translated(placed))
            << wanted.x() << "," << wanted.y();
    EXPECT_EQ(PlaceOnScreens({-100, -100, 2000, 1500}, one), one[0]); // larger than the screen
}

TEST(BrowsingMemory, RemembersFolderSizeOrderPlaceAndTreeAcrossRuns) {
    TWindowRig runs(false);
    const QString photos = runs.Path("Pictures/trip");
    MakePhotos(photos, 4);
    {
        TfrmThumbnail& w = runs.Start(); // a file without the section: the defaults
        EXPECT_EQ(w.CurrentFolder(), runs.UserHome.path());
        ASSERT_TRUE(runs.Settled());
        w.SelectFolder(photos);
        ASSERT_TRUE(runs.Settled());
        w.CbSize->setCurrentIndex(0);
        w.CbSizeChange();
        ASSERT_TRUE(runs.Settled());
        w.CbHyouji->setCurrentIndex(2);
        w.CbHyoujiChange();
        w.resize(760, 520);
        w.move(40, 60);
        w.Splitter1->setSizes({300, 455});
        runs.Quit();
    }
    // The folder has gone: its nearest existing parent. A place off every screen is pulled
    // back; the rest is restored.
    ASSERT_TRUE(QDir(photos).removeRecursively());
    TIniFile(runs.Home.Path() + "Thumbnail.ini").WriteString("Window", "Left", "99999");
    {
        TfrmThumbnail& w = runs.Start();
        EXPECT_EQ(std::tuple(w.CurrentFolder(), w.ThumbList->ThumbWidth(), w.LoadThread->SortMode(),
                             w.geometry().size(), w.Splitter1->sizes().value(0)),
                  std::tuple(runs.Path("Pictures"), 256, 2, QSize(760, 520), 300));
        EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().intersects(w.geometry()));
        ASSERT_TRUE(runs.Settled());
        runs.Quit();
    }
    // A folder on the command line wins over the stored one; the rest is still restored.
    MakePhotos(runs.Path("other"), 2);
    TfrmThumbnail& w = runs.Start({runs.Path("other")});
    EXPECT_EQ(w.CurrentFolder(), runs.Path("other"));
    EXPECT_EQ(w.CbSize->currentIndex(), 0);
    ASSERT_TRUE(runs.Settled());
}

TEST(BrowsingMemory, CommandLinePictureMissingFolderAndOpeningTheRightFile) {
    TWindowRig runs(false);
    const QString photos = runs.Path("many");
    MakePhotos(photos, 30);
    const QString wanted = photos + "/photo26.jpg";
    {
        TfrmThumbnail& w = runs.Start({wanted});
        EXPECT_EQ(w.CurrentFolder(), photos);
        ASSERT_TRUE(runs.Settled());
        const int index = IndexOf(*w.ThumbList, wanted);
        ASSERT_GE(index, 20) << "sorted by name, far below the first screen";
        EXPECT_EQ(w.ThumbList->Selected(), index);
        const QRect cell = w.ThumbList->CellRect(index);
        EXPECT_TRUE(cell.top() >= 0 && cell.bottom() < w.ThumbList->Surface()->height());
        runs.Quit();
    }
    // A folder that does not exist: its nearest existing parent, and the status bar says so.
    const QString missing = photos + "/gone/deeper";
    TfrmThumbnail& w = runs.Start({missing});
    EXPECT_EQ(w.CurrentFolder(), photos);
    EXPECT_TRUE(w.PanelText(2).startsWith(" Address: " + photos));
    EXPECT_TRUE(w.PanelText(2).contains("\"" + missing + "\" does not exist"))
        << w.PanelText(2).toStdString();
    ASSERT_TRUE(runs.Settled());
    EXPECT_TRUE(runs.Messages.isEmpty());

    // Ordered by size the grid is not the listing's order: a double-click opens its own file.
    w.CbHyouji->setCurrentIndex(1);
    w.CbHyoujiChange();
    const QString expected = w.ThumbList->Item(3)->Info.value(2);
    const QPoint p = w.ThumbList->CellRect(3).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick}) {
        QMouseEvent ev(type, QPointF(p), w.ThumbList->Surface()->mapToGlobal(QPointF(p)),
                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.ThumbList->Surface(), &ev);
    }
    EXPECT_EQ(runs.Opened, QList<QUrl>{QUrl::fromLocalFile(expected)});
    // A desktop without a program for it: a clear message naming the file.
    TfrmThumbnail::OpenUrl = [](const QUrl&) { return false; };
    w.OpenItem(3);
    ASSERT_EQ(runs.Messages.size(), 1);
    EXPECT_TRUE(runs.Messages.first().contains(QFileInfo(expected).fileName()));

    // Tab goes from the tree to the grid and back.
    QApplication::setActiveWindow(&w);
    w.ShellTreeView->setFocus();
    ASSERT_TRUE(WaitFor([&] { return w.ShellTreeView->hasFocus(); }, 2000));
    for (QWidget* next : {static_cast<QWidget*>(w.ThumbList), (QWidget*)w.ShellTreeView}) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}

TEST(BrowsingMemory, SecondStartHandsOverItsPictureAndBringsTheWindowBack) {
    TWindowRig runs(false);
    const QString second = runs.Path("second"), picture = second + "/photo10.jpg";
    MakePhotos(runs.Path("first"), 3);
    MakePhotos(second, 12);
    TfrmThumbnail& w = runs.Start({runs.Path("first")});
    ASSERT_TRUE(runs.Settled());
    // The running instance, connected as the program connects it.
    const QString name =
        QString("VelmoraHandOver%1_%2").arg(::getpid()).arg(QDateTime::currentMSecsSinceEpoch());
    PSingleInstance running(name);
    ASSERT_TRUE(running.Acquire());
    QStringList received;
    QObject::connect(&running, &PSingleInstance::ShowRequested, &w, [&](const QString& target) {
        received << target;
        BringWindowForward(&w);
        w.OpenTarget(target);
    });
    auto secondStart = [&](const QString& target) {
        std::atomic<bool> done{false};
        std::thread other([&] {
            PSingleInstance again(name);
            again.SetHandOver(target);
            EXPECT_FALSE(again.Acquire(3000));
            done = true;
        });
        const bool ok = WaitFor([&] { return done.load(); }, 5000);
        other.join();
        return ok && runs.Settled();
    };
    ASSERT_TRUE(secondStart(picture));
    EXPECT_EQ(w.CurrentFolder(), second);
    EXPECT_EQ(w.ThumbList->Selected(), IndexOf(*w.ThumbList, picture));
    EXPECT_GE(w.ThumbList->Selected(), 0);
    // A name with blanks and a non-ASCII letter comes across whole; the same folder again is
    // listed afresh; a plain second start only brings the minimised window back.
    const QString odd = second + "/Fotos ü";
    MakePhotos(odd, 1);
    ASSERT_TRUE(secondStart(odd));
    EXPECT_EQ(w.CurrentFolder(), odd);
    const int jobs = w.LoadThread->JobCount();
    ASSERT_TRUE(secondStart(odd));
    EXPECT_GT(w.LoadThread->JobCount(), jobs);
    w.showMinimized();
    ASSERT_TRUE(secondStart(QString()));
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(received, QStringList({picture, odd, odd, QString()}));
    EXPECT_EQ(w.CurrentFolder(), odd);
}

TEST(BrowsingMemory, FolderTreeShowsArrowsOnlyForSubfoldersAndRefreshKeepsWhatIsOpen) {
    TWindowRig runs(false);
    const QString root = runs.Path("tree");
    for (const char* sub : {"/leaf", "/branch/twig", "/hiddenonly/.secret", "/open/inner/deep"})
        QDir().mkpath(root + sub);
    TfrmThumbnail& w = runs.Start({root + "/open"});
    QFileSystemModel* model = w.ShellModel;
    EXPECT_TRUE(w.ShellTreeView->isExpanded(w.ShellTreeView->currentIndex()));
    for (auto [folder, arrow] :
         {std::pair{"/leaf", false}, {"/branch", true}, {"/hiddenonly", false}, {"/open", true}}) {
        EXPECT_EQ(TFolderTreeModel::HasSubfolders(root + folder), arrow) << folder;
        EXPECT_EQ(model->hasChildren(model->index(root + folder)), arrow) << folder;
    }
    w.ShellTreeView->expand(model->index(root + "/branch"));
    ASSERT_TRUE(runs.Settled());
    w.RefreshClick();
    model = w.ShellModel;
    EXPECT_TRUE(w.ShellTreeView->isExpanded(model->index(root + "/branch")));
    EXPECT_TRUE(w.ShellTreeView->isExpanded(model->index(root + "/open")));
    EXPECT_EQ(w.CurrentFolder(), root + "/open");
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
            SCOPED_TRACE(item->FileName.toStdString());
            const int tag = item->FileName.mid(3, 1).toInt();
            QString why;
            EXPECT_EQ(oriented::ShowsUpright(item->Bitmap, &why), turn || tag == 1)
                << why.toStdString();
            EXPECT_EQ(item->Bitmap.size(), !turn && tag >= 5 ? QSize(64, 128) : QSize(128, 64));
        }
        runs.Quit();
    }
}
