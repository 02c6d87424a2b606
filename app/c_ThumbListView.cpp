#include "c_ThumbListView.h"

#include "Common/c_Fit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

const QColor TThumbListView::SelectedColor(51, 153, 255);
const QColor TThumbListView::CellColor(Qt::white);

// --- TThumbnailData ----------------------------------------------------------------------

TThumbnailData::TThumbnailData() {
    ResetInfo();
}

void TThumbnailData::ResetInfo() {
    Error.clear();
    Info.clear();
    for (int i = 0; i < TThumbListView::InfoCount; ++i)
        Info << QString();
}

// --- TThumbSurface -----------------------------------------------------------------------

TThumbSurface::TThumbSurface(TThumbListView* owner) : QWidget(owner), FOwner(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TThumbSurface::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = FOwner->HitTest(help->pos());
        if (index >= 0 && index < FOwner->Count()) {
            // Plain text made into markup, so a name holding "<" shows as it is.
            const QStringList lines = FOwner->ToolTipText(index).split(QLatin1Char('\n'));
            QStringList escaped;
            for (const QString& line : lines)
                escaped << line.toHtmlEscaped();
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("<p style='white-space:pre'>") +
                                   escaped.join(QStringLiteral("<br>")) + QStringLiteral("</p>"),
                               this, FOwner->CellRect(index));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

void TThumbSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    const int index = FOwner->HitTest(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index >= 0 && index < FOwner->Count())
        emit FOwner->ItemOpened(index);
    event->accept();
}

void TThumbSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    FOwner->PaintSurface(painter);
}

void TThumbSurface::mousePressEvent(QMouseEvent* event) {
    // Every button selects, so a right click picks the cell its menu will act on.
    FOwner->SurfacePressed(event->position().toPoint());
    event->accept();
}

void TThumbSurface::contextMenuEvent(QContextMenuEvent* event) {
    if (FOwner->FPopupMenu) {
        FOwner->FPopupMenu->popup(event->globalPos());
        event->accept();
    }
}

void TThumbSurface::wheelEvent(QWheelEvent* event) {
    FOwner->wheelEvent(event);
}

// --- TThumbListView ----------------------------------------------------------------------

TThumbListView::TThumbListView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QFont f = font();
    FFontHeight = std::max(1, int(std::lround(FontPoints * logicalDpiY() / 72.0)));
    // The line pitch is the 9-point height; the face is chosen so that its whole line,
    // descenders and underscores included, fits that pitch instead of being cut off below.
    for (int px = FFontHeight; px >= 1; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).height() <= FFontHeight)
            break;
    }
    setFont(f);

    // The grid takes the keyboard (Tab and a click reach it); the scroll bar never does.
    setFocusPolicy(Qt::StrongFocus);
    FSurface = new TThumbSurface(this);
    FSurface->setFont(f);
    FScrollBar = new QScrollBar(Qt::Vertical, this);
    FScrollBar->setRange(0, 0);
    FScrollBar->setFocusPolicy(Qt::NoFocus);
    FScrollBar->hide();
    FScrollBar->installEventFilter(this);
    connect(FScrollBar, &QScrollBar::valueChanged, this, [this] { FSurface->update(); });
    SetThumbWidth(64);
    SetThumbHeight(64);
    PlaceChildren();
}

TThumbListView::~TThumbListView() = default;

TThumbnailData* TThumbListView::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return FItems[size_t(index)].get();
}

QStringList TThumbListView::ItemInfo(int index) const {
    const TThumbnailData* item = Item(index);
    return item ? item->Info : QStringList();
}

QString TThumbListView::ItemFileName(int index) const {
    const TThumbnailData* item = Item(index);
    return item ? item->FileName : QString();
}

