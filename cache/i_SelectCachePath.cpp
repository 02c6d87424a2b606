#include "i_SelectCachePath.h"

#include "Common/c_Config.h"
#include "app/c_Message.h"
#include "cache/CThumbnailDB.h"
#include "cache/i_Cache.h"
#include "platform/PDialogSeam.h"
#include "services/CException.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

TfrmSelectCachePath* frmSelectCachePath = nullptr;

std::function<QList<PVolume>()> TfrmSelectCachePath::ListVolumes;
std::function<bool(const QString&)> TfrmSelectCachePath::VolumeReadable;

namespace {

const QString Caption = QStringLiteral("Velmora");

QList<PVolume> Volumes() {
    return TfrmSelectCachePath::ListVolumes ? TfrmSelectCachePath::ListVolumes()
                                            : PMountedVolumes();
}

bool Readable(const QString& mountPoint) {
    return TfrmSelectCachePath::VolumeReadable ? TfrmSelectCachePath::VolumeReadable(mountPoint)
                                               : PVolumeReadable(mountPoint);
}

QPushButton* NewButton(const QString& name, const QString& caption, const QRect& r,
                       QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(r);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QString TfrmSelectCachePath::DriveOf(const QString& path) {
    // On Linux the "drive letter" of a path is the mount point holding it; only an absolute
    // path has one.
    if (!QDir::isAbsolutePath(path))
        throw Exception(QStringLiteral("無効なドライブ"));
    if (ListVolumes) {
        // With a replaced drive list, the drive is the longest listed mount point above it.
        QString best;
        const QString clean = QDir::cleanPath(path);
        for (const PVolume& v : ListVolumes()) {
            const QString m = QDir::cleanPath(v.MountPoint);
            const bool under = clean == m || clean.startsWith(m.endsWith('/') ? m : m + '/');
            if (under && m.size() > best.size())
                best = m;
        }
        if (!best.isEmpty())
            return best;
    }
    return PVolumeOf(path);
}

TfrmSelectCachePath::TfrmSelectCachePath(QWidget* owner, TThumbnailDB* database)
    : QDialog(owner), FDatabase(database) {
    setObjectName(QStringLiteral("frmSelectCachePath"));
    // A fixed border with only the system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Cache location selection"));
    setFixedSize(300, 343);
    QFont f(QString::fromUtf8("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);

    Label1 = new QLabel(QStringLiteral("Select a folder:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(4, 8);
    Label1->adjustSize();

    DriveComboBox = new QComboBox(this);
    DriveComboBox->setObjectName(QStringLiteral("DriveComboBox"));
    DriveComboBox->setGeometry(4, 28, 289, 20);

    DirectoryModel = new QFileSystemModel(this);
    DirectoryModel->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    DirectoryModel->setReadOnly(true);
    DirectoryListBox = new QTreeView(this);
    DirectoryListBox->setObjectName(QStringLiteral("DirectoryListBox"));
    DirectoryListBox->setGeometry(4, 52, 289, 241);
    DirectoryListBox->setModel(DirectoryModel);
    DirectoryListBox->setHeaderHidden(true);
    for (int c = 1; c < DirectoryModel->columnCount(); ++c)
        DirectoryListBox->hideColumn(c);
    DirectoryListBox->setUniformRowHeights(true);
    DirectoryListBox->setIconSize(QSize(16, 16));
    DirectoryListBox->setSelectionMode(QAbstractItemView::SingleSelection);

    BtnOK = NewButton(QStringLiteral("BtnOK"), QStringLiteral("OK"), {12, 304, 73, 29}, this);
    BtnCancel =
        NewButton(QStringLiteral("BtnCancel"), QStringLiteral("Cancel"), {112, 304, 73, 29}, this);
    BtnStart =
        NewButton(QStringLiteral("BtnStart"), QStringLiteral("Reset"), {208, 304, 77, 29}, this);

    connect(DriveComboBox, &QComboBox::activated, this, &TfrmSelectCachePath::DriveComboBoxChange);
    connect(DirectoryListBox->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmSelectCachePath::DirectoryListBoxChange);
    // The model reads folders in the background: the folder's row is shown once its
    // parent has been read.
    connect(DirectoryModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& dir) {
        // Only a folder above it: opening the chosen folder itself must not scroll back.
        const QString above = QDir::cleanPath(dir);
        if (FDirectory.startsWith(above.endsWith('/') ? above : above + '/'))
            FollowDirectory();
    });
    connect(BtnOK, &QPushButton::clicked, this, &TfrmSelectCachePath::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TfrmSelectCachePath::BtnCancelClick);
    connect(BtnStart, &QPushButton::clicked, this, &TfrmSelectCachePath::BtnStartClick);

    FormCreate();
}

void TfrmSelectCachePath::FormCreate() {
    const QString dir = FDatabase ? FDatabase->GetCacheDirectory() : QString();
    SetDirectory(dir.isEmpty() ? TempDir : QFileInfo(dir).absoluteFilePath());
}

QString TfrmSelectCachePath::Drive() const {
    return DriveComboBox->currentData().toString();
}

void TfrmSelectCachePath::FillDrives() {
    const QSignalBlocker block(DriveComboBox);
    DriveComboBox->clear();
    bool listed = false;
    for (const PVolume& v : Volumes()) {
        const QString text =
            v.Label.isEmpty() ? v.MountPoint : v.MountPoint + QStringLiteral("  [") + v.Label + ']';
        DriveComboBox->addItem(text, v.MountPoint);
        listed = listed || v.MountPoint == FDirectoryDrive;
    }
    // The folder's own drive is always on offer, even when the list leaves it out.
    if (!listed && !FDirectoryDrive.isEmpty())
        DriveComboBox->addItem(FDirectoryDrive, FDirectoryDrive);
    SelectDriveItem(FDirectoryDrive);
}

void TfrmSelectCachePath::SelectDriveItem(const QString& drive) {
    const QSignalBlocker block(DriveComboBox);
    const int i = DriveComboBox->findData(drive);
    if (i >= 0)
        DriveComboBox->setCurrentIndex(i);
}

void TfrmSelectCachePath::SetDirectory(const QString& dir) {
    QString drive;
    try {
        drive = DriveOf(dir);
    } catch (const Exception&) {
        return; // a relative name has no place in the list
    }
    FDirectory = QDir::cleanPath(dir);
    FDirectoryDrive = drive;
    DirectoryModel->setRootPath(drive);
    DirectoryListBox->setRootIndex(DirectoryModel->index(drive));
    FollowDirectory();
    FillDrives();
}

void TfrmSelectCachePath::FollowDirectory() {
    const QSignalBlocker block(DirectoryListBox->selectionModel());
    const QModelIndex current = DirectoryModel->index(FDirectory);
    if (!current.isValid() || FDirectory == QDir::cleanPath(FDirectoryDrive)) {
        DirectoryListBox->setCurrentIndex({});
        return;
    }
    for (QModelIndex p = current.parent(); p.isValid(); p = p.parent())
        DirectoryListBox->expand(p);
    DirectoryListBox->setCurrentIndex(current);
    DirectoryListBox->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void TfrmSelectCachePath::ShowDrive(const QString& drive) {
    // The folder list stays where it is while its drive is still chosen.
    if (drive.isEmpty() || drive == FDirectoryDrive)
        return;
    SetDirectory(drive);
}

void TfrmSelectCachePath::DriveComboBoxChange() {
    const QString drive = Drive();
    if (!Readable(drive)) {
        MsgManage.ShowMsg(QStringLiteral("Insert a disk into drive ") + drive, Caption,
                          {TMsgButton::OK});
        SelectDriveItem(FDirectoryDrive);
    }
    ShowDrive(Drive());
}

void TfrmSelectCachePath::DirectoryListBoxChange() {
    const QModelIndex current = DirectoryListBox->currentIndex();
    if (current.isValid())
        FDirectory = DirectoryModel->filePath(current);
}

void TfrmSelectCachePath::BtnOKClick() {
    if (CacheForm) {
        CacheForm->EdCachePath->setText(FDirectory);
        CacheForm->SetOptimalSize(FDirectory);
    }
    accept();
}

void TfrmSelectCachePath::BtnCancelClick() {
    reject();
}

void TfrmSelectCachePath::BtnStartClick() {
    // The default folder, made again (one level, as at start-up) if it went missing.
    if (!QFileInfo(TempDir).isDir())
        QDir().mkdir(TempDir);
    SetDirectory(TempDir);
}

int TfrmSelectCachePath::ShowModal() {
    FillDrives();
    FollowDirectory();
    DirectoryListBox->setFocus();
    return ExecDialogCentred(*this, QStringLiteral("cachepath"));
}
