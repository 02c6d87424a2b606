#include "i_Thumbnail.h"

#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_FolderTreeModel.h"
#include "app/c_ImageListThread.h"
#include "app/c_Message.h"
#include "app/c_ThumbListView.h"
#include "app/c_WindowState.h"
#include "app/i_Logo.h"
#include "app/i_Version.h"
#include "cache/CThumbnailDB.h"
#include "cache/i_Cache.h"
#include "platform/PDialogSeam.h"
#include "platform/PPrinter.h"
#include "platform/PSystem.h"
#include "printjobs/i_ContactSheetPrint.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "services/CIniFile.h"
#include "services/CLogCtrls.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <cstdio>

TThumbnailDB* ThumbnailDB = nullptr;
TPrintDialog* PrintDialog = nullptr;
QFont DefaultGuiFont;
TfrmThumbnail* frmThumbnail = nullptr;

const QString TfrmThumbnail::HomePage = QStringLiteral("https://www.velmora.example/en/");
const QString TfrmThumbnail::FreeSoftwarePage =
    QStringLiteral("https://www.velmora.example/en/freesoft/");
const QString TfrmThumbnail::PhotoGalleryPage =
    QStringLiteral("https://photos.velmora.example/en/");
const QString TfrmThumbnail::ClipArtPage = QStringLiteral("https://clipart.velmora.example/en/");
const QString TfrmThumbnail::SupportMail = QStringLiteral("support@velmora.example");

QStringList TfrmThumbnail::StartArguments;

std::function<bool(const QUrl&)> TfrmThumbnail::OpenUrl = [](const QUrl& url) {
    return QDesktopServices::openUrl(url);
};

namespace {

const QString Caption = QStringLiteral("Velmora");
const QString LoadComplete = QStringLiteral(" Loading complete.");
const QString LoadCancelled = QStringLiteral(" Loading cancelled.");
const QString AddressPrefix = QStringLiteral(" Address: ");
const QString IndexUnreadable = QStringLiteral(
    "The thumbnail cache index could not be read and was set aside; thumbnails will be made "
    "again.");
const QChar IdeographicSpace(0x3000);

constexpr int ToolBarHeight = 47;
constexpr int ButtonHeight = 43;
constexpr int StatusBarHeight = 26;
constexpr int Panel0Width = 105;
constexpr int Panel2Width = 50;
constexpr int TreeWidth = 225;

// --- pictures ----------------------------------------------------------------------------

void DrawFolder(QPainter& p, const QRectF& r, const QColor& body) {
    QPainterPath path;
    const qreal tabW = r.width() * 0.42, tabH = r.height() * 0.18;
    path.moveTo(r.left(), r.top() + tabH);
    path.lineTo(r.left(), r.top() + 2);
    path.quadTo(r.left(), r.top(), r.left() + 2, r.top());
    path.lineTo(r.left() + tabW - 3, r.top());
    path.lineTo(r.left() + tabW + 2, r.top() + tabH);
    path.lineTo(r.right(), r.top() + tabH);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, body.lighter(120));
    g.setColorAt(1, body.darker(110));
    p.setPen(QPen(body.darker(160), 1));
    p.setBrush(g);
    p.drawPath(path);
}

void DrawWords(QPainter& p, const QRectF& r, const QStringList& lines, int pixelSize,
               const QColor& colour = QColor(20, 30, 60)) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(true);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, lines.join(QLatin1Char('\n')));
}

QPixmap NewPicture(const QSize& size, qreal ratio) {
    QPixmap pm(size * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    return pm;
}

} // namespace

QIcon ToolButtonIcon(const QString& kind, const QSize& size) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0, 3.0})
        icon.addPixmap(ToolButtonPicture(kind, size, ratio));
    return icon;
}

