#pragma once
// "Print Back Card": the back card's settings window. It holds the selected photograph as
// turned so far and the number of quarter turns, which the Rotate button adds to and Reset
// takes back; the miniature shows the card with both spines and the right strip.
#include "i_PrintSettings.h"

#include <QImage>

class QLabel;
class TprtJacketPrint;

class TfrmJacketPrint : public TfrmPrintSettings {
    Q_OBJECT
public:
    explicit TfrmJacketPrint(TprtJacketPrint* layout, QWidget* owner = nullptr);

    TprtJacketPrint* Print() const { return FPrint; }

    // The main window's hand-off: copies the picture, turns it by the stored quarter turns,
    // keeps the folder, then portrait and ApplySettings.
    void SetImage(const QImage& picture, const QString& folderPath);
    void ApplySettings() override;
    // Shows the window modally (through the dialog seam), centred on its owner.
    int ShowModal() { return ShowModalCentred(QStringLiteral("back card")); }

    // "Rotate": one more quarter turn clockwise, four giving back the picture.
    void BtnTrimmingClick();
    // Turns the picture back, then the common Reset.
    void BtnResetClick() override;

    // The picture as currently turned.
    QImage SourcePicture;

    QLabel* JacketImage;
    QPushButton* BtnTrimming;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;

protected:
    QRect PreviewRegion() const override;

private:
    // The turned picture into the layout, portrait, then ApplySettings.
    void ShowTurnedPicture();
    TprtJacketPrint* FPrint;
};

// The one back card window, created hidden at start-up.
extern TfrmJacketPrint* frmJacketPrint;
