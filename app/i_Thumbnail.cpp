#include "i_Thumbnail.h"

#include "Common/c_Config.h"

#include <QGuiApplication>
#include <QScreen>

TfrmThumbnail* frmThumbnail = nullptr;

TfrmThumbnail::TfrmThumbnail(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmThumbnail");
    setWindowTitle("Velmora");
    // 873 × 550, but never larger than the desktop's work area.
    QSize size(873, 550);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    LoadConfiguration();
    frmThumbnail = this;
}

TfrmThumbnail::~TfrmThumbnail() {
    if (frmThumbnail == this)
        frmThumbnail = nullptr;
}
