#pragma once
// "Version information": the program's name, tagline and version over a picture with the
// licence note and disclaimer. Created hidden at start-up, shown modally from the Help menu.
#include <QDialog>

class QFrame;
class QLabel;
class QWidget;

class TfrmVersion : public QDialog {
    Q_OBJECT
public:
    explicit TfrmVersion(QWidget* owner = nullptr);

    // Shows the window modally (through the dialog seam) centred on its owner.
    int ShowModal();

    QWidget* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lblVersion;
    QFrame* Bevel1;
    QLabel* Image1;
};

// The text block of the version window's picture: licence note, address, disclaimer and
// trademarks, on a transparent 293 × 233 picture.
QPixmap VersionPicture();
// "Ver." followed by the major and minor numbers of the build version.
QString VersionCaption();

// The one version window, created hidden at start-up.
extern TfrmVersion* frmVersion;