QPixmap ToolButtonPicture(const QString& kind, const QSize& size, qreal ratio) {
    QPixmap pm = NewPicture(size, ratio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal h = size.height();
    const QRectF art(1, (h - 30) / 2, 30, 30);
    const QRectF words(33, 0, size.width() - 34, h);
    if (kind == QLatin1String("abort")) {
        DrawFolder(p, art.adjusted(1, 4, -1, -3), QColor(240, 200, 80));
        p.setPen(QPen(QColor(220, 20, 20), 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(art.topLeft() + QPointF(5, 5), art.bottomRight() - QPointF(5, 3));
        p.drawLine(art.topRight() + QPointF(-5, 5), art.bottomLeft() + QPointF(5, -3));
        DrawWords(p, words, {QStringLiteral("Cancel"), QStringLiteral("loading")}, 11);
    } else if (kind == QLatin1String("reload")) {
        DrawFolder(p, art.adjusted(1, 4, -1, -3), QColor(240, 200, 80));
        const QRectF ring(art.center() - QPointF(8, 7), QSizeF(16, 16));
        p.setPen(QPen(QColor(20, 150, 40), 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(ring, 40 * 16, 290 * 16);
        QPainterPath head;
        const QPointF tip = ring.center() + QPointF(8 * 0.77, -8 * 0.64);
        head.moveTo(tip + QPointF(-5, -3));
        head.lineTo(tip + QPointF(3, -4));
        head.lineTo(tip + QPointF(1, 4));
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 150, 40));
        p.drawPath(head);
        DrawWords(p, words, {QStringLiteral("Refresh")}, 12);
    } else if (kind == QLatin1String("internet")) {
        // The mascot's head fills the picture.
        p.setClipRect(QRectF(QPointF(0, 0), QSizeF(size)));
        const qreal s = std::min(size.width(), size.height()) / 64.0 * 100.0;
        const QPointF offset((size.width() - 0.64 * s) / 2 - 0.18 * s,
                             (h - 0.64 * s) / 2 - 0.06 * s);
        DrawMascot(p, QRectF(offset, QSizeF(s, s)));
    } else {
        DrawPrinter(p, art);
        QStringList lines{QStringLiteral("Print")};
        if (kind == QLatin1String("index"))
            lines << QStringLiteral("Index Card");
        else if (kind == QLatin1String("back"))
            lines << QStringLiteral("Back Card");
        else
            lines << QStringLiteral("Contact") << QStringLiteral("Sheet");
        DrawWords(p, words, lines, lines.size() > 2 ? 9 : 10);
    }
    return pm;
}

QImage NoFilePicture() {
    QImage img(315, 234, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The folder-shaped card.
    QPainterPath card;
    card.moveTo(4, 30);
    card.lineTo(4, 12);
    card.quadTo(4, 6, 10, 6);
    card.lineTo(110, 6);
    card.lineTo(124, 22);
    card.lineTo(305, 22);
    card.quadTo(311, 22, 311, 28);
    card.lineTo(311, 224);
    card.quadTo(311, 230, 305, 230);
    card.lineTo(10, 230);
    card.quadTo(4, 230, 4, 224);
    card.closeSubpath();
    QLinearGradient g(0, 6, 0, 230);
    g.setColorAt(0, QColor(96, 160, 240));
    g.setColorAt(1, QColor(24, 78, 170));
    p.setPen(QPen(QColor(190, 220, 255), 2));
    p.setBrush(g);
    p.drawPath(card);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(28);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 30, 90));
    p.drawText(QRectF(14, 26, 200, 40), Qt::AlignLeft | Qt::AlignVCenter, Caption);
    p.setPen(Qt::white);
    p.drawText(QRectF(12, 24, 200, 40), Qt::AlignLeft | Qt::AlignVCenter, Caption);

    DrawMascot(p, QRectF(10, 66, 96, 96));
    DrawPrinter(p, QRectF(226, 30, 74, 74));

    QFont ask(QStringLiteral("DejaVu Sans"));
    ask.setPixelSize(15);
    ask.setBold(true);
    p.setFont(ask);
    p.setPen(Qt::white);
    p.drawText(QRectF(104, 100, 205, 50), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("Select a picture folder."));

    QFont note(QStringLiteral("DejaVu Sans"));
    note.setPixelSize(11);
    p.setFont(note);
    p.setPen(QColor(225, 238, 255));
    p.drawText(QRectF(14, 168, 290, 56), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("Displayable formats:\nbmp, jpg, jpeg, tif, tiff, png and avi"));
    return img;
}

// --- the window --------------------------------------------------------------------------

TfrmThumbnail::TfrmThumbnail(QWidget* parent) : QMainWindow(parent) {
    frmThumbnail = this;
    setObjectName(QStringLiteral("frmThumbnail"));
    setWindowTitle(Caption);
    setMinimumWidth(500);
    QFont windowFont(QStringLiteral("MS PGothic"));
    windowFont.setPixelSize(12);
    setFont(windowFont);
    FHookFile = qEnvironmentVariable("VELMORA_STATUS_LOG");

    // Components, as the window's design holds them.
    CreateMenus();
    CreateToolBar();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    PnLeft = new QWidget(Splitter1);
    PnLeft->setObjectName(QStringLiteral("PnLeft"));
    PnLeft->setMinimumWidth(100);
    auto* leftLayout = new QVBoxLayout(PnLeft);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    ShellTreeView = new QTreeView(PnLeft);
    ShellTreeView->setObjectName(QStringLiteral("ShellTreeView"));
    ShellTreeView->setFrameShape(QFrame::NoFrame);
    ShellTreeView->setHeaderHidden(true);
    ShellTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    ShellTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    leftLayout->addWidget(ShellTreeView);
    ShellModel = nullptr;
    TreeViewPopupMenu = new QMenu(this);
    Refresh = TreeViewPopupMenu->addAction(QStringLiteral("Refresh"));
    Refresh->setObjectName(QStringLiteral("Refresh"));
    connect(Refresh, &QAction::triggered, this, &TfrmThumbnail::RefreshClick);
    connect(ShellTreeView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        // A right click selects the node first.
        const QModelIndex index = ShellTreeView->indexAt(pos);
        if (index.isValid())
            ShellTreeView->setCurrentIndex(index);
        TreeViewPopupMenu->popup(ShellTreeView->viewport()->mapToGlobal(pos));
    });
    column->addWidget(Splitter1, 1);
    CreateStatusBar();
    column->addWidget(StatusBar);
    setCentralWidget(central);

    ListViewPopupMenu = new QMenu(this);
    miThumbnailRepaint = ListViewPopupMenu->addAction(QStringLiteral("Reload this image"));
    miThumbnailRepaint->setObjectName(QStringLiteral("miThumbnailRepaint"));
    NoFileImage = NoFilePicture();

    // What the last run left: folder, size, order, place and tree width. The settings file is
    // opened for good later (step 9); this reads it once, ahead.
    TWindowState remembered;
    {
        const TIniFile ini(ResolveAppDir() + QStringLiteral("Thumbnail.ini"));
        ReadWindowState(ini, remembered);
    }
    FTreeWidth = remembered.TreeWidth > 0 ? remembered.TreeWidth : TreeWidth;
    // The first folder: the one named on the command line (a picture's folder, or the
    // nearest existing parent of a name that is gone), else the one the last run showed
    // (or its nearest existing parent), else the home folder.
    QString first = QDir::homePath();
    if (!remembered.Folder.isEmpty())
        first = NearestExistingFolder(remembered.Folder);
    const QStringList args =
        StartArguments.isEmpty() ? QCoreApplication::arguments() : StartArguments;
    for (int i = 1; i < args.size(); ++i)
        if (!args[i].startsWith(QLatin1Char('-'))) {
            const TStartTarget target = ResolveStartTarget(args[i]);
            first = target.Folder;
            FPendingSelect = target.Picture;
            FFolderNotice = target.Notice;
            break;
        }
    AttachTreeModel(first);

    // Creation, in order.
    // 1. Limit the window to the desktop's work area.
    QRect area(0, 0, DesignWidth, DesignHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    resize(std::min(DesignWidth, area.width()), std::min(DesignHeight, area.height()));
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    // The place the last run left, pulled onto a screen when it lies off all of them.
    if (remembered.Geometry.isValid()) {
        QList<QRect> screens;
        for (QScreen* screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        const QRect place = PlaceOnScreens(remembered.Geometry, screens);
        resize(std::max(place.width(), minimumWidth()), place.height());
        move(place.topLeft());
    }
    FNormalRect = QRect(pos(), size());
    if (remembered.Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    // 2. ExtensionList is the configuration's constant list.
    // 3. The grid, right of the tree, on black, with its popup and no-file picture.
    ThumbList = new TThumbListView(Splitter1);
    ThumbList->setObjectName(QStringLiteral("ThumbList"));
    QPalette pal = ThumbList->palette();
    pal.setColor(QPalette::Window, Qt::black);
    ThumbList->setPalette(pal);
    ThumbList->SetPopupMenu(ListViewPopupMenu);
    ThumbList->SetNoFileBitmap(NoFileImage);
    ThumbList->setVisible(true);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({FTreeWidth, std::max(1, width() - FTreeWidth - 5)});
    connect(ThumbList, &TThumbListView::ItemOpened, this, &TfrmThumbnail::OpenItem);
    setTabOrder(ShellTreeView, ThumbList);
    // 4. The stock GUI font.
    DefaultGuiFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // 5. Folder changes.
    connect(ShellTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmThumbnail::ShellTreeViewChange);
    // 6. " Medium", or the size and order the last run left.
    CbSize->setCurrentIndex(remembered.SizeIndex);
    CbHyouji->setCurrentIndex(remembered.SortMode);
    // 7. The shared print dialog.
    PrintDialog = new TPrintDialog;
    // 9. Settings file, program and cache folders, cache size.
    LoadConfiguration();
    // Log failures become plain message boxes, shown on the window thread.
    SetLogErrorReporter([](const QString& text) {
        auto show = [text] { ShowPlainMessage(Caption, text); };
        if (QThread::currentThread() == qApp->thread())
            show();
        else
            QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
    });
    // 10. The thumbnail database.
    ThumbnailDB = new TThumbnailDB(this, AppDir);
    ThumbnailDB->SetCacheDirectory(CacheDir);
    ThumbnailDB->SetMaxSizeKB(CacheSizeKB);
    ThumbnailDB->SetApplyOrientation(ApplyOrientation);
    // An unreadable index costs the thumbnails, never the start.
    const QString indexProblem = ThumbnailDB->Table().TakeIndexProblem();
    if (!indexProblem.isEmpty()) {
        std::fprintf(stderr, "Velmora: thumbnail cache index: %s\n",
                     indexProblem.toLocal8Bit().constData());
        MsgManage.ShowMsg(IndexUnreadable, Caption, {TMsgButton::OK});
    }
    // 8. The loader, with "Reload this image"; its thread starts only now, after every
    // step that can fail, so a failed start leaves no thread behind.
    LoadThread = new TImageListThread(ThumbList, miThumbnailRepaint);
    LoadThread->OnProgress = [this](int value) { SetProgress(value); };
    connect(miThumbnailRepaint, &QAction::triggered, this,
            [this] { LoadThread->ReloadThisImage(); });
    LoadThread->SetSource(MakeDatabaseSource(ThumbnailDB));
    // 11. The size of the chosen row, which starts nothing yet visible, and the order.
    LoadThread->SetThumbSize(SizeTable[remembered.SizeIndex].Width,
                             SizeTable[remembered.SizeIndex].Height);
    LoadThread->SetSortMode(remembered.SortMode);
    // Keys: Ctrl+Q quits (on the menu item), F5 refreshes, Escape stops a running load.
    MMClose->setShortcut(QKeySequence::Quit);
    auto* refreshKey = new QAction(this);
    refreshKey->setShortcut(Qt::Key_F5);
    connect(refreshKey, &QAction::triggered, this, &TfrmThumbnail::BtnReloadClick);
    addAction(refreshKey);
    auto* stopKey = new QAction(this);
    stopKey->setShortcut(Qt::Key_Escape);
    connect(stopKey, &QAction::triggered, this, &TfrmThumbnail::BtnAbortClick);
    addAction(stopKey);
    // 12. Status bar panels and the progress bar over panel 1.
    PlaceStatusBar();
    SetPanelText(2, AddressPrefix + CurrentFolder());
    ProgressBar->hide();
    // 13. Lines at the root, then the first folder.
    ShellTreeView->setRootIsDecorated(true);
    ShellTreeViewChange();
}

TfrmThumbnail::~TfrmThumbnail() {
    // The loader goes first: it uses the grid and the database.
    delete LoadThread;
    LoadThread = nullptr;
    SetLogErrorReporter({});
    delete ProgressBar;
    ProgressBar = nullptr;
    delete PrintDialog;
    PrintDialog = nullptr;
    delete ThumbList;
    ThumbList = nullptr;
    delete IniFile;
    IniFile = nullptr;
    // The database saves its index as it goes.
    delete ThumbnailDB;
    ThumbnailDB = nullptr;
    if (frmThumbnail == this)
        frmThumbnail = nullptr;
}

void TfrmThumbnail::CreateMenus() {
    QMenuBar* bar = menuBar();
    File1 = bar->addMenu(QStringLiteral("File(&F)"));
    MMThumbnail = File1->addAction(QStringLiteral("Print Index Card(&I)"));
    MMJacket = File1->addAction(QStringLiteral("Print Back Card(&B)"));
    MMContact = File1->addAction(QStringLiteral("Print Contact Sheet(&C)"));
    File1->addSeparator();
    MMClose = File1->addAction(QStringLiteral("Exit Velmora(&X)"));
    N1 = bar->addMenu(QStringLiteral("Settings(&T)"));
    N3 = N1->addAction(QStringLiteral("Cache settings(&U)"));
    I1 = bar->addMenu(QStringLiteral("Internet(&N) "));
    CD = I1->addAction(QStringLiteral("Velmora home page(&H)"));
    I1->addSeparator();
    Orvane1 = I1->addAction(QStringLiteral("Free photo images: Velmora Photo Gallery(&F)"));
    Orvane2 = I1->addAction(QStringLiteral("Free illustrations: Velmora Clip Art(&C)"));
    Help1 = bar->addMenu(QStringLiteral("Help(&H)"));
    ReadMe1 = Help1->addAction(QStringLiteral("Display ReadMe"));
    About1 = Help1->addAction(QStringLiteral("Version information(&A)"));
    MMBug = Help1->addAction(QStringLiteral("Bug report(&M)"));

    connect(MMThumbnail, &QAction::triggered, this, &TfrmThumbnail::MMThumbnailClick);
    connect(MMJacket, &QAction::triggered, this, &TfrmThumbnail::MMJacketClick);
    connect(MMContact, &QAction::triggered, this, &TfrmThumbnail::MMContactClick);
    connect(MMClose, &QAction::triggered, this, &TfrmThumbnail::MMCloseClick);
    connect(N3, &QAction::triggered, this, &TfrmThumbnail::N3Click);
    connect(CD, &QAction::triggered, this, &TfrmThumbnail::CDClick);
    connect(Orvane1, &QAction::triggered, this, &TfrmThumbnail::Orvane1Click);
    connect(Orvane2, &QAction::triggered, this, &TfrmThumbnail::Orvane2Click);
    connect(ReadMe1, &QAction::triggered, this, &TfrmThumbnail::ReadMe1Click);
    connect(About1, &QAction::triggered, this, &TfrmThumbnail::About1Click);
    connect(MMBug, &QAction::triggered, this, &TfrmThumbnail::MMBugClick);
}

void TfrmThumbnail::CreateToolBar() {
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setFixedHeight(ToolBarHeight);
    ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    // The pictures carry their own words: the buttons keep them at full size.
    ToolBar->setIconSize(QSize(104, ButtonHeight));
    ToolBar->setContentsMargins(0, 0, 0, 0);
    ToolBar->layout()->setSpacing(0);
    ToolBar->layout()->setContentsMargins(0, 0, 0, 0);
    addToolBar(Qt::TopToolBarArea, ToolBar);
    ToolBar->setMinimumHeight(ToolBarHeight);

    auto button = [this](const char* name, const QString& kind, int width, const QString& tip) {
        auto* b = new QToolButton(ToolBar);
        b->setObjectName(QLatin1String(name));
        b->setAutoRaise(true);
        b->setFixedSize(width, ButtonHeight);
        const QSize art(width - 6, ButtonHeight - 6);
        b->setIconSize(art);
        b->setIcon(ToolButtonIcon(kind, art));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setToolTip(tip);
        ToolBar->addWidget(b);
        b->setIconSize(art);
        return b;
    };
    auto labelled = [this](const char* name, const QString& text, QComboBox*& box, int boxWidth,
                           QLabel*& label) {
        auto* panel = new QWidget(ToolBar);
        panel->setObjectName(QLatin1String(name));
        auto* row = new QHBoxLayout(panel);
        row->setContentsMargins(2, 0, 2, 0);
        row->setSpacing(2);
        label = new QLabel(IdeographicSpace + text, panel);
        box = new QComboBox(panel);
        box->setFixedWidth(boxWidth);
        row->addWidget(label);
        row->addWidget(box);
        ToolBar->addWidget(panel);
        return panel;
    };

    BtnAbort = button("BtnAbort", QStringLiteral("abort"), 106, QStringLiteral("Cancel loading"));
    BtnReload = button("BtnReload", QStringLiteral("reload"), 96, QStringLiteral("Refresh"));
    ToolBar->addSeparator();
    Panel1 = labelled("Panel1", QStringLiteral("Sort by"), CbHyouji, 65, Label1);
    CbHyouji->setObjectName(QStringLiteral("CbHyouji"));
    CbHyouji->addItems({QStringLiteral(" Name"), QStringLiteral(" Size"), QStringLiteral(" Date")});
    CbHyouji->setCurrentIndex(0);
    ToolBar->addSeparator();
    Panel2 = labelled("Panel2", QStringLiteral("Image size"), CbSize, 73, Label2);
    CbSize->setObjectName(QStringLiteral("CbSize"));
    for (int i = 0; i < SizeTableCount; ++i)
        CbSize->addItem(SizeTable[i].Caption);
    // The design's widths, or wider when this system's font needs more, so that no item
    // (" Medium") is clipped.
    for (auto [box, design] : {std::pair{CbHyouji, 65}, std::pair{CbSize, 73}}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->setFixedWidth(std::max(design, box->sizeHint().width()));
    }
    ToolBar->addSeparator();
    BtnPrintThumbnail = button("BtnPrintThumbnail", QStringLiteral("index"), 104,
                               QStringLiteral("Print Index Card"));
    BtnPrintJacket =
        button("BtnPrintJacket", QStringLiteral("back"), 104, QStringLiteral("Print Back Card"));
    BtnContact =
        button("BtnContact", QStringLiteral("contact"), 104, QStringLiteral("Print Contact Sheet"));
    ToolBar->addSeparator();
    BtnInternet = button("BtnInternet", QStringLiteral("internet"), 44, QStringLiteral("Velmora"));
    BtnInternet->setIconSize(QSize(32, 32));
    BtnInternet->setIcon(ToolButtonIcon(QStringLiteral("internet"), QSize(32, 32)));

    connect(BtnAbort, &QToolButton::clicked, this, &TfrmThumbnail::BtnAbortClick);
    connect(BtnReload, &QToolButton::clicked, this, &TfrmThumbnail::BtnReloadClick);
    connect(CbHyouji, &QComboBox::activated, this, &TfrmThumbnail::CbHyoujiChange);
    connect(CbSize, &QComboBox::activated, this, &TfrmThumbnail::CbSizeChange);
    connect(BtnPrintThumbnail, &QToolButton::clicked, this, &TfrmThumbnail::BtnPrintThumbnailClick);
    connect(BtnPrintJacket, &QToolButton::clicked, this, &TfrmThumbnail::BtnPrintJacketClick);
    connect(BtnContact, &QToolButton::clicked, this, &TfrmThumbnail::BtnContactClick);
    connect(BtnInternet, &QToolButton::clicked, this, &TfrmThumbnail::BtnInternetClick);
}

void TfrmThumbnail::CreateStatusBar() {
    StatusBar = new QWidget(centralWidget() ? centralWidget() : this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(StatusBarHeight);
    const int widths[3] = {Panel0Width, 100, Panel2Width};
    int left = 0;
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panel->setGeometry(left, 0, widths[i], StatusBarHeight);
        panel->setTextFormat(Qt::PlainText);
        panel->setMargin(0);
        panel->setIndent(1);
        left += widths[i];
        StatusPanel[i] = panel;
    }
    StatusBar->installEventFilter(this);
    ProgressBar = new QProgressBar(StatusBar);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->setMinimumSize(0, 0);
}

void TfrmThumbnail::PlaceStatusBar() {
    // Panel 1 ends near the grid's left edge, so the address starts there. The tree has its
    // design width while the window is being made.
    const int treeWidth = PnLeft->isVisible() ? PnLeft->width() : FTreeWidth;
    // Panel 0 is 105 wide, or wider when this system's font needs more for the state texts.
    const QFontMetrics fm(StatusPanel[0]->font());
    const int width0 = std::max(Panel0Width, std::max(fm.horizontalAdvance(LoadCancelled),
                                                      fm.horizontalAdvance(LoadComplete)) +
                                                 2 * StatusPanel[0]->frameWidth() + 2);
    const int width1 = treeWidth - width0 + 5;
    StatusPanel[0]->setGeometry(0, 0, width0, StatusBarHeight);
    StatusPanel[1]->setGeometry(width0, 0, width1, StatusBarHeight);
    const int left2 = width0 + width1;
    StatusPanel[2]->setGeometry(left2, 0, std::max(Panel2Width, StatusBar->width() - left2),
                                StatusBarHeight);
    if (ProgressBar) {
        ProgressBar->setGeometry(width0 + 2, 2, width1 - 3, StatusBarHeight - 2);
        ProgressBar->raise();
    }
}

bool TfrmThumbnail::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StatusBar && event->type() == QEvent::Resize) {
        // Only the last panel follows the window's width.
        const int left2 = StatusPanel[2]->x();
        StatusPanel[2]->resize(std::max(Panel2Width, StatusBar->width() - left2), StatusBarHeight);
    }
    return QMainWindow::eventFilter(watched, event);
}

int TfrmThumbnail::PanelWidth(int index) const {
    return StatusPanel[index]->width();
}

QString TfrmThumbnail::PanelText(int index) const {
    return StatusPanel[index]->text();
}

void TfrmThumbnail::SetPanelText(int index, const QString& text) {
    StatusPanel[index]->setText(text);
    if (index == 0)
        WriteHook(QStringLiteral("status\t") + text);
    else if (index == 2)
        WriteHook(QStringLiteral("address\t") + text);
}

void TfrmThumbnail::AttachTreeModel(const QString& selectPath) {
    QFileSystemModel* old = ShellModel;
    // Folders only, hidden ones left out, no arrow where there are no subfolders.
    ShellModel = new TFolderTreeModel(this);
    ShellModel->setRootPath(QStringLiteral("/"));
    // The folders are read and sorted in the background: the current one is scrolled into
    // view again a moment after each folder on its way arrives, for the first seconds.
    connect(ShellModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& dir) {
        const QString current = CurrentFolder();
        if (!FTreeScrollPending || current.isEmpty())
            return;
        if (current == dir || current.startsWith(dir == QLatin1String("/") ? dir : dir + '/'))
            QTimer::singleShot(100, this, [this] {
                if (FTreeScrollPending)
                    ShellTreeView->scrollTo(ShellTreeView->currentIndex());
            });
    });
    ShellTreeView->setModel(ShellModel);
    for (int c = 1; c < ShellModel->columnCount(); ++c)
        ShellTreeView->hideColumn(c);
    if (old)
        old->deleteLater();
    const QModelIndex index = ShellModel->index(selectPath);
    if (index.isValid()) {
        for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
            ShellTreeView->expand(up);
        // The current folder opens expanded, selected and in view.
        ShellTreeView->expand(index);
        ShellTreeView->setCurrentIndex(index);
        ShellTreeView->scrollTo(index);
        FTreeScrollPending = true;
        QTimer::singleShot(3000, this, [this] { FTreeScrollPending = false; });
    }
}

QStringList TfrmThumbnail::ExpandedFolders() const {
    QStringList paths;
    if (!ShellModel)
        return paths;
    // Only rows already read can be expanded.
    QList<QModelIndex> todo{ShellTreeView->rootIndex()};
    while (!todo.isEmpty()) {
        const QModelIndex parent = todo.takeLast();
        for (int r = 0; r < ShellModel->rowCount(parent); ++r) {
            const QModelIndex child = ShellModel->index(r, 0, parent);
            if (ShellTreeView->isExpanded(child)) {
                paths << ShellModel->filePath(child);
                todo << child;
            }
        }
    }
    return paths;
}

void TfrmThumbnail::RefreshTreeNode() {
    // A fresh model reads the folders again; the selection stays where it was and no folder
    // change is reported for it.
    const QString path = CurrentFolder();
    const QStringList expanded = ExpandedFolders();
    FInTreeRefresh = true;
    AttachTreeModel(path);
    // The folders that were open stay open, where they still exist.
    for (const QString& folder : expanded) {
        const QModelIndex index = ShellModel->index(folder);
        if (index.isValid())
            ShellTreeView->expand(index);
    }
    connect(ShellTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmThumbnail::ShellTreeViewChange);
    FInTreeRefresh = false;
}

QString TfrmThumbnail::CurrentFolder() const {
    if (!ShellModel)
        return QString();
    const QModelIndex index = ShellTreeView->currentIndex();
    return index.isValid() ? ShellModel->filePath(index) : QString();
}

void TfrmThumbnail::SelectFolder(const QString& path) {
    const QModelIndex index = ShellModel->index(QFileInfo(path).absoluteFilePath());
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        ShellTreeView->expand(up);
    ShellTreeView->setCurrentIndex(index);
    ShellTreeView->scrollTo(index);
}

void TfrmThumbnail::ShellTreeViewChange() {
    if (FInTreeRefresh)
        return;
    const QString path = CurrentFolder();
    ListFolder(path);
    ShowAddress(path);
}

void TfrmThumbnail::ShowAddress(const QString& path) {
    // A note about a name that did not exist follows the address once.
    QString text = AddressPrefix + path;
    if (!FFolderNotice.isEmpty())
        text += QStringLiteral("   ") + FFolderNotice;
    FFolderNotice.clear();
    SetPanelText(2, text);
}

void TfrmThumbnail::OpenTarget(const QString& name) {
    // A modal window works on the grid or the database: the window only comes forward.
    if (name.isEmpty() || QApplication::activeModalWidget())
        return;
    const TStartTarget target = ResolveStartTarget(name);
    FPendingSelect = target.Picture;
    FFolderNotice = target.Notice;
    const QModelIndex index = ShellModel ? ShellModel->index(target.Folder) : QModelIndex();
    if (index.isValid() && target.Folder != CurrentFolder()) {
        // The folder change stops the running load and lists the folder.
        SelectFolder(target.Folder);
        ShellTreeView->expand(ShellTreeView->currentIndex());
        return;
    }
    // The same folder (or one the tree does not show): listed again, which stops the
    // running load as well.
    ListFolder(target.Folder);
    ShowAddress(target.Folder);
}

void TfrmThumbnail::SelectPending() {
    // Only once the listing of the folder has arrived and been sorted.
    if (FPendingSelect.isEmpty() || !LoadThread || LoadThread->RequestPending() ||
        !ThumbList->Drawing())
        return;
    for (int i = 0; i < ThumbList->Count(); ++i)
        if (ThumbList->Item(i)->Info.value(2) == FPendingSelect) {
            FPendingSelect.clear();
            ThumbList->SetSelected(i);
            ThumbList->EnsureVisible(i);
            return;
        }
}

void TfrmThumbnail::OpenItem(int index) {
    const TThumbnailData* item = ThumbList->Item(index);
    if (!item || item->Info.value(2).isEmpty())
        return;
    const QString path = item->Info.value(2);
    if (!OpenUrl(QUrl::fromLocalFile(path)))
        ShowMessage(QStringLiteral("\"%1\" could not be opened: the desktop has no program for "
                                   "it.")
                        .arg(QFileInfo(path).fileName()));
}

void TfrmThumbnail::SaveWindowState() {
    if (!IniFile)
        return;
    TWindowState state;
    state.Folder = CurrentFolder();
    state.SizeIndex = std::clamp(CbSize->currentIndex(), 0, SizeTableCount - 1);
    state.SortMode = LoadThread ? LoadThread->SortMode() : CbHyouji->currentIndex();
    state.Geometry = FNormalRect;
    state.Maximized = isMaximized();
    state.TreeWidth = Splitter1->sizes().value(0);
    // A read-only settings file is left as it is, silently.
    const QString name = IniFile->FileName();
    if (QFileInfo::exists(name) && PIsReadOnlyFile(name))
        return;
    try {
        WriteWindowState(*IniFile, state);
    } catch (const std::exception&) {
    }
}

void TfrmThumbnail::closeEvent(QCloseEvent* event) {
    SaveWindowState();
    QMainWindow::closeEvent(event);
}

void TfrmThumbnail::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (!isMaximized() && !isMinimized() && !isFullScreen())
        FNormalRect = QRect(pos(), size());
}

