#include "i_Logo.h"

#include <QConicalGradient>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRadialGradient>
#include <QScreen>
#include <QTimer>

namespace {

QPointer<TfrmLogo>& Current() {
    static QPointer<TfrmLogo> logo;
    return logo;
}

// Draws in a 100 × 100 design space mapped onto the box.
struct TDesignSpace {
    QPainter& P;
    TDesignSpace(QPainter& p, const QRectF& box) : P(p) {
        P.save();
        P.setRenderHint(QPainter::Antialiasing);
        P.translate(box.topLeft());
        P.scale(box.width() / 100.0, box.height() / 100.0);
    }
    ~TDesignSpace() { P.restore(); }
};

void DrawCd(QPainter& p, const QPointF& c, qreal r) {
    QRadialGradient silver(c, r);
    silver.setColorAt(0.0, QColor(250, 250, 252));
    silver.setColorAt(0.7, QColor(205, 210, 220));
    silver.setColorAt(1.0, QColor(160, 168, 180));
    p.setPen(QPen(QColor(120, 128, 140), 0.8));
    p.setBrush(silver);
    p.drawEllipse(c, r, r);
    // The rainbow sheen of the data side.
    QConicalGradient sheen(c, 30);
    const QColor rainbow[] = {QColor(255, 80, 80, 90),  QColor(255, 220, 60, 90),
                              QColor(80, 220, 120, 90), QColor(70, 160, 255, 90),
                              QColor(200, 90, 255, 90), QColor(255, 80, 80, 90)};
    for (int i = 0; i < 6; ++i)
        sheen.setColorAt(i / 5.0, rainbow[i]);
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawEllipse(c, r * 0.92, r * 0.92);
    p.setBrush(QColor(235, 238, 242));
    p.setPen(QPen(QColor(150, 155, 165), 0.6));
    p.drawEllipse(c, r * 0.32, r * 0.32);
    p.setBrush(QColor(90, 100, 115));
    p.drawEllipse(c, r * 0.14, r * 0.14);
}

void DrawCamera(QPainter& p, const QRectF& body) {
    p.setPen(QPen(QColor(20, 20, 25), 0.8));
    p.setBrush(QColor(60, 62, 70));
    p.drawRoundedRect(
        QRectF(body.left() + body.width() * 0.3, body.top() - 4, body.width() * 0.35, 5), 1, 1);
    p.drawRoundedRect(body, 3, 3);
    const QPointF lens = body.center() + QPointF(1, 1);
    const qreal r = body.height() * 0.36;
    p.setBrush(QColor(35, 36, 40));
    p.drawEllipse(lens, r, r);
    QRadialGradient glass(lens - QPointF(r * 0.3, r * 0.3), r);
    glass.setColorAt(0, QColor(180, 215, 255));
    glass.setColorAt(1, QColor(30, 70, 140));
    p.setBrush(glass);
    p.drawEllipse(lens, r * 0.62, r * 0.62);
    p.setBrush(QColor(255, 255, 240));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(body.left() + 2.5, body.top() + 2.5, 5, 3.5)); // flash
    p.setBrush(QColor(230, 60, 50));
    p.drawEllipse(QPointF(body.right() - 4, body.top() + 4), 1.4, 1.4);
}

} // namespace

void DrawMascot(QPainter& painter, const QRectF& box) {
    TDesignSpace d(painter, box);
    QPainter& p = d.P;
    const QColor outline(170, 120, 20);
    const QColor feather(255, 210, 63);
    const QColor orange(255, 150, 30);

    // Feet.
    p.setPen(QPen(orange, 3, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {41.0, 59.0}) {
        p.drawLine(QPointF(x, 86), QPointF(x, 95));
        p.drawLine(QPointF(x, 95), QPointF(x - 4, 98));
        p.drawLine(QPointF(x, 95), QPointF(x + 4, 98));
    }
    // Crest.
    p.setPen(QPen(outline, 1));
    p.setBrush(orange);
    for (int i = -1; i <= 1; ++i) {
        QPainterPath tuft;
        tuft.moveTo(50 + i * 6, 26);
        tuft.quadTo(46 + i * 9, 12, 52 + i * 8, 10);
        tuft.quadTo(54 + i * 6, 18, 54 + i * 5, 26);
        tuft.closeSubpath();
        p.drawPath(tuft);
    }
    // Body with a light belly.
    QRadialGradient body(QPointF(44, 44), 40);
    body.setColorAt(0, feather.lighter(115));
    body.setColorAt(1, feather.darker(108));
    p.setPen(QPen(outline, 1.5));
    p.setBrush(body);
    p.drawEllipse(QPointF(50, 56), 31, 33);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 243, 196));
    p.drawEllipse(QPointF(51, 67), 18, 18);
    // Eyes, cheeks and beak.
    for (qreal x : {41.0, 60.0}) {
        p.setPen(QPen(QColor(60, 40, 10), 0.8));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(x, 44), 7, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(25, 25, 30));
        p.drawEllipse(QPointF(x + 2, 46), 3.6, 4.2);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(x + 3.2, 44.2), 1.3, 1.3);
        p.setBrush(QColor(255, 130, 130, 150));
        p.drawEllipse(QPointF(x < 50 ? x - 7 : x + 7, 56), 4, 2.6);
    }
    QPainterPath beak;
    beak.moveTo(44, 53);
    beak.quadTo(51, 49, 58, 53);
    beak.lineTo(51, 62);
    beak.closeSubpath();
    p.setPen(QPen(QColor(190, 90, 10), 0.8));
    p.setBrush(orange);
    p.drawPath(beak);

    // The CD in the left wing, the camera in the right.
    DrawCd(p, QPointF(17, 70), 16);
    p.setPen(QPen(outline, 1.2));
    p.setBrush(feather);
    p.save();
    p.translate(27, 68);
    p.rotate(25);
    p.drawEllipse(QPointF(0, 0), 7, 12);
    p.restore();
    DrawCamera(p, QRectF(66, 63, 30, 20));
    p.setPen(QPen(outline, 1.2));
    p.setBrush(feather);
    p.save();
    p.translate(72, 70);
    p.rotate(-25);
    p.drawEllipse(QPointF(0, 0), 6, 11);
    p.restore();
}

