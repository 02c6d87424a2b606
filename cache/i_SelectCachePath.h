#pragma once
// "Cache location selection": a folder chooser over the mounted file systems, opened from
// the cache settings window's "..." button. OK hands the chosen folder (and the optimal
// size for it) back to that window; nothing reaches the thumbnail database before the
// cache settings window's Close. Created hidden once at start-up; the controls keep their
// values between showings.
#include "platform/PVolumes.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;
class TThumbnailDB;
class TfrmCache;

class TfrmSelectCachePath : public QDialog {
    Q_OBJECT
public:
    // The folder list starts at the database's cache folder.
    TfrmSelectCachePath(QWidget* owner, TThumbnailDB* database);

    // Shows the window modally (through the dialog seam) centred on its owner, with the
    // drive list brought up to date.
    int ShowModal();

    QLabel* Label1;
    QComboBox* DriveComboBox;
    QTreeView* DirectoryListBox;
    QFileSystemModel* DirectoryModel;
    QPushButton* BtnOK;
    QPushButton* BtnCancel;
    QPushButton* BtnStart;

    // The cache settings window that OK fills in (set by that window).
    TfrmCache* CacheForm = nullptr;

    // The folder list at the database's cache folder, the drive list at its drive.
    void FormCreate();
    // A drive without a readable medium is refused with a message and the drive list goes
    // back; the folder list then follows the drive list.
    void DriveComboBoxChange();
    // Notes the folder chosen in the list.
    void DirectoryListBoxChange();
    // Hands the folder and its optimal size to the cache settings window and closes.
    void BtnOKClick();
    // Closes without handing anything back.
    void BtnCancelClick();
    // "Reset": the default cache folder "Temp" in the program folder, on its drive.
    void BtnStartClick();

    // The folder list's current folder.
    QString Directory() const { return FDirectory; }
    // The drive list's drive (a mount point).
    QString Drive() const;
    // Moves the folder list to the folder and the drive list to the folder's drive.
    void SetDirectory(const QString& dir);
    // Fills the drive list afresh, keeping the folder list's drive selected.
    void FillDrives();

    // The drive of a path: the mount point holding it. Raises Exception "無効なドライブ" for
    // a path that is not absolute.
    static QString DriveOf(const QString& path);

    // The drives on offer and the medium test; tests replace them (empty restores the
    // platform's).
    static std::function<QList<PVolume>()> ListVolumes;
    static std::function<bool(const QString& mountPoint)> VolumeReadable;

private:
    TThumbnailDB* FDatabase;
    QString FDirectory;      // the folder list's folder
    QString FDirectoryDrive; // and its drive

    void ShowDrive(const QString& drive);
    // Selects the folder's row in the folder list, expanded and in view.
    void FollowDirectory();
    void SelectDriveItem(const QString& drive);
};

// The one location window, created hidden at start-up.
extern TfrmSelectCachePath* frmSelectCachePath;
