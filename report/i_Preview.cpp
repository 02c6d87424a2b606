#include "i_Preview.h"

#include "Common/c_Fit.h"
#include "platform/PDialogSeam.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

TfrmPreview* frmPreview = nullptr;

namespace {
constexpr int ToolBarHeight = 31;
constexpr int ButtonHeight = 27;

QFont PixelFont(int pixels) {
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(pixels);
    return f;
}

// The zoom buttons' pictures: a page inside a frame, whole or cut at the bottom.
QIcon ZoomIcon(bool whole) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0, 0, 128));
    p.drawRect(1, 1, 17, 17);
    p.fillRect(whole ? QRect(6, 4, 8, 12) : QRect(3, 4, 14, 15), Qt::white);
    p.setPen(Qt::black);
    if (whole)
        p.drawRect(6, 4, 8, 12);
    else
        p.drawRect(3, 4, 13, 15);
    return QIcon(pm);
}

QIcon PrinterIcon() {
    QPixmap pm(18, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.fillRect(4, 1, 10, 6, Qt::white);
    p.setPen(Qt::black);
    p.drawRect(4, 1, 9, 6);
    p.fillRect(1, 6, 16, 7, QColor(160, 160, 160));
    p.drawRect(1, 6, 15, 6);
    p.fillRect(4, 11, 10, 4, Qt::white);
    p.drawRect(4, 11, 9, 4);
    return QIcon(pm);
}

int Round(float v) {
    return RoundHalfEven(double(v));
}
} // namespace

