#include "i_Gauge.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

TfrmGauge* frmGauge = nullptr;

TfrmGauge::TfrmGauge(QWidget* owner) : QDialog(owner) {
    setObjectName("frmGauge");
    // A single border and no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle("Preparing to print");
    setFixedSize(297, 94);

    Gauge = new QProgressBar(this);
    Gauge->setObjectName("Gauge");
    Gauge->setGeometry(8, 12, 281, 21);
    Gauge->setRange(0, 100);
    Gauge->setValue(0);
    Gauge->setTextVisible(false);
    QPalette pal = Gauge->palette();
    pal.setColor(QPalette::Highlight, QColor(0, 0, 128)); // navy
    Gauge->setPalette(pal);

    Label1 = new QLabel("Preparing to print", this);
    Label1->setObjectName("Label1");
    Label1->move(96, 40);
    Label1->adjustSize();

    Button1 = new QPushButton("Cancel", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(96, 64, 101, 25);
    connect(Button1, &QPushButton::clicked, this, &TfrmGauge::Button1Click);
}

void TfrmGauge::SetProgress(int percent) {
    Gauge->setValue(qBound(0, percent, 100));
    Gauge->repaint();
}

int TfrmGauge::Progress() const {
    return Gauge->value();
}

void TfrmGauge::Button1Click() {
    Cancelled = true;
}

void TfrmGauge::showEvent(QShowEvent* event) {
    Cancelled = false;
    // Centred on its owner, or on the screen when it has none.
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = owner ? owner->frameGeometry() : QRect();
    if (area.isEmpty() && screen())
        area = screen()->availableGeometry();
    if (!area.isEmpty())
        move(area.center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
}

void TfrmGauge::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Stay in front of the print window that started the job, but never take the focus
    // from a modal box that the job itself opened.
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) {
        QTimer::singleShot(0, this, [this] {
            const QWidget* modal = QApplication::activeModalWidget();
            if (isVisible() && !isActiveWindow() && (!modal || modal == this)) {
                raise();
                activateWindow();
                Button1->setFocus();
            }
        });
    }
}

void TfrmGauge::closeEvent(QCloseEvent* event) {
    // The window manager's close means "stop"; the page loop closes it with hide().
    if (event->spontaneous()) {
        Cancelled = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmGauge::keyPressEvent(QKeyEvent* event) {
    // Escape would hide the window without telling the page loop; it cancels instead.
    if (event->key() == Qt::Key_Escape) {
        Cancelled = true;
        return;
    }
    QDialog::keyPressEvent(event);
}