void TfrmThumbnail::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!isMaximized() && !isMinimized() && !isFullScreen())
        FNormalRect = QRect(pos(), size());
}

bool TfrmThumbnail::focusNextPrevChild(bool next) {
    // Tab goes between the folder tree and the grid.
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == ShellTreeView || ShellTreeView->isAncestorOf(focus))) {
        ThumbList->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    if (focus && (focus == ThumbList || ThumbList->isAncestorOf(focus))) {
        ShellTreeView->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return QMainWindow::focusNextPrevChild(next);
}

void TfrmThumbnail::ListFolder(const QString& path) {
    if (LoadThread)
        LoadThread->SetFileList(ListFolderImages(path));
}

void TfrmThumbnail::SetProgress(int value) {
    SelectPending();
    // A picture not found in its folder by the end of the load is given up.
    if (value >= 100 || value < 0)
        FPendingSelect.clear();
    ProgressValue = std::clamp(value, 0, 100);
    ProgressBar->setValue(ProgressValue);
    if (value >= 100) {
        SetPanelText(0, LoadComplete);
        ProgressBar->hide();
    } else if (value >= 0) {
        ProgressBar->show();
        SetPanelText(0, QStringLiteral(" Load  ") + QString::number(value) + QLatin1Char('%'));
    } else {
        SetPanelText(0, LoadCancelled);
        ProgressBar->hide();
    }
    if (value >= 100 || value < 0) {
        if (!FHookFile.isEmpty())
            for (int i = 0; i < ThumbList->Count(); ++i) {
                const TThumbnailData* item = ThumbList->Item(i);
                WriteHook(QStringLiteral("cell\t%1\t%2\t%3x%4\t%5x%6")
                              .arg(i)
                              .arg(item->FileName)
                              .arg(item->Bitmap.width())
                              .arg(item->Bitmap.height())
                              .arg(item->Info.value(6), item->Info.value(7)));
            }
    }
}

bool TfrmThumbnail::LoadingRunning() const {
    // The loader itself says whether it is between jobs: the status text still shows the
    // end of the previous load while the loader has taken a new folder up and works in the
    // thumbnail database before its first report.
    if (LoadThread && !LoadThread->Idle())
        return true;
    const QString text = PanelText(0);
    return text != LoadComplete && text != LoadCancelled;
}

void TfrmThumbnail::ShowMessage(const QString& text) {
    MsgManage.ShowMsg(text, Caption, {TMsgButton::OK});
}

void TfrmThumbnail::WriteHook(const QString& line) {
    // Test hook: the status texts and, at the end of a load, the cells, one line each.
    if (FHookFile.isEmpty())
        return;
    QFile f(FHookFile);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        f.write(line.toUtf8() + '\n');
        f.close();
    }
}

