#pragma once
// The main window: the folder tree on the left, the thumbnail grid on the right, the tool
// bar above and the status bar below. Choosing a folder lists its pictures and hands them to
// the loader; the tool bar and menus stop or repeat loading, change order and size, and open
// the print, cache, version and read-me windows and the web pages.
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QUrl>
#include <functional>

class QAction;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QMenu;
class TPrintDialog;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeView;
class TImageListThread;
class TThumbListView;
class TThumbnailDB;

// The one thumbnail database, owned by the main window.
extern TThumbnailDB* ThumbnailDB;
// The printer dialog the print windows share.
extern TPrintDialog* PrintDialog;
// The stock GUI font, for the print windows.
extern QFont DefaultGuiFont;

class TfrmThumbnail : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int DesignWidth = 873;
    static constexpr int DesignHeight = 550;

    explicit TfrmThumbnail(QWidget* parent = nullptr);
    ~TfrmThumbnail() override;

    // Tool bar
    QToolBar* ToolBar;
    QToolButton* BtnAbort;
    QToolButton* BtnReload;
    QWidget* Panel1;
    QLabel* Label1;
    QComboBox* CbHyouji;
    QWidget* Panel2;
    QLabel* Label2;
    QComboBox* CbSize;
    QToolButton* BtnPrintThumbnail;
    QToolButton* BtnPrintJacket;
    QToolButton* BtnContact;
    QToolButton* BtnInternet;

    // Folder tree, splitter and grid
    QWidget* PnLeft;
    QTreeView* ShellTreeView;
    QFileSystemModel* ShellModel;
    QSplitter* Splitter1;
    TThumbListView* ThumbList;
    QImage NoFileImage;

    // Status bar: three panels, the progress bar over the second
    QWidget* StatusBar;
    QLabel* StatusPanel[3];
    QProgressBar* ProgressBar;
    int ProgressValue = 0;

    // Menus
    QMenu* File1;
    QAction* MMThumbnail;
    QAction* MMJacket;
    QAction* MMContact;
    QAction* MMClose;
    QMenu* N1;
    QAction* N3;
    QMenu* I1;
    QAction* CD;
    QAction* Orvane1;
    QAction* Orvane2;
    QMenu* Help1;
    QAction* ReadMe1;
    QAction* About1;
    QAction* MMBug;
    QMenu* ListViewPopupMenu;
    QAction* miThumbnailRepaint;
    QMenu* TreeViewPopupMenu;
    QAction* Refresh;

    TImageListThread* LoadThread = nullptr;

    // The loader's progress: 0 to 99 while loading, 100 or more when complete, below 0 after
    // a cancel.
    void SetProgress(int value);
    // Loading counts as running until panel 0 reads " Loading complete." or
    // " Loading cancelled.".
    bool LoadingRunning() const;
    QString PanelText(int index) const;
    int PanelWidth(int index) const;

    // The tree's selected folder, and selecting one (which lists it).
    QString CurrentFolder() const;
    void SelectFolder(const QString& path);
    void ListFolder(const QString& path);

    // Opens a folder, or a picture's folder with the picture selected and scrolled into
    // view once it is listed; a name that does not exist opens its nearest existing parent
    // and says so in the status bar. Used for a second start's command line.
    void OpenTarget(const QString& name);
    // Opens a grid item in the desktop's default viewer.
    void OpenItem(int index);
    // The picture waiting to be selected when its folder's listing arrives.
    const QString& PendingSelection() const { return FPendingSelect; }
    // Writes section "Window" of the settings file (unless it is read-only).
    void SaveWindowState();

    // The command line the window starts from; empty means the program's own. Tests set it.
    static QStringList StartArguments;

    // Handlers
    void BtnAbortClick();
    void BtnReloadClick();
    void CbHyoujiChange();
    void CbSizeChange();
    void BtnPrintThumbnailClick();
    void BtnPrintJacketClick();
    void BtnContactClick();
    void BtnInternetClick();
    void MMThumbnailClick() { BtnPrintThumbnailClick(); }
    void MMJacketClick() { BtnPrintJacketClick(); }
    void MMContactClick() { BtnContactClick(); }
    void MMCloseClick();
    void N3Click();
    void CDClick();
    void Orvane1Click();
    void Orvane2Click();
    void ReadMe1Click();
    void About1Click();
    void MMBugClick();
    void RefreshClick();
    void ShellTreeViewChange();

    // Opens a web page, mail address or document with its associated program. Tests
    // replace it.
    static std::function<bool(const QUrl&)> OpenUrl;

    static const QString HomePage;
    static const QString FreeSoftwarePage;
    static const QString PhotoGalleryPage;
    static const QString ClipArtPage;
    static const QString SupportMail;

private:
    bool FInTreeRefresh = false;
    QString FHookFile;
    QString FPendingSelect; // a picture to select once its folder is listed
    QString FFolderNotice;  // said after the address at the next folder change
    QRect FNormalRect;      // the frame's place and size while neither maximised nor minimised
    int FTreeWidth;         // the folder tree's width while the window is being made
    bool FTreeScrollPending = false;

    void ShowAddress(const QString& path);
    void SelectPending();
    QStringList ExpandedFolders() const;

    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void PlaceStatusBar();
    void AttachTreeModel(const QString& selectPath);
    void RefreshTreeNode();
    void SetPanelText(int index, const QString& text);
    void ShowMessage(const QString& text);
    void WriteHook(const QString& line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool focusNextPrevChild(bool next) override;
};

// The main window while it exists.
extern TfrmThumbnail* frmThumbnail;

// The picture the grid shows when a folder has no pictures (315 x 234).
QImage NoFilePicture();
// The picture of a tool-bar button: "abort", "reload", "index", "back", "contact", "internet",
// drawn at the device pixel ratio given.
QPixmap ToolButtonPicture(const QString& kind, const QSize& size, qreal ratio = 1);
// The button's icon, with pictures drawn for device pixel ratios 1, 2 and 3, so it is sharp
// on high-density screens.
QIcon ToolButtonIcon(const QString& kind, const QSize& size);
