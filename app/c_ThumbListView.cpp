#include "c_ThumbListView.h"

#include "Common/c_Fit.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
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
    Info.clear();
    for (int i = 0; i < TThumbListView::InfoCount; ++i)
        Info << QString();
}

// --- TThumbSurface -----------------------------------------------------------------------

TThumbSurface::TThumbSurface(TThumbListView* owner) : QWidget(owner), FOwner(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
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
    f.setPixelSize(FFontHeight);
    setFont(f);

    FSurface = new TThumbSurface(this);
    FSurface->setFont(f);
    FScrollBar = new QScrollBar(Qt::Vertical, this);
    FScrollBar->setRange(0, 0);
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
        FItems.resize(size_t(n));
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

void TThumbListView::SetThumbnail(int index, const QImage& source, const QImage& prepared) {
    TThumbnailData* item = Item(index);
    if (!item)
        return;
    const QSize size = ThumbnailSize(source.size(), FThumbWidth, FThumbHeight);
    if (!prepared.isNull() && prepared.size() == size)
        item->Bitmap = prepared;
    else
        item->Bitmap = ScaleThumbnail(source, FThumbWidth, FThumbHeight);
    RedrawCell(index);
}

void TThumbListView::Sort() {
    if (FSorting || !OnCompare)
        return;
    FSorting = true;
    ExchangeSort(Count(), OnCompare,
                 [this](int i, int j) { std::swap(FItems[size_t(i)], FItems[size_t(j)]); });
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

void TThumbListView::Wheel(int steps) {
    if (steps == 0)
        return;
    const int inc = ScrollIncrement();
    int pos = ScrollPosition() - steps * inc;
    pos = std::clamp(pos, 0, FScrollBar->maximum());
    FScrollBar->setValue(pos);
}

void TThumbListView::wheelEvent(QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    Wheel(dy > 0 ? 1 : dy < 0 ? -1 : 0);
    event->accept();
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
    if (FScrollBar->isVisible())
        FScrollBar->setFocus();
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
    if (item->Bitmap.width() > 0 && item->Bitmap.height() > 0) {
        const QRect box(cell.left() + CellMargin, cell.top() + CellMargin, FThumbWidth,
                        FThumbHeight);
        painter.drawImage(FitRect(item->Bitmap, box), item->Bitmap);
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
