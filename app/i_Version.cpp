#include "i_Version.h"

#include "platform/PDialogSeam.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStringList>

TfrmVersion* frmVersion = nullptr;

namespace {

QFont BoldFont(int pixels) {
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

} // namespace

QString VersionCaption() {
    const QStringList parts = QString(VELMORA_VERSION).split('.');
    return "Ver." + parts.value(0, "1") + "." + parts.value(1, "0");
}

QPixmap VersionPicture() {
    QPixmap pm(293, 233);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont body;
    body.setPixelSize(11);
    QFont head = body;
    head.setBold(true);
    const QColor ink(40, 40, 48);
    struct TBlock {
        const QFont& Font;
        QString Text;
    };
    const TBlock blocks[] = {
        {head, "Free software"},
        {body, "Velmora is free of charge. You may use it, copy it and pass it on to others, "
               "as long as it is passed on whole and unchanged and nothing is charged for it."},
        {head, "Contact"},
        {body, "The Velmora project\nhttps://velmora.example/\nsupport@velmora.example"},
        {head, "Disclaimer"},
        {body, "Velmora is provided as it is, without warranty of any kind. The authors are not "
               "liable for any loss or damage arising from its use, including lost files, paper "
               "or ink."},
        {body, "Product names mentioned here are trademarks or registered trademarks of their "
               "owners."},
    };
    int y = 0;
    for (const TBlock& b : blocks) {
        p.setFont(b.Font);
        p.setPen(ink);
        const QRect r(0, y, pm.width(), pm.height() - y);
        QRect used;
        p.drawText(r, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, b.Text, &used);
        y += used.height() + (&b.Font == &head ? 1 : 6);
    }
    return pm;
}

TfrmVersion::TfrmVersion(QWidget* owner) : QDialog(owner) {
    setObjectName("frmVersion");
    // A dialog border with the system menu only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle("Version information");
    setFixedSize(324, 318);

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 324, 76);

    Label1 = new QLabel("Velmora", Panel1);
    Label1->setObjectName("Label1");
    Label1->setFont(BoldFont(17));
    Label1->move(12, 12);
    Label1->adjustSize();

    Label2 = new QLabel("Photo CD inserts", Panel1);
    Label2->setObjectName("Label2");
    Label2->setFont(BoldFont(17));
    Label2->move(52, 38);
    Label2->adjustSize();

    lblVersion = new QLabel(VersionCaption(), Panel1);
    lblVersion->setObjectName("lblVersion");
    lblVersion->setFont(BoldFont(17));
    lblVersion->move(229, 38);
    lblVersion->adjustSize();

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setLineWidth(1);
    Bevel1->setGeometry(4, 76, 316, 2);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    Image1->setGeometry(16, 82, 293, 233);
    Image1->setPixmap(VersionPicture());
}

int TfrmVersion::ShowModal() {
    return ExecDialogCentred(*this, QStringLiteral("version"));
}
