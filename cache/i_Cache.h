#pragma once
// "Cache settings": the size limit of the thumbnail cache (a slider in 25 MB steps up to
// 500 MB), its location (chosen in the location window) and "Clear cache". Clearing acts at
// once; the size and the location reach the thumbnail database and "Thumbnail.ini" only on
// Close. Created hidden once at start-up, shown modally from the main window's Settings
// menu; the controls keep their values between showings.
//
// The loader keeps running behind this modal window, and the database has no lock: before
// the window touches the database it asks OnStopLoading to stop the load and wait until
// the loader is idle. The user reloads afterwards.
#include <QDialog>
#include <cstdint>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TThumbnailDB;
class TfrmSelectCachePath;

class TfrmCache : public QDialog {
    Q_OBJECT
public:
    // One slider step is 25 MB; the slider runs from 0 to 20 (500 MB).
    static constexpr int32_t StepKB = 25 * 1024;
    static constexpr int MaxPosition = 20;

    // The controls start from the database's folder and limit; "..." opens selectPath,
    // whose OK fills this window.
    TfrmCache(QWidget* owner, TThumbnailDB* database, TfrmSelectCachePath* selectPath);

    // Shows the window modally (through the dialog seam) centred on its owner.
    int ShowModal();

    QLabel* Label1;
    QSlider* TrackBar;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* EdCachePath;
    QPushButton* BtnSelectPath;
    QPushButton* BtnClear;
    QPushButton* BtnClose;
    QPushButton* BtnBest;

    // Stops a running load and returns once the loader is idle (window thread). Unset, the
    // window assumes no loader.
    std::function<void()> OnStopLoading;

    // The location and the slider from the database.
    void FormCreate();
    // "...": the location window, modally.
    void BtnSelectPathClick();
    // Clears the cache at once (after stopping the load); an error is shown, not raised.
    void BtnClearClick();
    // The slider to the optimal size for the folder shown.
    void BtnBestClick();
    // A read-only or missing folder is refused (old location back, optimal size applied);
    // a read-only settings file closes without applying; else moves and resizes the cache,
    // writes "Directory" and "Size" and closes.
    void BtnCloseClick();

    // The slider position showing a limit: whole 25 MB steps, so a limit between two steps
    // shows the step below.
    static int PositionOfSizeKB(int32_t sizeKB);
    // The limit in KB the slider stands for.
    int32_t SizeKB() const;
    // Sets the slider to the optimal size for a cache folder: the default size of its file
    // system, in whole steps.
    void SetOptimalSize(const QString& path);

    // True when the folder cannot take the cache: it is missing, not a folder, or not
    // writable (for this process, or for anyone).
    static bool FolderReadOnly(const QString& dir);
    // True when the settings file must not be written.
    static bool SettingsReadOnly();

private:
    TThumbnailDB* FDatabase;
    TfrmSelectCachePath* FSelectPath;

    void StopLoading();
    void ShowError(const QString& text);
};

// The one cache settings window, created hidden at start-up.
extern TfrmCache* frmCache;
