#pragma once
// "Print Index Card": the index card's settings window with its miniature of the two cards.
#include "i_PrintSettings.h"

class QLabel;
class TprtThumbnailPrint;

class TfrmPrintThumbnail : public TfrmPrintSettings {
    Q_OBJECT
public:
    explicit TfrmPrintThumbnail(TprtThumbnailPrint* layout, QWidget* owner = nullptr);

    TprtThumbnailPrint* Print() const { return FPrint; }

    // Landscape, paper check, the folder, then ApplySettings (the main window's hand-off).
    void SetFolder(const QString& path);
    void ApplySettings() override;
    // Shows the window modally (through the dialog seam), centred on its owner.
    int ShowModal() { return ShowModalCentred(QStringLiteral("index card")); }

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;

protected:
    QRect PreviewRegion() const override;

private:
    TprtThumbnailPrint* FPrint;
};

// The one index card window, created hidden at start-up.
extern TfrmPrintThumbnail* frmPrintThumbnail;
