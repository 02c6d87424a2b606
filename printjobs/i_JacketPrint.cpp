#include "i_JacketPrint.h"

#include "Common/c_Config.h"
#include "Common/c_Rotate.h"
#include "p_JacketPrint.h"
#include "platform/PDialogSeam.h"
#include "services/CIniFile.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

TfrmJacketPrint* frmJacketPrint = nullptr;

namespace {
constexpr uint32_t TurnFill = 0xFFFFFF;
} // namespace

TfrmJacketPrint::TfrmJacketPrint(TprtJacketPrint* layout, QWidget* owner)
    : TfrmPrintSettings(BackCardSection(), layout, owner), FPrint(layout) {
    setObjectName(QStringLiteral("frmJacketPrint"));
    setWindowTitle(QStringLiteral("Print Back Card"));
    setFixedSize(752, 502);
    JacketImage = ThumbnailImage;
    JacketImage->setObjectName(QStringLiteral("JacketImage"));
    // The card's miniature lies on the panel's own colour.
    PreviewFill = Panel->palette().color(QPalette::Window);

    Panel->setGeometry(8, 8, 525, 437);
    GroupBox1->setGeometry(541, 4, 203, 441);
    Label1 = AddLabel(QStringLiteral("Select layout:"), 12, 24);
    CbLayout->setGeometry(12, 42, 179, 22);
    Label5 = AddLabel(QStringLiteral("Rotate image:"), 12, 78);
    BtnTrimming = new QPushButton(QStringLiteral("Rotate"), GroupBox1);
    BtnTrimming->setObjectName(QStringLiteral("BtnTrimming"));
    BtnTrimming->setAutoDefault(false);
    BtnTrimming->setGeometry(12, 96, 86, 24);
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
    BtnPrint->setGeometry(440, 462, 96, 30);
    BtnPreview->setGeometry(544, 462, 96, 30);
    BtnClose->setGeometry(648, 462, 96, 30);
    connect(BtnTrimming, &QPushButton::clicked, this, &TfrmJacketPrint::BtnTrimmingClick);

    for (const char* item : {" Photo top", " Photo bottom", " Photo left", " Photo right"})
        CbLayout->addItem(QString::fromUtf8(item));
    CbLayout->setCurrentIndex(0);
    LoadSettings();
}

void TfrmJacketPrint::SetImage(const QImage& picture, const QString& folderPath) {
    SourcePicture = picture.copy();
    FPrint->SetPicture(SourcePicture);
    FolderPath = folderPath;
    // A hand-edited count may be anything: it counts in quarter turns clockwise, so -1 is
    // three of them and 5 is one.
    const int stored =
        IniFile ? IniFile->ReadInteger(Section().Name, QStringLiteral("RotateCount"), 0) : 0;
    RotateCount = ((stored % 4) + 4) % 4;
    for (int i = 0; i < RotateCount; ++i)
        RotateBitmap(SourcePicture, 3, TurnFill);
    ShowTurnedPicture();
}

void TfrmJacketPrint::ShowTurnedPicture() {
    FPrint->SetPicture(SourcePicture);
    if (TPrinter* printer = FPrint->Printer())
        printer->SetOrientation(TPrinterOrientationKind::Portrait);
    ApplySettings();
}

void TfrmJacketPrint::BtnTrimmingClick() {
    RotateCount = RotateCount + 1;
    if (RotateCount >= 4 || RotateCount < 0)
        RotateCount = 0;
    RotateBitmap(SourcePicture, 3, TurnFill);
    ShowTurnedPicture();
}

void TfrmJacketPrint::BtnResetClick() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int i = 0; i < RotateCount; ++i)
        RotateBitmap(SourcePicture, 1, TurnFill);
    if (RotateCount != 0)
        ShowTurnedPicture();
    RotateCount = 0;
    QApplication::restoreOverrideCursor();
    TfrmPrintSettings::BtnResetClick();
}

void TfrmJacketPrint::ApplySettings() {
    FPrint->SetLabelColor(LabelColor());
    FPrint->SetTitle(EdTitle->toPlainText(), FontToLR(TitleFont));
    FPrint->SetLayoutKind(TprtJacketPrint::KindOfItem(CbLayout->currentIndex()));
    FPrint->SyncWithPrinter();
    RefreshPreview();
}

QRect TfrmJacketPrint::PreviewRegion() const {
    return FPrint->PreviewRegion();
}
