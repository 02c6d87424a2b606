#include "i_ContactSheetPrint.h"

#include "p_ContactSheetPrint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

TfrmContactSheetPrint* frmContactSheetPrint = nullptr;

TfrmContactSheetPrint::TfrmContactSheetPrint(TprtContactSheetPrint* layout, QWidget* owner)
    : TfrmPrintSettings(ContactSheetSection(), layout, owner), FPrint(layout) {
    setObjectName(QStringLiteral("frmContactSheetPrint"));
    setWindowTitle(QStringLiteral("Print Contact Sheet "));
    setFixedSize(750, 502);
    CreateFileNameControls();

    Panel->setGeometry(8, 8, 525, 437);
    GroupBox1->setGeometry(541, 4, 201, 441);
    Label1 = AddLabel(QStringLiteral("Select layout:"), 12, 24);
    CbLayout->setGeometry(12, 42, 177, 22);
    CbFNCheck->setGeometry(12, 74, 90, 20);
    CbDateCheck->setGeometry(104, 74, 80, 20);
    AddLabel(QStringLiteral("Font size"), 12, 104);
    CbFNSize->setGeometry(80, 100, 60, 22);
    Label2 = AddLabel(QStringLiteral("Label color:"), 12, 140);
    EdSelectColor->setGeometry(12, 158, 108, 22);
    BtnSelectColor->setGeometry(128, 157, 61, 24);
    Label3 = AddLabel(QStringLiteral("Title:"), 12, 194);
    EdTitle->setGeometry(12, 212, 177, 96);
    BtnEnter->setGeometry(12, 314, 85, 24);
    BtnFont->setGeometry(104, 314, 85, 24);
    Label4 = AddLabel(QStringLiteral("Save Layout Settings:"), 12, 356);
    BtnSaveSetting->setGeometry(12, 374, 85, 24);
    BtnReset->setGeometry(104, 374, 85, 24);
    BtnPrint->setGeometry(438, 462, 96, 30);
    BtnPreview->setGeometry(542, 462, 96, 30);
    BtnClose->setGeometry(646, 462, 96, 30);

    for (const auto& size : TprtContactSheetPrint::GridSizes)
        CbLayout->addItem(QStringLiteral(" %1 x %2").arg(size[0]).arg(size[1]));
    CbLayout->setCurrentIndex(11);
    CbFNSize->setEditText(QStringLiteral("7"));
    LoadSettings();
    FPrint->ContactSheetPath->SetFont(GuiFont());
}

void TfrmContactSheetPrint::SetFolder(const QString& path) {
    if (TPrinter* printer = FPrint->Printer())
        printer->SetOrientation(TPrinterOrientationKind::Portrait);
    FPrint->SyncWithPrinter();
    FolderPath = path;
    ApplySettings();
}

void TfrmContactSheetPrint::ApplySettings() {
    FPrint->SetGridItem(CbLayout->currentIndex());
    FPrint->SetLabelColor(LabelColor());
    FPrint->SetTitle(EdTitle->toPlainText(), FontToLR(TitleFont));
    AppliedFileFontSize = FileFontSizeValue();
    const TLRFont pathFont =
        FPrint->ContactSheetPath->ParentFont() ? GuiFont() : FPrint->ContactSheetPath->Font();
    FPrint->SetPath(FolderPath, pathFont, AppliedFileFontSize);
    FPrint->ShowFileName = CbFNCheck->isChecked();
    FPrint->ShowDate = CbDateCheck->isChecked();
    FPrint->CurrentPage = 1;
    RefreshPreview();
}

QRect TfrmContactSheetPrint::PreviewRegion() const {
    const TLightRep* rep = FPrint->LightRep();
    return QRect(0, 0, rep->Width(), rep->Height());
}