void TfrmThumbnail::BtnAbortClick() {
    LoadThread->Cancel();
}

void TfrmThumbnail::BtnReloadClick() {
    RefreshTreeNode();
    LoadThread->Reload();
}

void TfrmThumbnail::CbHyoujiChange() {
    if (LoadingRunning()) {
        ShowMessage(
            QStringLiteral("Display order switching is disabled while images are loading."));
        CbHyouji->setCurrentIndex(LoadThread->SortMode());
        return;
    }
    LoadThread->SetSortMode(CbHyouji->currentIndex());
}

void TfrmThumbnail::CbSizeChange() {
    const int row = std::clamp(CbSize->currentIndex(), 0, SizeTableCount - 1);
    LoadThread->SetThumbSize(SizeTable[row].Width, SizeTable[row].Height);
}

void TfrmThumbnail::BtnPrintThumbnailClick() {
    if (LoadingRunning()) {
        ShowMessage(QStringLiteral("Print buttons are disabled while images are loading."));
        return;
    }
    if (!prtThumbnailPrint || !frmPrintThumbnail)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    prtThumbnailPrint->ItemList = ThumbList;
    frmPrintThumbnail->ApplySettings();
    frmPrintThumbnail->SetFolder(CurrentFolder());
    QApplication::restoreOverrideCursor();
    frmPrintThumbnail->ShowModal();
    prtThumbnailPrint->ForgetPictures();
}

