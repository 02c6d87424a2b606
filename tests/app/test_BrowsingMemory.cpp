// The browsing window as a returning user meets it, on the offscreen platform: section
// "Window" of the settings file (round trip, a vanished folder, a place off every screen, a
// file without the section), the command line (a picture, a missing folder), the second
// start's hand-over, opening a picture through the seam, Tab between tree and grid, the
// folder tree's arrows and Refresh, and the grid's upright pictures with the setting that
// switches turning off.
#include "app/c_FolderTreeModel.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "app/c_WindowState.h"
#include "app/i_Thumbnail.h"
#include "platform/PDialogSeam.h"
#include "platform/PSingleInstance.h"
#include "services/CIniFile.h"
#include "support/OrientedPictures.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTreeView>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

void MakePhotos(const QString& folder, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QImage img(64 + i, 48, QImage::Format_RGB32);
        img.fill(QColor(40 * i % 255, 120, 200));
        ASSERT_TRUE(
            img.save(QString("%1/photo%2.jpg").arg(folder).arg(i, 2, 10, QChar('0')), "JPG"));
    }
}

// Windows made one after another on one program folder, as runs of the program are.
struct TRuns {
    TempHome Home;
    QTemporaryDir UserHome;
    ScopedEnv HomeEnv{"HOME", QByteArray()};
    QStringList Messages;
    QList<QUrl> Opened;
    std::unique_ptr<TfrmThumbnail> Window;

    TRuns() {
        qputenv("HOME", UserHome.path().toUtf8());
        SetDialogAnswerer([this](TDialogRequest& r) {
            Messages << r.Text;
            return 0;
        });
        TfrmThumbnail::OpenUrl = [this](const QUrl& url) {
            Opened << url;
            return true;
        };
    }
    ~TRuns() {
        Window.reset();
        TfrmThumbnail::StartArguments.clear();
        SetDialogAnswerer({});
        TfrmThumbnail::OpenUrl = [](const QUrl&) { return false; };
    }
    TfrmThumbnail& Start(const QStringList& args = {}) {
        Window.reset();
        TfrmThumbnail::StartArguments =
            args.isEmpty() ? QStringList() : QStringList{"velmora"} + args;
        Window = std::make_unique<TfrmThumbnail>();
        Window->show();
        return *Window;
    }
    // The window closed as the user closes it (which stores what it remembers).
    void Quit() {
        Window->close();
        Window.reset();
    }
    bool Settled() {
        return WaitFor([&] {
            return !Window->LoadingRunning() && Window->LoadThread->Sleeping() &&
                   !Window->LoadThread->RequestPending();
        });
    }
    QString Ini() const { return Home.Path() + "Thumbnail.ini"; }
};

bool FullyVisible(const TThumbListView& grid, int index) {
    const QRect cell = grid.CellRect(index);
    return cell.top() >= 0 && cell.bottom() < grid.Surface()->height();
}

int IndexOf(const TThumbListView& grid, const QString& path) {
    for (int i = 0; i < grid.Count(); ++i)
        if (grid.Item(i)->Info.value(2) == path)
            return i;
    return -1;
}

} // namespace

TEST(WindowState, SectionRoundTripAndOutOfRangeValues) {
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("Thumbnail.ini"));
    TWindowState state;
    EXPECT_FALSE(ReadWindowState(ini, state)) << "no section: the defaults";

    TWindowState out;
    out.Folder = dir.path() + "/Fotos mit Leerzeichen/ä";
    out.SizeIndex = 0;
    out.SortMode = 2;
    out.Geometry = QRect(-40, 30, 700, 480);
    out.Maximized = true;
    out.TreeWidth = 310;
    WriteWindowState(ini, out);
    TWindowState in;
    ASSERT_TRUE(ReadWindowState(ini, in));
    EXPECT_EQ(in.Folder, out.Folder);
    EXPECT_EQ(in.SizeIndex, 0);
    EXPECT_EQ(in.SortMode, 2);
    EXPECT_EQ(in.Geometry, out.Geometry);
    EXPECT_TRUE(in.Maximized);
    EXPECT_EQ(in.TreeWidth, 310);

    // Hand-edited values out of range fall back one by one; the rest stands.
    ini.WriteString("Window", "Size", "7");
    ini.WriteString("Window", "Order", "x");
    ini.WriteString("Window", "Width", "5");
    TWindowState edited;
    ASSERT_TRUE(ReadWindowState(ini, edited));
    EXPECT_EQ(edited.SizeIndex, 1);
    EXPECT_EQ(edited.SortMode, 0);
    EXPECT_FALSE(edited.Geometry.isValid());
    EXPECT_EQ(edited.Folder, out.Folder);
}

