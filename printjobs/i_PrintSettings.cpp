#include "i_PrintSettings.h"

#include "Common/c_Config.h"
#include "Common/c_Fit.h"
#include "Common/c_Other.h"
#include "app/c_Message.h"
#include "i_JobHost.h"
#include "p_PrintBase.h"
#include "platform/PDialogSeam.h"
#include "services/CIniFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

const int TfrmPrintSettings::FileFontSizes[18] = {3,  4,  5,  6,  7,  8,  9,  10, 11,
                                                  12, 14, 16, 18, 20, 22, 24, 26, 28};

namespace {
const QString OutOfRangeText =
    QStringLiteral("Input value is out of range. (Valid range is 3 to 28).");

// Keeps the hourglass for the life of the object.
struct TBusy {
    TBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusy() { QApplication::restoreOverrideCursor(); }
};
} // namespace

TfrmPrintSettings::TfrmPrintSettings(const TPrintSection& section, TprtPrintBase* layout,
                                     QWidget* owner)
    : QDialog(owner), FSection(section), FLayout(layout) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    // The font dialog's design-time font gives the title font's defaults.
    DefaultFontName = QStringLiteral("ＭＳ Ｐゴシック");
    DefaultCharset = 128;
    TitleFont.Name = DefaultFontName;
    TitleFont.Charset = DefaultCharset;

    Panel = new QFrame(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ThumbnailImage = new QLabel(Panel);
    ThumbnailImage->setObjectName(QStringLiteral("ThumbnailImage"));
    ThumbnailImage->setScaledContents(true);
    GroupBox1 = new QGroupBox(QStringLiteral(" Layout settings "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    CbLayout = new QComboBox(GroupBox1);
    CbLayout->setObjectName(QStringLiteral("CbLayout"));
    EdSelectColor = new QLineEdit(GroupBox1);
    EdSelectColor->setObjectName(QStringLiteral("EdSelectColor"));
    EdSelectColor->setReadOnly(true);
    EdSelectColor->setEnabled(false);
    BtnSelectColor = new QPushButton(QStringLiteral("Select"), GroupBox1);
    BtnSelectColor->setObjectName(QStringLiteral("BtnSelectColor"));
    EdTitle = new QPlainTextEdit(GroupBox1);
    EdTitle->setObjectName(QStringLiteral("EdTitle"));
    EdTitle->installEventFilter(this); // Enter adds no line
    BtnEnter = new QPushButton(QStringLiteral("Enter"), GroupBox1);
    BtnEnter->setObjectName(QStringLiteral("BtnEnter"));
    BtnFont = new QPushButton(QStringLiteral("Font"), GroupBox1);
    BtnFont->setObjectName(QStringLiteral("BtnFont"));
    BtnSaveSetting = new QPushButton(QStringLiteral("Save"), GroupBox1);
    BtnSaveSetting->setObjectName(QStringLiteral("BtnSaveSetting"));
    BtnReset = new QPushButton(QStringLiteral("Reset"), GroupBox1);
    BtnReset->setObjectName(QStringLiteral("BtnReset"));
    BtnPrint = new QPushButton(QStringLiteral("Print"), this);
    BtnPrint->setObjectName(QStringLiteral("BtnPrint"));
    BtnPreview = new QPushButton(QStringLiteral("Preview"), this);
    BtnPreview->setObjectName(QStringLiteral("BtnPreview"));
    BtnClose = new QPushButton(QStringLiteral("Close"), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
    SetLabelColor(FLabelColor);

    connect(BtnSaveSetting, &QPushButton::clicked, this, &TfrmPrintSettings::BtnSaveSettingClick);
    connect(BtnReset, &QPushButton::clicked, this, &TfrmPrintSettings::BtnResetClick);
    connect(BtnSelectColor, &QPushButton::clicked, this, &TfrmPrintSettings::BtnSelectColorClick);
    connect(BtnFont, &QPushButton::clicked, this, &TfrmPrintSettings::BtnFontClick);
    connect(BtnEnter, &QPushButton::clicked, this, &TfrmPrintSettings::BtnEnterClick);
    connect(BtnPreview, &QPushButton::clicked, this, &TfrmPrintSettings::BtnPreviewClick);
    connect(BtnPrint, &QPushButton::clicked, this, &TfrmPrintSettings::BtnPrintClick);
    connect(BtnClose, &QPushButton::clicked, this, &TfrmPrintSettings::BtnCloseClick);
    connect(CbLayout, &QComboBox::activated, this, [this] { ApplySettings(); });

    if (FLayout) {
        FLayout->Host = &WindowJobHost();
        FLayout->OnApplySettings = [this] { ApplySettings(); };
    }
}

void TfrmPrintSettings::CreateFileNameControls() {
    if (FSection.HasFNShow) {
        CbFNCheck = new QCheckBox(QStringLiteral("File name"), GroupBox1);
        CbFNCheck->setObjectName(QStringLiteral("CbFNCheck"));
        CbFNCheck->setChecked(true);
        connect(CbFNCheck, &QCheckBox::clicked, this, [this] { ApplySettings(); });
    }
    if (FSection.HasDateShow) {
        CbDateCheck = new QCheckBox(QStringLiteral("Date"), GroupBox1);
        CbDateCheck->setObjectName(QStringLiteral("CbDateCheck"));
        CbDateCheck->setChecked(true);
        connect(CbDateCheck, &QCheckBox::clicked, this, [this] { ApplySettings(); });
    }
    if (!FSection.FileFontSize.isEmpty()) {
        CbFNSize = new QComboBox(GroupBox1);
        CbFNSize->setObjectName(QStringLiteral("CbFNSize"));
        CbFNSize->setEditable(true);
        CbFNSize->setInsertPolicy(QComboBox::NoInsert);
        for (int size : FileFontSizes)
            CbFNSize->addItem(QLatin1Char(' ') + QString::number(size));
        CbFNSize->setEditText(FSection.FileFontSize);
        AppliedFileFontSize = FSection.FileFontSize.toInt();
        CbFNSize->lineEdit()->installEventFilter(this);
        connect(CbFNSize, &QComboBox::activated, this, &TfrmPrintSettings::CbFNSizeClick);
    }
}

void TfrmPrintSettings::SetLabelColor(TColor color) {
    FLabelColor = color & 0xFFFFFF;
    const QColor c = ColorToQt(FLabelColor);
    EdSelectColor->setStyleSheet(
        QStringLiteral("QLineEdit { background-color: %1; }").arg(c.name()));
}

TPrintSettings TfrmPrintSettings::ControlsToSettings() const {
    TPrintSettings s;
    s.Layout = CbLayout->currentIndex();
    s.BackColor = FLabelColor;
    s.Title = EdTitle->toPlainText();
    s.Font = TitleFont;
    if (CbFNSize)
        s.FileFontSize = CbFNSize->currentText();
    if (CbFNCheck)
        s.FNShow = CbFNCheck->isChecked();
    if (CbDateCheck)
        s.DateShow = CbDateCheck->isChecked();
    s.RotateCount = RotateCount;
    return s;
}

void TfrmPrintSettings::SettingsToControls(const TPrintSettings& s) {
    // A stored layout outside the box's items selects the section's item for it, else the default.
    const int outside = FSection.OutsideLayout >= 0 ? FSection.OutsideLayout : FSection.Layout;
    CbLayout->setCurrentIndex(s.Layout >= 0 && s.Layout < CbLayout->count() ? s.Layout : outside);
    SetLabelColor(s.BackColor);
    EdTitle->setPlainText(s.Title);
    TitleFont = s.Font;
    if (CbFNSize)
        CbFNSize->setEditText(QLatin1Char(' ') + s.FileFontSize);
    if (CbFNCheck)
        CbFNCheck->setChecked(s.FNShow);
    if (CbDateCheck)
        CbDateCheck->setChecked(s.DateShow);
    RotateCount = s.RotateCount;
}

void TfrmPrintSettings::LoadSettings() {
    TPrintSettings s = DefaultPrintSettings(FSection, DefaultFontName, DefaultCharset);
    if (IniFile)
        s = ReadPrintSettings(*IniFile, FSection, DefaultFontName, DefaultCharset);
    SettingsToControls(s);
    ApplySettings();
}

void TfrmPrintSettings::SaveSettings() {
    if (!IniFile || PrintSettingsReadOnly(IniFile))
        return;
    try {
        WritePrintSettings(*IniFile, FSection, ControlsToSettings());
    } catch (const std::exception& e) {
        // The file may have become unwritable since the check.
        ShowJobError(e);
    }
}

void TfrmPrintSettings::ApplyDefaults() {
    TPrintSettings s = DefaultPrintSettings(FSection, DefaultFontName, DefaultCharset);
    s.Font.Color = TitleFont.Color;
    SettingsToControls(s);
    ApplySettings();
}

int TfrmPrintSettings::FileFontSizeValue() const {
    if (!CbFNSize)
        return AppliedFileFontSize;
    const int v = StrToIntInRange(CbFNSize->currentText());
    return v != 0 ? v : AppliedFileFontSize;
}

void TfrmPrintSettings::RefreshPreview() {
    ThumbnailImage->clear();
    if (!FLayout)
        return;
    QImage page;
    try {
        FLayout->CurrentPage = 1;
        page = FLayout->RenderBitmap(1, PreviewFill);
    } catch (const std::exception&) {
        return; // the miniature stays empty; printing reports the error
    }
    const QRect region = PreviewRegion().intersected(page.rect());
    ThumbnailImage->setPixmap(QPixmap::fromImage(page.copy(region)));
    FitImageControl(ThumbnailImage, QRect(10, 10, Panel->width() - 20, Panel->height() - 20));
}

void TfrmPrintSettings::BtnSaveSettingClick() {
    SaveSettings();
}

void TfrmPrintSettings::BtnResetClick() {
    TBusy busy;
    if (!IniFile || PrintSettingsReadOnly(IniFile)) {
        ApplyDefaults();
        return;
    }
    try {
        IniFile->EraseSection(FSection.Name);
    } catch (const std::exception& e) {
        ShowJobError(e);
        ApplyDefaults();
        return;
    }
    LoadSettings();
}

void TfrmPrintSettings::BtnSelectColorClick() {
    QColorDialog dialog(ColorToQt(FLabelColor), this);
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (ExecDialog(dialog, QStringLiteral("color")) != QDialog::Accepted)
        return;
    SetLabelColor(ColorFromQt(dialog.currentColor()));
    ApplySettings();
}

void TfrmPrintSettings::BtnFontClick() {
    QFontDialog dialog(FontToQt(TitleFont), this);
    dialog.setObjectName(QStringLiteral("FontDialog"));
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (ExecDialog(dialog, QStringLiteral("font")) != QDialog::Accepted)
        return;
    TitleFont = FontFromQt(dialog.currentFont(), TitleFont);
    ApplySettings();
}

void TfrmPrintSettings::BtnEnterClick() {
    ApplySettings();
}

void TfrmPrintSettings::BtnPreviewClick() {
    if (FLayout)
        RunJobStep([this] { FLayout->ShowPreview(); });
    ApplySettings();
}

void TfrmPrintSettings::BtnPrintClick() {
    if (FLayout)
        RunJobStep([this] { FLayout->Print(false); });
}

void TfrmPrintSettings::BtnCloseClick() {
    close();
}

void TfrmPrintSettings::RevertFileFontSize() {
    CbFNSize->setEditText(QLatin1Char(' ') + QString::number(AppliedFileFontSize));
}

void TfrmPrintSettings::CbFNSizeKeyPress(int key) {
    if (!CbFNSize || (key != Qt::Key_Return && key != Qt::Key_Enter))
        return;
    if (StrToIntInRange(CbFNSize->currentText()) == 0) {
        MsgManage.ShowMsg(OutOfRangeText, QStringLiteral("Velmora"), {TMsgButton::OK});
        RevertFileFontSize();
        return;
    }
    ApplySettings();
}

void TfrmPrintSettings::CbFNSizeClick() {
    if (!CbFNSize)
        return;
    if (StrToIntInRange(CbFNSize->currentText()) == 0)
        RevertFileFontSize();
    ApplySettings();
}

void TfrmPrintSettings::CbFNSizeExit() {
    CbFNSizeClick();
}

bool TfrmPrintSettings::eventFilter(QObject* watched, QEvent* event) {
    if (CbFNSize && watched == CbFNSize->lineEdit()) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                CbFNSizeKeyPress(key);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // A popup of the box itself or a message box is not leaving the box.
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                CbFNSizeExit();
        }
    }
    if (watched == EdTitle && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

int TfrmPrintSettings::ShowModalCentred(const QString& kind) {
    return ExecDialogCentred(*this, kind);
}

TLRFont TfrmPrintSettings::GuiFont() {
    const QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    return TLRFont::Points(f.family(), f.pointSize() > 0 ? f.pointSize() : 9);
}

QLabel* TfrmPrintSettings::AddLabel(const QString& text, int x, int y) {
    auto* l = new QLabel(text, GroupBox1);
    l->move(x, y);
    l->adjustSize();
    return l;
}