void TfrmThumbnail::BtnContactClick() {
    if (LoadingRunning()) {
        ShowMessage(QStringLiteral("Print buttons are disabled while images are loading."));
        return;
    }
    if (!prtContactSheetPrint || !frmContactSheetPrint)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    prtContactSheetPrint->ItemList = ThumbList;
    frmContactSheetPrint->ApplySettings();
    frmContactSheetPrint->SetFolder(CurrentFolder());
    QApplication::restoreOverrideCursor();
    frmContactSheetPrint->ShowModal();
}

void TfrmThumbnail::BtnPrintJacketClick() {
    if (LoadingRunning()) {
        ShowMessage(QStringLiteral("Print buttons are disabled while images are loading."));
        return;
    }
    if (ThumbList->Selected() < 0 || !ThumbList->Item(ThumbList->Selected())) {
        ShowMessage(QStringLiteral(
            "Before printing the back card, click one of the displayed images to select it."));
        return;
    }
    if (!prtJacketPrint || !frmJacketPrint)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The card prints the cached thumbnail (a video its file type's icon), not the file.
    const QString path = ThumbList->Item(ThumbList->Selected())->Info.value(2);
    QImage picture;
    try {
        if (GetLowerExt(path) != QLatin1String("avi")) {
            if (prtJacketPrint->Pictures.Thumbnail)
                prtJacketPrint->Pictures.Thumbnail(path, picture);
        } else if (prtJacketPrint->Pictures.FileIcon) {
            prtJacketPrint->Pictures.FileIcon(path, picture);
        }
    } catch (const std::exception&) {
        picture = QImage();
    }
    if (picture.isNull()) {
        // Opening with no picture, or with the one of an earlier request, would print a card
        // the user did not choose.
        QApplication::restoreOverrideCursor();
        ShowMessage(QStringLiteral("The selected image cannot be read:\n") + path);
        return;
    }
    try {
        frmJacketPrint->SetImage(picture, CurrentFolder());
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        ShowMessage(QString::fromUtf8(e.what()));
        return;
    }
    QApplication::restoreOverrideCursor();
    frmJacketPrint->ShowModal();
}

void TfrmThumbnail::BtnInternetClick() {
    OpenUrl(QUrl(FreeSoftwarePage));
}

void TfrmThumbnail::MMCloseClick() {
    close();
}

void TfrmThumbnail::N3Click() {
    if (frmCache)
        frmCache->ShowModal();
}

void TfrmThumbnail::CDClick() {
    OpenUrl(QUrl(HomePage));
}

void TfrmThumbnail::Orvane1Click() {
    OpenUrl(QUrl(PhotoGalleryPage));
}

void TfrmThumbnail::Orvane2Click() {
    OpenUrl(QUrl(ClipArtPage));
}

void TfrmThumbnail::ReadMe1Click() {
    QString path = AppDir + QStringLiteral("ReadMe.txt");
    if (!QFileInfo::exists(path) && !InstalledDataDir().isEmpty())
        path = InstalledDataDir() + QStringLiteral("ReadMe.txt");
    if (!QFileInfo::exists(path))
        path = QStringLiteral(VELMORA_DATA_DIR "/ReadMe.txt");
    if (!QFileInfo::exists(path)) {
        ShowMessage(QStringLiteral("ReadMe file not found."));
        return;
    }
    OpenUrl(QUrl::fromLocalFile(path));
}

void TfrmThumbnail::About1Click() {
    if (frmVersion)
        frmVersion->ShowModal();
}

void TfrmThumbnail::MMBugClick() {
    QUrl url(QStringLiteral("mailto:") + SupportMail);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("Body"), QStringLiteral("Version: Version 1.1, English"));
    url.setQuery(query);
    OpenUrl(url);
}

void TfrmThumbnail::RefreshClick() {
    RefreshTreeNode();
}