TEST(WindowState, PlacesOffEveryScreenArePulledBack) {
    const QList<QRect> one{QRect(0, 0, 1280, 1024)};
    const QList<QRect> two{QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080)};
    struct TCase {
        const char* What;
        QList<QRect> Screens;
        QRect Wanted;
        QRect Placed;
    };
    const TCase cases[] = {
        {"on screen", one, {100, 80, 873, 550}, {100, 80, 873, 550}},
        {"partly off, title grabbable", one, {1000, 900, 873, 550}, {1000, 900, 873, 550}},
        {"right of the screen", one, {1500, 100, 873, 550}, {407, 100, 873, 550}},
        {"title above the top", one, {100, -200, 873, 550}, {100, 0, 873, 550}},
        {"far below", one, {100, 5000, 873, 550}, {100, 474, 873, 550}},
        {"only 50 pixels of title on screen", one, {1230, 100, 873, 550}, {407, 100, 873, 550}},
        {"larger than the screen", one, {-100, -100, 2000, 1500}, {0, 0, 1280, 1024}},
        {"on screen but larger (scaled)",
         {QRect(0, 0, 640, 512)},
         {60, 40, 873, 550},
         {0, 0, 640, 512}},
        {"on the second screen", two, {2000, 200, 873, 550}, {2000, 200, 873, 550}},
        {"second screen gone", one, {2000, 200, 873, 550}, {407, 200, 873, 550}},
        {"title on the second", two, {3000, 500, 873, 550}, {3000, 500, 873, 550}},
        {"right of the second", two, {3300, 500, 873, 550}, {2327, 500, 873, 550}},
        {"below the first", two, {100, 1500, 873, 550}, {100, 474, 873, 550}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(PlaceOnScreens(c.Wanted, c.Screens), c.Placed);
    }
}

TEST(BrowsingMemory, RemembersFolderSizeOrderPlaceAndTreeAcrossRuns) {
    TRuns runs;
    const QString photos = runs.UserHome.path() + "/Pictures/trip";
    MakePhotos(photos, 4);
    {
        // A file without the section: today's defaults.
        TfrmThumbnail& w = runs.Start();
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
    TIniFile ini(runs.Ini());
    EXPECT_EQ(ini.ReadString("Window", "Folder", ""), photos);
    {
        TfrmThumbnail& w = runs.Start();
        EXPECT_EQ(w.CurrentFolder(), photos);
        EXPECT_EQ(w.CbSize->currentIndex(), 0);
        EXPECT_EQ(w.ThumbList->ThumbWidth(), 256);
        EXPECT_EQ(w.CbHyouji->currentIndex(), 2);
        EXPECT_EQ(w.LoadThread->SortMode(), 2);
        EXPECT_EQ(w.size(), QSize(760, 520));
        EXPECT_EQ(w.pos(), QPoint(40, 60));
        EXPECT_EQ(w.Splitter1->sizes().value(0), 300);
        ASSERT_TRUE(runs.Settled());
        EXPECT_EQ(w.ThumbList->Count(), 4);
        runs.Quit();
    }
    // The folder has gone: its nearest existing parent. A place off every screen is pulled
    // back.
    ASSERT_TRUE(QDir(photos).removeRecursively());
    ini.WriteString("Window", "Left", "99999");
    {
        TfrmThumbnail& w = runs.Start();
        EXPECT_EQ(w.CurrentFolder(), runs.UserHome.path() + "/Pictures");
        EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().intersects(w.geometry()));
        ASSERT_TRUE(runs.Settled());
        runs.Quit();
    }
    // A folder on the command line wins over the stored one.
    const QString other = runs.UserHome.path() + "/other";
    MakePhotos(other, 2);
    TfrmThumbnail& w = runs.Start({other});
    EXPECT_EQ(w.CurrentFolder(), other);
    EXPECT_EQ(w.CbSize->currentIndex(), 0) << "the rest is still restored";
    ASSERT_TRUE(runs.Settled());
}

