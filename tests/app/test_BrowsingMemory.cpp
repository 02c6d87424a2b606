// The browsing window as a returning user meets it, on the offscreen platform: section
// "Window" of the settings file, the command line, the second start's hand-over, opening a
// picture through the seam, Tab, the folder tree, and upright grid pictures.
#include "app/c_FolderTreeModel.h"
#include "app/c_Startup.h"
#include "app/c_ThumbListView.h"
#include "app/c_WindowState.h"
#include "platform/PSingleInstance.h"
#include "services/CIniFile.h"
#include "support/OrientedPictures.h"
#include "support_Window.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSplitter>
#include <QTreeView>
#include <atomic>
#include <thread>
#include <unistd.h>

namespace {

int IndexOf(const TThumbListView& grid, const QString& path) {
    for (int i = 0; i < grid.Count(); ++i)
        if (grid.Item(i)->Info.value(2) == path)
            return i;
    return -1;
}

} // namespace

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
    {
        TfrmThumbnail& w = runs.Start();
        EXPECT_EQ(std::tuple(w.CurrentFolder(), w.ThumbList->ThumbWidth(), w.LoadThread->SortMode(),
                             w.geometry().size(), w.pos(), w.Splitter1->sizes().value(0)),
                  std::tuple(photos, 256, 2, QSize(760, 520), QPoint(40, 60), 300));
        ASSERT_TRUE(runs.Settled());
        runs.Quit();
    }
    // The folder has gone: its nearest existing parent. A place off every screen is pulled
    // back.
    ASSERT_TRUE(QDir(photos).removeRecursively());
    TIniFile(runs.Home.Path() + "Thumbnail.ini").WriteString("Window", "Left", "99999");
    {
        TfrmThumbnail& w = runs.Start();
        EXPECT_EQ(w.CurrentFolder(), runs.Path("Pictures"));
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
        // Enter opens it in the desktop's viewer, through the seam.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(w.ThumbList, &enter);
        EXPECT_EQ(runs.Opened, QList<QUrl>{QUrl::fromLocalFile(wanted)});
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
    EXPECT_EQ(runs.Opened.value(1), QUrl::fromLocalFile(expected));
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
