#pragma once
// What the three print settings windows share: the stored section with Load, Save, Reset
// and the defaults; the read-only settings file; the label colour and title font dialogs;
// the file-name size box with its check; the live miniature of the page; and the Print,
// Preview and Close buttons. Each job's window derives from it, places the controls, adds
// its own and pushes the controls into its layout in ApplySettings.
#include "c_PrintSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TprtPrintBase;

class TfrmPrintSettings : public QDialog {
    Q_OBJECT
public:
    // The sizes the file-name size box offers.
    static const int FileFontSizes[18];

    TfrmPrintSettings(const TPrintSection& section, TprtPrintBase* layout, QWidget* owner);

    const TPrintSection& Section() const { return FSection; }
    TprtPrintBase* Layout() const { return FLayout; }

    // Title font defaults captured at creation.
    QString DefaultFontName;
    int DefaultCharset = 128;
    // The folder handed over by the main window.
    QString FolderPath;

    // The section into the controls, then ApplySettings.
    void LoadSettings();
    // The controls into the section, unless the settings file is read-only.
    void SaveSettings();
    // The table's defaults into the controls (the title font colour stays), then
    // ApplySettings.
    void ApplyDefaults();
    // The controls into the layout, then RefreshPreview.
    virtual void ApplySettings() = 0;
    // Page 1 at zoom 1, the job's region of it into the miniature, fitted into its panel.
    void RefreshPreview();

    // The controls' state as stored values, and back.
    TPrintSettings ControlsToSettings() const;
    void SettingsToControls(const TPrintSettings& s);

    // The size the layout's file-name captions have now (what a refused text reverts to).
    int AppliedFileFontSize = 6;
    // The point size the size box holds: its text when it is 3 to 28, else the applied size.
    int FileFontSizeValue() const;

    // Shows the window modally through the dialog seam (kind names it for tests), centred on
    // its owner window.
    int ShowModalCentred(const QString& kind);
    // The stock GUI font, which the folder path strips use.
    static TLRFont GuiFont();

    // Handlers
    void BtnSaveSettingClick();
    virtual void BtnResetClick();
    void BtnSelectColorClick();
    void BtnFontClick();
    void BtnEnterClick();
    void BtnPreviewClick();
    void BtnPrintClick();
    void BtnCloseClick();
    // The size box: Enter checks with a message, choosing an item or leaving silently.
    void CbFNSizeKeyPress(int key);
    void CbFNSizeClick();
    void CbFNSizeExit();

    // The controls every job has (a job's window places them).
    QFrame* Panel;
    QLabel* ThumbnailImage;
    QGroupBox* GroupBox1;
    QComboBox* CbLayout;
    QLineEdit* EdSelectColor;
    QPushButton* BtnSelectColor;
    QPlainTextEdit* EdTitle;
    QPushButton* BtnEnter;
    QPushButton* BtnFont;
    QPushButton* BtnSaveSetting;
    QPushButton* BtnReset;
    QPushButton* BtnPrint;
    QPushButton* BtnPreview;
    QPushButton* BtnClose;
    // Present where the job has the key (else null).
    QCheckBox* CbFNCheck = nullptr;
    QComboBox* CbFNSize = nullptr;
    QCheckBox* CbDateCheck = nullptr;

    // The label colour in the swatch and the colour dialog.
    TColor LabelColor() const { return FLabelColor; }
    void SetLabelColor(TColor color);
    // The title font of the font dialog.
    TTitleFont TitleFont;
    // The back card's quarter turns (stored as "RotateCount").
    int RotateCount = 0;

protected:
    // The region of the rendered page 1 that the miniature shows, in report units.
    virtual QRect PreviewRegion() const = 0;
    // The colour the miniature's page is rendered on.
    QColor PreviewFill = Qt::white;
    // A label in the settings group at (x, y), sized to its text.
    QLabel* AddLabel(const QString& text, int x, int y);
    // Makes the file-name size box and its check boxes (jobs that have them).
    void CreateFileNameControls();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RevertFileFontSize();
    TPrintSection FSection;
    TprtPrintBase* FLayout;
    TColor FLabelColor = TPrintSettings::DefaultLabelColor;
    bool FApplying = false;
};