TEST(BrowsingMemory, CommandLinePictureAndMissingFolder) {
    TRuns runs;
    const QString photos = runs.UserHome.path() + "/many";
    MakePhotos(photos, 30);
    const QString wanted = photos + "/photo26.jpg";
    {
        TfrmThumbnail& w = runs.Start({wanted});
        EXPECT_EQ(w.CurrentFolder(), photos);
        ASSERT_TRUE(runs.Settled());
        const int index = IndexOf(*w.ThumbList, wanted);
        ASSERT_GE(index, 20) << "sorted by name, far below the first screen";
        EXPECT_EQ(w.ThumbList->Selected(), index);
        EXPECT_TRUE(FullyVisible(*w.ThumbList, index));
        EXPECT_GT(w.ThumbList->ScrollPosition(), 0);
        EXPECT_TRUE(w.PendingSelection().isEmpty());
        // Enter opens it in the desktop's viewer, through the seam.
        w.ThumbList->setFocus();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(w.ThumbList, &enter);
        ASSERT_EQ(runs.Opened.size(), 1);
        EXPECT_EQ(runs.Opened.first(), QUrl::fromLocalFile(wanted));
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
    EXPECT_EQ(w.ThumbList->Count(), 30);
    EXPECT_TRUE(runs.Messages.isEmpty());
}

TEST(BrowsingMemory, SecondStartHandsOverItsPicture) {
    TRuns runs;
    const QString first = runs.UserHome.path() + "/first";
    const QString second = runs.UserHome.path() + "/second";
    MakePhotos(first, 3);
    MakePhotos(second, 12);
    TfrmThumbnail& w = runs.Start({first});
    ASSERT_TRUE(runs.Settled());

    // The running instance, connected as the program connects it.
    const QString name = QString("VelmoraHandOverTest%1_%2")
                             .arg(::getpid())
                             .arg(QDateTime::currentMSecsSinceEpoch());
    PSingleInstance running(name);
    ASSERT_TRUE(running.Acquire());
    QStringList received;
    QObject::connect(&running, &PSingleInstance::ShowRequested, &w, [&](const QString& target) {
        received << target;
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
        return ok;
    };
    const QString picture = second + "/photo10.jpg";
    ASSERT_TRUE(secondStart(picture));
    EXPECT_EQ(received, QStringList{picture});
    EXPECT_EQ(w.CurrentFolder(), second);
    ASSERT_TRUE(runs.Settled());
    EXPECT_EQ(w.ThumbList->Selected(), IndexOf(*w.ThumbList, picture));
    EXPECT_GE(w.ThumbList->Selected(), 0);

    // A name with blanks and a non-ASCII letter comes across whole; the same folder again is
    // listed afresh.
    const QString odd = second + "/Fotos ü";
    MakePhotos(odd, 1);
    ASSERT_TRUE(secondStart(odd));
    EXPECT_EQ(received.last(), odd);
    EXPECT_EQ(w.CurrentFolder(), odd);
    ASSERT_TRUE(runs.Settled());
    const int jobs = w.LoadThread->JobCount();
    ASSERT_TRUE(secondStart(odd));
    ASSERT_TRUE(runs.Settled());
    EXPECT_GT(w.LoadThread->JobCount(), jobs);
    // A plain second start (no name) only brings the window forward.
    ASSERT_TRUE(secondStart(QString()));
    EXPECT_EQ(received.last(), QString());
    EXPECT_EQ(w.CurrentFolder(), odd);
}

TEST(BrowsingMemory, DoubleClickOpensTheRightFileAndTabGoesBetweenTreeAndGrid) {
    TRuns runs;
    const QString photos = runs.UserHome.path() + "/dbl";
    MakePhotos(photos, 5);
    TfrmThumbnail& w = runs.Start({photos});
    ASSERT_TRUE(runs.Settled());
    // Order by size (largest first) so that the grid order is not the listing's.
    w.CbHyouji->setCurrentIndex(1);
    w.CbHyoujiChange();
    const int index = 3;
    const QString expected = w.ThumbList->Item(index)->Info.value(2);
    const QPoint p = w.ThumbList->CellRect(index).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick}) {
        QMouseEvent ev(type, QPointF(p), w.ThumbList->Surface()->mapToGlobal(QPointF(p)),
                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.ThumbList->Surface(), &ev);
    }
    ASSERT_EQ(runs.Opened.size(), 1);
    EXPECT_EQ(runs.Opened.first(), QUrl::fromLocalFile(expected));
    // A desktop without a program for it: a clear message, nothing else happens.
    TfrmThumbnail::OpenUrl = [](const QUrl&) { return false; };
    w.OpenItem(index);
    ASSERT_EQ(runs.Messages.size(), 1);
    EXPECT_TRUE(runs.Messages.first().contains(QFileInfo(expected).fileName()));

    QApplication::setActiveWindow(&w);
    w.ShellTreeView->setFocus();
    ASSERT_TRUE(WaitFor([&] { return w.ShellTreeView->hasFocus(); }, 2000));
    for (QWidget* expectedFocus :
         {static_cast<QWidget*>(w.ThumbList), static_cast<QWidget*>(w.ShellTreeView)}) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &tab);
        EXPECT_EQ(QApplication::focusWidget(), expectedFocus);
    }
}

