#pragma once
// "Print Contact Sheet ": the contact sheet's settings window, with its miniature of the
// whole first page.
#include "i_PrintSettings.h"

class QLabel;
class TprtContactSheetPrint;

class TfrmContactSheetPrint : public TfrmPrintSettings {
    Q_OBJECT
public:
    explicit TfrmContactSheetPrint(TprtContactSheetPrint* layout, QWidget* owner = nullptr);

    TprtContactSheetPrint* Print() const { return FPrint; }

    // Portrait, paper check, the folder, then ApplySettings (the main window's hand-off).
    void SetFolder(const QString& path);
    void ApplySettings() override;
    // Shows the window modally (through the dialog seam), centred on its owner.
    int ShowModal() { return ShowModalCentred(QStringLiteral("contact sheet")); }

    QLabel *Label1, *Label2, *Label3, *Label4;

protected:
    // The whole page.
    QRect PreviewRegion() const override;

private:
    TprtContactSheetPrint* FPrint;
};

// The one contact sheet window, created hidden at start-up.
extern TfrmContactSheetPrint* frmContactSheetPrint;
