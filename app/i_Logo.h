#pragma once
// The logo shown while the program loads: a borderless 421 × 130 window holding the 420 × 130
// banner. It destroys itself the first time it loses activation (when the main window comes
// up).
#include <QPixmap>
#include <QWidget>

class QLabel;
class QPainter;
class QRectF;

class TfrmLogo : public QWidget {
    Q_OBJECT
public:
    TfrmLogo();
    ~TfrmLogo() override;

    // Shows the window centred on the desktop and paints it before returning.
    void ShowNow();
    // Destroys the window after `ms` even if it never lost activation (a window system that
    // never activated it).
    void ReleaseAfter(int ms);

    QLabel* Image1;

protected:
    void changeEvent(QEvent* event) override;

private:
    bool FWasActive = false;
};

// The logo window while it exists (null once it has released itself).
TfrmLogo* LogoWindow();

// The 420 × 130 banner: blue background, the mascot with its CD and camera, the name, the
// printer family line and a printer.
QPixmap LogoPicture();
// The mascot, a round cartoon bird holding a CD and a camera, fitted into `box`.
void DrawMascot(QPainter& p, const QRectF& box);
// A small photo printer with a sheet coming out, fitted into `box`.
void DrawPrinter(QPainter& p, const QRectF& box);