TEST(BrowsingMemory, FolderTreeShowsArrowsOnlyForSubfoldersAndRefreshKeepsWhatIsOpen) {
    TRuns runs;
    const QString root = runs.UserHome.path() + "/tree";
    for (const char* sub : {"/leaf", "/branch/twig", "/hiddenonly/.secret", "/open/inner/deep"})
        QDir().mkpath(root + sub);
    struct TCase {
        const char* Folder;
        bool Arrow;
    };
    const TCase cases[] = {
        {"/leaf", false}, {"/branch", true}, {"/hiddenonly", false}, {"/open", true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Folder);
        EXPECT_EQ(TFolderTreeModel::HasSubfolders(root + c.Folder), c.Arrow);
    }

    TfrmThumbnail& w = runs.Start({root + "/open"});
    QFileSystemModel* model = w.ShellModel;
    const QModelIndex current = w.ShellTreeView->currentIndex();
    EXPECT_EQ(model->filePath(current), root + "/open");
    EXPECT_TRUE(w.ShellTreeView->isExpanded(current)) << "the current folder opens expanded";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Folder);
        EXPECT_EQ(model->hasChildren(model->index(root + c.Folder)), c.Arrow);
    }
    // Open another folder by hand; Refresh keeps both open.
    w.ShellTreeView->expand(model->index(root + "/branch"));
    ASSERT_TRUE(runs.Settled());
    w.RefreshClick();
    model = w.ShellModel;
    EXPECT_TRUE(w.ShellTreeView->isExpanded(model->index(root + "/branch")));
    EXPECT_TRUE(w.ShellTreeView->isExpanded(model->index(root + "/open")));
    EXPECT_EQ(w.CurrentFolder(), root + "/open");
}

TEST(BrowsingMemory, GridPicturesStandUprightUnlessSwitchedOff) {
    TRuns runs;
    const QString photos = runs.UserHome.path() + "/lying";
    QDir().mkpath(photos);
    for (int tag = 1; tag <= 8; ++tag)
        ASSERT_TRUE(oriented::WriteJpeg(QString("%1/tag%2.jpg").arg(photos).arg(tag), tag));
    {
        TfrmThumbnail& w = runs.Start({photos});
        ASSERT_TRUE(runs.Settled());
        ASSERT_EQ(w.ThumbList->Count(), 8);
        for (int i = 0; i < 8; ++i) {
            SCOPED_TRACE(w.ThumbList->Item(i)->FileName.toStdString());
            QString why;
            EXPECT_TRUE(oriented::ShowsUpright(w.ThumbList->Item(i)->Bitmap, &why))
                << why.toStdString();
            EXPECT_EQ(w.ThumbList->Item(i)->Bitmap.size(), QSize(128, 64));
        }
        runs.Quit();
    }
    // Orientation=0: the pictures as stored, from the same cache.
    TIniFile(runs.Ini()).WriteString("Thumbnail", "Orientation", "0");
    TfrmThumbnail& w = runs.Start({photos});
    ASSERT_TRUE(runs.Settled());
    for (int i = 0; i < 8; ++i) {
        const TThumbnailData* item = w.ThumbList->Item(i);
        SCOPED_TRACE(item->FileName.toStdString());
        const int tag = item->FileName.mid(3, 1).toInt();
        EXPECT_EQ(item->Bitmap.size(), tag >= 5 ? QSize(64, 128) : QSize(128, 64));
        if (tag != 1) {
            EXPECT_FALSE(oriented::ShowsUpright(item->Bitmap));
        }
    }
}