void DrawPrinter(QPainter& painter, const QRectF& box) {
    TDesignSpace d(painter, box);
    QPainter& p = d.P;
    // The sheet coming out at the top, with a photo on it.
    p.setPen(QPen(QColor(150, 155, 165), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(27, 6, 46, 36));
    QLinearGradient sky(0, 11, 0, 32);
    sky.setColorAt(0, QColor(120, 190, 255));
    sky.setColorAt(1, QColor(210, 235, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRect(QRectF(32, 11, 36, 22));
    p.setBrush(QColor(90, 180, 80));
    QPainterPath hill;
    hill.moveTo(32, 33);
    hill.quadTo(46, 18, 68, 30);
    hill.lineTo(68, 33);
    hill.closeSubpath();
    p.drawPath(hill);
    p.setBrush(QColor(255, 220, 80));
    p.drawEllipse(QPointF(60, 17), 3, 3);

    // Body, front panel, light and tray.
    QLinearGradient shell(0, 34, 0, 78);
    shell.setColorAt(0, QColor(240, 242, 246));
    shell.setColorAt(1, QColor(180, 186, 196));
    p.setPen(QPen(QColor(110, 118, 130), 1.2));
    p.setBrush(shell);
    p.drawRoundedRect(QRectF(6, 34, 88, 44), 6, 6);
    p.setPen(QPen(QColor(60, 64, 72), 2));
    p.drawLine(QPointF(22, 41), QPointF(78, 41));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 128, 140));
    p.drawRoundedRect(QRectF(6, 62, 88, 16), 4, 4);
    p.setBrush(QColor(60, 220, 90));
    p.drawEllipse(QPointF(83, 50), 3, 3);
    p.setBrush(QColor(90, 96, 108));
    p.drawRoundedRect(QRectF(64, 47, 12, 6), 2, 2);
    p.setPen(QPen(QColor(110, 118, 130), 1));
    p.setBrush(QColor(210, 214, 222));
    p.drawRoundedRect(QRectF(18, 76, 64, 12), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(26, 72, 48, 10));
}

QPixmap LogoPicture() {
    QPixmap pm(420, 130);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, 130);
    sky.setColorAt(0, QColor(52, 132, 228));
    sky.setColorAt(1, QColor(12, 62, 146));
    p.fillRect(pm.rect(), sky);
    // Soft light arcs behind the text.
    p.setPen(QPen(QColor(255, 255, 255, 40), 10));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(250, 190), 170, 110);
    p.setPen(QPen(QColor(255, 255, 255, 25), 6));
    p.drawEllipse(QPointF(250, 200), 200, 120);

    DrawMascot(p, QRectF(4, 10, 112, 112));
    DrawPrinter(p, QRectF(336, 24, 80, 80));

    QFont name("DejaVu Sans");
    name.setPixelSize(42);
    name.setBold(true);
    p.setFont(name);
    p.setPen(QColor(0, 30, 80, 140));
    p.drawText(QPointF(124, 64), "Velmora");
    p.setPen(Qt::white);
    p.drawText(QPointF(122, 62), "Velmora");

    QFont line("DejaVu Sans");
    line.setPixelSize(14);
    line.setBold(true);
    p.setFont(line);
    p.setPen(QColor(255, 226, 110));
    p.drawText(QPointF(124, 88), "For inkjet photo printers");
    line.setBold(false);
    line.setPixelSize(11);
    p.setFont(line);
    p.setPen(QColor(220, 235, 255));
    p.drawText(QPointF(124, 108), "Index cards \u00B7 CD back cards \u00B7 Contact sheets");
    return pm;
}

TfrmLogo* LogoWindow() {
    return Current().data();
}

TfrmLogo::TfrmLogo() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName("frmLogo");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(421, 130);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(12, 62, 146));
    setPalette(pal);
    setAutoFillBackground(true);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 420, 130);
    Image1->setPixmap(LogoPicture());
    Current() = this;
}

TfrmLogo::~TfrmLogo() {
    if (Current() == this)
        Current() = nullptr;
}

void TfrmLogo::ShowNow() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        move(desk.left() + (desk.width() - width()) / 2,
             desk.top() + (desk.height() - height()) / 2);
    }
    show();
    raise();
    activateWindow();
    // Painted before the start-up steps run, which keep the event loop waiting.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void TfrmLogo::ReleaseAfter(int ms) {
    QTimer::singleShot(ms, this, [this] { close(); });
}

void TfrmLogo::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        FWasActive = true;
    } else if (FWasActive) {
        FWasActive = false;
        close(); // deletes it
    }
}