TfrmPreview::TfrmPreview(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Preview"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(PixelFont(12));
    setMinimumSize(MinTrackWidth, MinTrackHeight);
    resize(576, 500);

    ToolBar = new QWidget(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    int x = 0;
    auto place = [&](QWidget* w, int width) {
        w->setParent(ToolBar);
        w->setGeometry(x, 2, width, ButtonHeight);
        x += width;
    };
    auto tool = [&](const char* name, const QString& text, int width) {
        auto* b = new QToolButton(ToolBar);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setAutoRaise(true);
        place(b, width);
        return b;
    };
    btnFormClose = new QPushButton(QStringLiteral("Close"), ToolBar);
    btnFormClose->setObjectName(QStringLiteral("btnFormClose"));
    btnFormClose->setFont(PixelFont(13));
    btnFormClose->setAutoDefault(false);
    place(btnFormClose, 73);
    x += 9;
    btnZoomToFit = tool("btnZoomToFit", QString(), 31);
    btnZoomToFit->setIcon(ZoomIcon(true));
    btnZoomToWidth = tool("btnZoomToWidth", QString(), 32);
    btnZoomToWidth->setIcon(ZoomIcon(false));
    for (QToolButton* b : {btnZoomToFit, btnZoomToWidth})
        b->setCheckable(true);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(btnZoomToFit, 0);
    group->addButton(btnZoomToWidth, 1);
    btnZoomToWidth->setChecked(true);
    x += 8;
    btnFirst = tool("btnFirst", QStringLiteral("≪"), 28);
    btnPrevios = tool("btnPrevios", QStringLiteral("＜"), 28);
    btnNext = tool("btnNext", QStringLiteral("＞"), 28);
    btnLast = tool("btnLast", QStringLiteral("≫"), 28);
    pnlPageNumber = new QLabel(QStringLiteral("000/000"), ToolBar);
    pnlPageNumber->setObjectName(QStringLiteral("pnlPageNumber"));
    pnlPageNumber->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlPageNumber->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pnlPageNumber->setFont(PixelFont(13));
    place(pnlPageNumber, 60);
    Label1 = new QLabel(QStringLiteral("Page"), ToolBar);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    place(Label1, 44);
    x += 8;
    btnPrintOut = new QPushButton(PrinterIcon(), QStringLiteral("Print"), ToolBar);
    btnPrintOut->setObjectName(QStringLiteral("btnPrintOut"));
    btnPrintOut->setFont(PixelFont(13));
    btnPrintOut->setAutoDefault(false);
    place(btnPrintOut, 72);

    PreviewPosition = new QScrollArea(this);
    PreviewPosition->setObjectName(QStringLiteral("PreviewPosition"));
    PreviewPosition->setFrameShape(QFrame::NoFrame);
    PreviewPosition->setWidgetResizable(false);
    PreviewPosition->setFocusPolicy(Qt::StrongFocus);
    PreviewPosition->verticalScrollBar()->setFixedWidth(ScrollBarWidth);
    PreviewPosition->verticalScrollBar()->setSingleStep(WheelStep);
    PreviewPosition->verticalScrollBar()->setTracking(true);
    PreviewContent = new QWidget;
    PreviewContent->setObjectName(QStringLiteral("PreviewContent"));
    PreviewImage = new QLabel(PreviewContent);
    PreviewImage->setObjectName(QStringLiteral("PreviewImage"));
    PreviewImage->setScaledContents(true);
    PreviewPosition->setWidget(PreviewContent);
    PreviewPosition->viewport()->installEventFilter(this);
    PreviewImage->installEventFilter(this);

    connect(btnFormClose, &QPushButton::clicked, this, &QDialog::close);
    connect(group, &QButtonGroup::idClicked, this, [this] { FitPage(); });
    auto hook = [this](QAbstractButton* b, std::function<void()> TfrmPreview::*f) {
        connect(b, &QAbstractButton::clicked, this, [this, f] {
            if (this->*f)
                (this->*f)();
        });
    };
    hook(btnFirst, &TfrmPreview::OnFirst);
    hook(btnPrevios, &TfrmPreview::OnPrevios);
    hook(btnNext, &TfrmPreview::OnNext);
    hook(btnLast, &TfrmPreview::OnLast);
    hook(btnPrintOut, &TfrmPreview::OnPrintOut);

    // Centred on the desktop.
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

bool TfrmPreview::FitToWindow() const {
    return btnZoomToFit->isChecked();
}

void TfrmPreview::ShowPage(const QImage& bitmap, int page, int count) {
    FPageImage = bitmap.copy();
    UpdatePageInfo(page, count);
    PreviewPosition->verticalScrollBar()->setValue(0);
    FitPage();
}

void TfrmPreview::UpdatePageInfo(int page, int count) {
    pnlPageNumber->setText(QString::number(page) + QLatin1Char('/') + QString::number(count));
    btnFirst->setEnabled(page != 1);
    btnPrevios->setEnabled(page != 1);
    btnNext->setEnabled(page != count);
    btnLast->setEnabled(page != count);
}

QRect TfrmPreview::FitGeometry(const QSize& box, const QSize& pageSize, bool toWindow,
                               bool* verticalBar) {
    const int m = PageMargin;
    const int W = box.width(), H = box.height();
    const int w = std::max(1, pageSize.width()), h = std::max(1, pageSize.height());
    if (verticalBar)
        *verticalBar = false;
    if (toWindow) {
        float r = float(W - 2 * m) / float(w);
        const float rh = float(H - 2 * m) / float(h);
        if (rh < r)
            r = rh;
        const int iw = Round(float(w) * r), ih = Round(float(h) * r);
        return QRect(RoundHalfEven(m + (W - 2 * m - iw) / 2.0),
                     RoundHalfEven(m + (H - 2 * m - ih) / 2.0), iw, ih);
    }
    const float r = float(W - 2 * m) / float(w);
    const int ih = Round(float(h) * r);
    int right = W - m;
    if (ih > H - 2 * m) {
        right -= ScrollBarWidth;
        if (verticalBar)
            *verticalBar = true;
    }
    const int iw = Round(float(w) * r);
    return QRect(RoundHalfEven(m + (right - m - iw) / 2.0), m, iw, ih);
}

void TfrmPreview::FitPage() {
    if (FPageImage.isNull())
        return;
    const bool toWindow = FitToWindow();
    const QSize box = PreviewPosition->size();
    const QRect g = FitGeometry(box, FPageImage.size(), toWindow);
    PreviewPosition->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    PreviewPosition->setVerticalScrollBarPolicy(toWindow ? Qt::ScrollBarAlwaysOff
                                                         : Qt::ScrollBarAlwaysOn);
    const int contentWidth = toWindow ? box.width() : box.width() - ScrollBarWidth;
    const int contentHeight = toWindow ? box.height() : g.bottom() + 1 + PageMargin;
    PreviewContent->resize(std::max(1, contentWidth), std::max(1, contentHeight));
    PreviewImage->setGeometry(g);

    // The page in the middle nine tenths, framed, on the scroll box's colour.
    const int iw = std::max(1, g.width()), ih = std::max(1, g.height());
    QImage picture(iw, ih, QImage::Format_RGB32);
    picture.fill(PreviewPosition->palette().color(QPalette::Window));
    const int dx = iw / 20, dy = ih / 20;
    QPainter p(&picture);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(dx, dy, iw - 2 * dx, ih - 2 * dy), FPageImage);
    p.setPen(QPen(Qt::black, FramePenWidth == 1 ? 0 : FramePenWidth));
    p.setBrush(Qt::NoBrush);
    p.drawRect(dx - 1, dy - 1, iw - 2 * dx + 1, ih - 2 * dy + 1);
    p.end();
    PreviewImage->clear();
    PreviewImage->setPixmap(QPixmap::fromImage(picture));
}

void TfrmPreview::WheelSteps(int steps) {
    QScrollBar* bar = PreviewPosition->verticalScrollBar();
    int pos = bar->value();
    for (; steps > 0; --steps)
        pos = std::min(pos + WheelStep, bar->maximum());
    for (; steps < 0; ++steps)
        pos = std::max(pos - WheelStep, 0);
    bar->setValue(pos);
}

int TfrmPreview::ShowModal() {
    setWindowState(windowState() | Qt::WindowMaximized);
    const int rc = ExecDialog(*this, QStringLiteral("preview"));
    FPageImage = QImage(); // the window stays; the page's memory goes
    PreviewImage->clear();
    return rc;
}

void TfrmPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ToolBar->setGeometry(0, 0, width(), ToolBarHeight);
    PreviewPosition->setGeometry(0, ToolBarHeight, width(), std::max(0, height() - ToolBarHeight));
    FitPage();
}

void TfrmPreview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PreviewPosition->setFocus();
}

bool TfrmPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel &&
        (watched == PreviewPosition->viewport() || watched == PreviewImage)) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta != 0)
            WheelSteps(delta < 0 ? 1 : -1);
        return true;
    }
    if (watched == PreviewImage && event->type() == QEvent::MouseButtonPress)
        PreviewPosition->setFocus();
    return QDialog::eventFilter(watched, event);
}