void TThumbListView::SetCount(int n) {
    n = std::max(0, n);
    const bool hadItems = !FItems.empty();
    for (auto& item : FItems) {
        item->FileName.clear();
        item->ResetInfo();
    }
    if (n < Count())
        FItems.resize(static_cast<size_t>(n));
    while (Count() < n)
        FItems.push_back(std::make_unique<TThumbnailData>());
    if (FSelected >= Count())
        FSelected = -1;
    // The surface leaves room for the scroll bar only while there are items, so a change
    // between none and some needs the children placed again, not just the layout.
    if (hadItems != !FItems.empty())
        PlaceChildren();
    else
        RecalcLayout();
    FSurface->update();
}

void TThumbListView::SetSelected(int index) {
    if (index >= Count())
        return;
    const int old = FSelected;
    FSelected = index < 0 ? -1 : index;
    RedrawCell(old);
    RedrawCell(FSelected);
}

void TThumbListView::SetThumbWidth(int w) {
    FThumbWidth = std::max(1, w);
    RecalcLayout();
    FSurface->update();
}

void TThumbListView::SetThumbHeight(int h) {
    FThumbHeight = std::max(1, h);
    FScrollBar->setSingleStep(std::max(1, ScrollIncrement()));
    RecalcLayout();
    FSurface->update();
}

