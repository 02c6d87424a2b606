#include "i_PrintThumbnail.h"

#include "p_ThumbnailPrint.h"
#include "platform/PDialogSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

TfrmPrintThumbnail* frmPrintThumbnail = nullptr;

TfrmPrintThumbnail::TfrmPrintThumbnail(TprtThumbnailPrint* layout, QWidget* owner)
    : TfrmPrintSettings(IndexCardSection(), layout, owner), FPrint(layout) {
    setObjectName(QStringLiteral("frmPrintThumbnail"));
    setWindowTitle(QStringLiteral("Print Index Card"));
    setFixedSize(792, 502);
    CreateFileNameControls();

    Panel->setGeometry(8, 8, 565, 437);
    GroupBox1->setGeometry(581, 4, 203, 441);
    Label1 = AddLabel(QStringLiteral("Select layout:"), 12, 24);
    CbLayout->setGeometry(12, 42, 179, 22);
    CbFNCheck->setGeometry(12, 76, 100, 20);
    AddLabel(QStringLiteral("Font size"), 12, 104);
    CbFNSize->setGeometry(80, 100, 60, 22);
    Label2 = AddLabel(QStringLiteral("Label color:"), 12, 140);
    EdSelectColor->setGeometry(12, 158, 110, 22);
    BtnSelectColor->setGeometry(130, 157, 61, 24);
    Label3 = AddLabel(QStringLiteral("Title:"), 12, 194);
    EdTitle->setGeometry(12, 212, 179, 96);
    BtnEnter->setGeometry(12, 314, 86, 24);
    BtnFont->setGeometry(105, 314, 86, 24);
    Label4 = AddLabel(QStringLiteral("Save Layout Settings:"), 12, 356);
    BtnSaveSetting->setGeometry(12, 374, 86, 24);
    BtnReset->setGeometry(105, 374, 86, 24);
    Label5 = nullptr;
    BtnPrint->setGeometry(480, 462, 96, 30);
    BtnPreview->setGeometry(584, 462, 96, 30);
    BtnClose->setGeometry(688, 462, 96, 30);

    // The ten layouts: N columns by N rows.
    for (int n = 1; n <= 10; ++n)
        CbLayout->addItem(QStringLiteral(" %1 x %1").arg(n));
    CbLayout->setCurrentIndex(5);
    CbFNSize->setEditText(QStringLiteral("6"));
    LoadSettings();
    const TLRFont gui = GuiFont();
    FPrint->LThumbnailPath->SetFont(gui);
    FPrint->RThumbnailPath->SetFont(gui);
}

void TfrmPrintThumbnail::SetFolder(const QString& path) {
    if (TPrinter* printer = FPrint->Printer())
        printer->SetOrientation(TPrinterOrientationKind::Landscape);
    FPrint->SyncWithPrinter();
    FolderPath = path;
    ApplySettings();
}

void TfrmPrintThumbnail::ApplySettings() {
    FPrint->SetGridSize(CbLayout->currentIndex() >= 0 ? CbLayout->currentIndex() + 1 : 6);
    FPrint->SetLabelColor(LabelColor());
    FPrint->SetTitle(EdTitle->toPlainText(), FontToLR(TitleFont));
    AppliedFileFontSize = FileFontSizeValue();
    const TLRFont pathFont =
        FPrint->LThumbnailPath->ParentFont() ? GuiFont() : FPrint->LThumbnailPath->Font();
    FPrint->SetPath(FolderPath, pathFont, AppliedFileFontSize);
    FPrint->ShowFileName = CbFNCheck->isChecked();
    FPrint->CurrentPage = 1;
    FPrint->ImageBoxWidth = FPrint->ImageBoxHeight = 0;
    RefreshPreview();
}

QRect TfrmPrintThumbnail::PreviewRegion() const {
    return FPrint->PreviewRegion();
}