QSize TThumbListView::ThumbnailSize(const QSize& source, int boxWidth, int boxHeight) {
    if (source.width() <= 0 || source.height() <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return QSize(0, 0);
    const float scale = std::max(float(source.width()) / float(boxWidth),
                                 float(source.height()) / float(boxHeight));
    return QSize(int(float(source.width()) / scale), int(float(source.height()) / scale));
}

QImage TThumbListView::ScaleThumbnail(const QImage& source, int boxWidth, int boxHeight) {
    const QSize size = ThumbnailSize(source.size(), boxWidth, boxHeight);
    if (size.isEmpty())
        return QImage();
    if (size == source.size())
        return source;
    return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage TThumbListView::ScaleDeviceThumbnail(const QImage& source, int boxWidth, int boxHeight,
                                            qreal ratio) {
    if (ratio <= 1.0)
        return QImage();
    QImage device = ScaleThumbnail(source, int(std::lround(boxWidth * ratio)),
                                   int(std::lround(boxHeight * ratio)));
    device.setDevicePixelRatio(ratio);
    return device;
}

qreal TThumbListView::DeviceRatio() const {
    return devicePixelRatioF();
}

void TThumbListView::SetThumbnail(int index, const QImage& source, const QImage& prepared,
                                  const QImage& preparedDevice) {
    TThumbnailData* item = Item(index);
    if (!item)
        return;
    const QSize size = ThumbnailSize(source.size(), FThumbWidth, FThumbHeight);
    if (!prepared.isNull() && prepared.size() == size)
        item->Bitmap = prepared;
    else
        item->Bitmap = ScaleThumbnail(source, FThumbWidth, FThumbHeight);
    const qreal ratio = DeviceRatio();
    const QSize deviceSize = ThumbnailSize(source.size(), int(std::lround(FThumbWidth * ratio)),
                                           int(std::lround(FThumbHeight * ratio)));
    if (ratio <= 1.0)
        item->DeviceBitmap = QImage();
    else if (!preparedDevice.isNull() && preparedDevice.size() == deviceSize &&
             preparedDevice.devicePixelRatio() == ratio)
        item->DeviceBitmap = preparedDevice;
    else
        item->DeviceBitmap = ScaleDeviceThumbnail(source, FThumbWidth, FThumbHeight, ratio);
    item->Error.clear();
    RedrawCell(index);
}

void TThumbListView::SetThumbnailError(int index, const QString& reason) {
    TThumbnailData* item = Item(index);
    if (!item)
        return;
    item->Bitmap = QImage();
    item->DeviceBitmap = QImage();
    item->Error = reason.isEmpty() ? QStringLiteral("The picture could not be read.") : reason;
    RedrawCell(index);
}

void TThumbListView::Sort() {
    if (FSorting || (!OnCompare && !OnRank))
        return;
    FSorting = true;
    const int n = Count();
    std::vector<int> rank = OnRank ? OnRank() : std::vector<int>();
    if (OnRank && int(rank.size()) == n) {
        // The pairs compared as numbers, the items moved once at the end.
        std::vector<int> from(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            from[size_t(i)] = i;
        for (int i = 0; i + 1 < n; ++i) {
            int ri = rank[size_t(i)];
            for (int j = i + 1; j < n; ++j)
                if (ri > rank[size_t(j)]) {
                    std::swap(ri, rank[size_t(j)]);
                    std::swap(from[size_t(i)], from[size_t(j)]);
                }
            rank[size_t(i)] = ri;
        }
        std::vector<std::unique_ptr<TThumbnailData>> sorted(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            sorted[size_t(i)] = std::move(FItems[size_t(from[size_t(i)])]);
        FItems = std::move(sorted);
    } else if (OnCompare) {
        ExchangeSort(n, OnCompare,
                     [this](int i, int j) { std::swap(FItems[size_t(i)], FItems[size_t(j)]); });
    }
    FSorting = false;
    FSurface->update();
}

void TThumbListView::ExchangeSort(int count, const std::function<bool(int, int)>& after,
                                  const std::function<void(int, int)>& exchange) {
    for (int i = 0; i + 1 < count; ++i)
        for (int j = i + 1; j < count; ++j)
            if (after(i, j))
                exchange(i, j);
}

void TThumbListView::SetDrawing(bool on) {
    FDrawing = on;
    FSurface->setVisible(on);
}

int TThumbListView::ScrollPosition() const {
    return FScrollBar->value();
}

void TThumbListView::SetScrollPosition(int position) {
    FScrollBar->setValue(position);
}

int TThumbListView::FirstVisible() const {
    return (ScrollPosition() / RowStep()) * FColumns;
}

int TThumbListView::LastVisible() const {
    return ((ScrollPosition() + FSurface->height()) / RowStep() + 1) * FColumns - 1;
}

QRect TThumbListView::CellRect(int index) const {
    const int c = index % FColumns;
    const int r = index / FColumns;
    const int left = c * (CellWidth() + CellGap) + CellGap;
    const int top = r * RowStep() + CellGap - ScrollPosition();
    return QRect(left, top, CellWidth(), CellHeight());
}

int TThumbListView::HitTest(const QPoint& point) const {
    if (point.x() < 0 || point.y() + ScrollPosition() < 0)
        return -1;
    const int c = point.x() / (CellWidth() + CellGap);
    const int r = (ScrollPosition() + point.y()) / RowStep();
    const int i = r * FColumns + c;
    // A column beyond the last would wrap into the next row; it is a gap, not a cell.
    if (c >= FColumns)
        return -1;
    const QRect cell = CellRect(i);
    // Edges included: right and bottom as Left + CellWidth and Top + CellHeight.
    if (point.x() >= cell.left() && point.x() <= cell.left() + cell.width() &&
        point.y() >= cell.top() && point.y() <= cell.top() + cell.height())
        return i;
    return -1;
}

void TThumbListView::WrapName(const QString& name, int maxWidth, QStringList& lines) const {
    const QFontMetrics fm(FSurface->font());
    // Break only between whole characters: work on code points, not UTF-16 units.
    QList<int> starts; // index in name of each character's first unit
    for (int k = 0; k < name.size(); ++k)
        if (!name.at(k).isLowSurrogate() || k == 0 || !name.at(k - 1).isHighSurrogate())
            starts << k;
    const int count = int(starts.size());
    int lineStart = 0;                  // character index
    auto text = [&](int from, int to) { // characters [from, to)
        if (from >= count)
            return QString();
        const int a = starts[from];
        const int b = to < count ? starts[to] : int(name.size());
        return name.mid(a, b - a);
    };
    // The last character is never a break point.
    for (int p = 0; p + 1 < count; ++p) {
        if (p == lineStart)
            continue; // a line always keeps at least one character
        if (fm.horizontalAdvance(text(lineStart, p + 1)) > maxWidth) {
            lines << text(lineStart, p);
            lineStart = p;
            if (lines.size() > 2)
                return;
        }
    }
    lines << text(lineStart, count);
}

void TThumbListView::SetNoFileBitmap(const QImage& picture) {
    FNoFileBitmap = picture;
    FSurface->update();
}

void TThumbListView::RecalcLayout() {
    const int surfaceWidth = FSurface->width();
    FColumns = std::max(1, surfaceWidth / (FThumbWidth + CellGap + 2 * CellMargin));
    FRows = (Count() + FColumns - 1) / FColumns;
    FScrollRange = RowStep() * FRows;
    const int page = FSurface->height();
    if (FScrollRange > page) {
        // The thumb stops where the last row meets the bottom edge.
        FScrollBar->setPageStep(std::max(1, page));
        FScrollBar->setRange(0, FScrollRange - page);
        FScrollBar->show();
    } else {
        FScrollBar->setRange(0, 0);
        FScrollBar->hide();
    }
}

void TThumbListView::PlaceChildren() {
    const int w = width();
    const int h = height();
    FScrollBar->setGeometry(w - ScrollBarWidth, 0, ScrollBarWidth, h);
    FSurface->setGeometry(0, 0, Count() > 0 ? std::max(0, w - ScrollBarWidth) : w, h);
    RecalcLayout();
}

void TThumbListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceChildren();
}

int TThumbListView::WheelStep() const {
    const int lines = std::max(1, QApplication::wheelScrollLines());
    return std::max(1, int(std::lround(RowStep() * lines / 12.0)));
}

void TThumbListView::ScrollByWheel(const QPoint& angleDelta, const QPoint& pixelDelta) {
    double distance;
    if (!pixelDelta.isNull()) {
        distance = pixelDelta.y();
        FWheelRest = 0;
    } else {
        // High-resolution wheels send parts of a notch; the parts add up to whole pixels.
        distance = angleDelta.y() / 120.0 * WheelStep() + FWheelRest;
    }
    const int whole = int(distance);
    FWheelRest = distance - whole;
    const int pos = std::clamp(ScrollPosition() - whole, 0, FScrollBar->maximum());
    if (pos == 0 || pos == FScrollBar->maximum())
        FWheelRest = 0;
    FScrollBar->setValue(pos);
}

void TThumbListView::wheelEvent(QWheelEvent* event) {
    ScrollByWheel(event->angleDelta(), event->pixelDelta());
    event->accept();
}

int TThumbListView::RowsPerPage() const {
    return std::max(1, FSurface->height() / RowStep());
}

int TThumbListView::KeyTarget(int key) const {
    const int n = Count();
    if (n == 0)
        return -1;
    const int cur = FSelected;
    const int cols = FColumns;
    if (cur < 0) {
        // Nothing selected yet: the first key selects the first item (End the last).
        switch (key) {
        case Qt::Key_End:
            return n - 1;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
            return 0;
        default:
            return -1;
        }
    }
    const int lastRowStart = ((n - 1) / cols) * cols;
    switch (key) {
    case Qt::Key_Left:
        return std::max(0, cur - 1);
    case Qt::Key_Right:
        return std::min(n - 1, cur + 1);
    case Qt::Key_Up:
        return cur - cols >= 0 ? cur - cols : cur;
    case Qt::Key_Down:
        // Into a shorter last row: its last item.
        if (cur + cols < n)
            return cur + cols;
        return cur < lastRowStart ? n - 1 : cur;
    case Qt::Key_PageUp: {
        const int t = cur - RowsPerPage() * cols;
        return t >= 0 ? t : cur % cols;
    }
    case Qt::Key_PageDown: {
        const int t = cur + RowsPerPage() * cols;
        if (t < n)
            return t;
        return std::max(cur, std::min(n - 1, lastRowStart + cur % cols));
    }
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return n - 1;
    default:
        return -1;
    }
}

void TThumbListView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (Item(FSelected))
            emit ItemOpened(FSelected);
        event->accept();
        return;
    }
    const int target = KeyTarget(key);
    if (target < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    SetSelected(target);
    EnsureVisible(target);
    emit SelectionMoved(target);
    event->accept();
}

void TThumbListView::EnsureVisible(int index) {
    if (index < 0 || index >= Count())
        return;
    const int top = (index / FColumns) * RowStep() + CellGap;
    const int bottom = top + CellHeight();
    const int page = FSurface->height();
    int pos = ScrollPosition();
    if (bottom + CellGap > pos + page)
        pos = bottom + CellGap - page;
    // A cell taller than the page shows from its top.
    if (top - CellGap < pos)
        pos = top - CellGap;
    SetScrollPosition(std::clamp(pos, 0, FScrollBar->maximum()));
}

QString TThumbListView::ToolTipText(int index) const {
    const TThumbnailData* item = Item(index);
    if (!item)
        return QString();
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QString unknown = QStringLiteral("unknown");
    QStringList lines;
    const QString path = item->Info.value(2);
    lines << (path.isEmpty() ? item->FileName : path);
    bool ok = false;
    const qint64 bytes = item->Info.value(3).toLongLong(&ok);
    lines << QStringLiteral("File size: ") +
                 (ok ? english.toString(bytes) + QStringLiteral(" bytes") : unknown);
    const bool video = QFileInfo(item->FileName).suffix().toLower() == QLatin1String("avi");
    const int w = item->Info.value(6).toInt(), h = item->Info.value(7).toInt();
    lines << QStringLiteral("Pixel size: ") +
                 (!video && w > 0 && h > 0 ? QStringLiteral("%1 x %2").arg(w).arg(h) : unknown);
    const QString shot = item->Info.value(5);
    lines << QStringLiteral("Shooting date: ") + (shot.isEmpty() ? unknown : shot);
    const QString fileDate = item->Info.value(4);
    lines << QStringLiteral("File date: ") + (fileDate.isEmpty() ? unknown : fileDate);
    if (!item->Error.isEmpty())
        lines << QStringLiteral("Cannot show the picture: ") + item->Error;
    return lines.join(QLatin1Char('\n'));
}

bool TThumbListView::eventFilter(QObject* watched, QEvent* event) {
    // The scroll bar's own wheel handling would take three lines a notch; the grid's step
    // is the increment.
    if (watched == FScrollBar && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TThumbListView::SurfacePressed(const QPoint& point) {
    int hit = HitTest(point);
    if (hit >= Count())
        hit = -1;
    const int old = FSelected;
    FSelected = hit;
    RedrawCell(old);
    RedrawCell(FSelected);
    // The keyboard follows the click; the wheel reaches the grid wherever the focus is.
    setFocus(Qt::MouseFocusReason);
    emit SelectionClicked(FSelected);
}

void TThumbListView::RedrawCell(int index) {
    if (index < 0 || index >= Count())
        return;
    if (index < FirstVisible() || index > LastVisible())
        return;
    FSurface->update(CellRect(index).adjusted(0, 0, 1, 1));
}

void TThumbListView::PaintSurface(QPainter& painter) {
    if (FPainting)
        return;
    FPainting = true;
    const QColor background = palette().color(QPalette::Window);
    painter.fillRect(FSurface->rect(), background);
    if (FItems.empty()) {
        if (FNoFileBitmap.width() > 0 && FNoFileBitmap.height() > 0) {
            const int left = std::max(0, (FSurface->width() - FNoFileBitmap.width()) / 2);
            const int top = std::max(0, (FSurface->height() - FNoFileBitmap.height()) / 2);
            painter.drawImage(QPoint(left, top), FNoFileBitmap);
        }
    } else {
        const int last = std::min(LastVisible(), Count() - 1);
        for (int i = std::max(0, FirstVisible()); i <= last; ++i)
            DrawCell(painter, i);
    }
    FPainting = false;
}

void TThumbListView::DrawCell(QPainter& painter, int index) {
    TThumbnailData* item = Item(index);
    if (!item)
        return;
    const QRect cell = CellRect(index);
    const QColor colour = index == FSelected ? SelectedColor : CellColor;
    painter.fillRect(cell, colour);
    const QRect box(cell.left() + CellMargin, cell.top() + CellMargin, FThumbWidth, FThumbHeight);
    if (item->Bitmap.width() > 0 && item->Bitmap.height() > 0) {
        // At a device pixel ratio above 1 the finer picture fills the same place.
        const QImage& picture = item->DeviceBitmap.isNull() ? item->Bitmap : item->DeviceBitmap;
        painter.drawImage(FitRect(item->Bitmap, box), picture);
    } else if (!item->Error.isEmpty()) {
        DrawBrokenMark(painter, box);
    }
    QStringList lines;
    lines << item->Info.value(8);
    WrapName(item->FileName, CellWidth() - 2 * CellMargin, lines);
    painter.setFont(FSurface->font());
    painter.setPen(Qt::black);
    const QFontMetrics fm(FSurface->font());
    const int fh = FontHeight();
    for (int j = 0; j < lines.size() && j < 3; ++j) {
        const int x = cell.left() + (CellWidth() - fm.horizontalAdvance(lines[j])) / 2;
        const int y = cell.top() + 2 * CellMargin + FThumbHeight + j * fh;
        painter.drawText(QRect(x, y, std::max(fm.horizontalAdvance(lines[j]), 1) + 2, fh),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, lines[j]);
    }
}

void TThumbListView::DrawBrokenMark(QPainter& painter, const QRect& box) const {
    // A picture frame torn in two, with a red cross: the file is there but cannot be shown.
    const int side = std::max(16, std::min(box.width(), box.height()) / 2);
    const QRectF frame(box.center().x() - side / 2.0, box.center().y() - side * 0.4, side,
                       side * 0.8);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath left, right;
    const qreal mid = frame.center().x();
    const qreal tooth = side / 10.0;
    QList<QPointF> tear;
    for (int k = 0; k <= 5; ++k)
        tear << QPointF(mid + (k % 2 ? tooth : -tooth), frame.top() + frame.height() * k / 5.0);
    left.moveTo(frame.topLeft());
    for (const QPointF& p : tear)
        left.lineTo(p);
    left.lineTo(frame.bottomLeft());
    left.closeSubpath();
    right.moveTo(frame.topRight());
    for (const QPointF& p : tear)
        right.lineTo(p + QPointF(tooth * 0.8, 0));
    right.lineTo(frame.bottomRight());
    right.closeSubpath();
    painter.setPen(QPen(QColor(120, 120, 120), 1.5));
    painter.setBrush(QColor(225, 230, 238));
    painter.drawPath(left);
    painter.translate(tooth * 0.4, tooth * 0.4);
    painter.drawPath(right);
    painter.translate(-tooth * 0.4, -tooth * 0.4);
    // A mountain and a sun, as a picture has.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 170, 200));
    QPainterPath hill;
    hill.moveTo(frame.left() + 3, frame.bottom() - 3);
    hill.lineTo(frame.left() + side * 0.35, frame.top() + frame.height() * 0.45);
    hill.lineTo(mid - tooth, frame.bottom() - 3);
    hill.closeSubpath();
    painter.drawPath(hill);
    painter.setBrush(QColor(240, 190, 60));
    painter.drawEllipse(QPointF(frame.right() - side * 0.22, frame.top() + side * 0.2), side * 0.08,
                        side * 0.08);
    // The cross.
    const qreal r = side * 0.16;
    const QPointF c(frame.right() - r * 0.4, frame.bottom() - r * 0.4);
    painter.setBrush(QColor(210, 30, 30));
    painter.setPen(QPen(Qt::white, 1.5));
    painter.drawEllipse(c, r, r);
    painter.setPen(QPen(Qt::white, std::max(1.5, r / 3), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c + QPointF(-r / 2, -r / 2), c + QPointF(r / 2, r / 2));
    painter.drawLine(c + QPointF(r / 2, -r / 2), c + QPointF(-r / 2, r / 2));
    painter.restore();
}
