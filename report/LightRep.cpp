#include "LightRep.h"

#include "LRMask.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <cstdlib>

// ---- helpers --------------------------------------------------------------------------

QColor ColorToQColor(TColor color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    const long long product = static_cast<long long>(number) * numerator;
    const long long magnitude =
        (std::llabs(product) * 2 + std::llabs(static_cast<long long>(denominator))) /
        (2 * std::llabs(static_cast<long long>(denominator)));
    const bool negative = (product < 0) != (denominator < 0);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int Round(double value) {
    return static_cast<int>(std::nearbyint(value));
}

TLRFont TLRFont::Points(const QString& name, int points) {
    TLRFont f;
    f.Name = name;
    f.SetSize(points);
    return f;
}

TLRFont TLRFont::Pixels(const QString& name, int pixels) {
    TLRFont f;
    f.Name = name;
    f.Height = -pixels;
    return f;
}

// ---- canvas ---------------------------------------------------------------------------

TLRCanvas::TLRCanvas(QPainter* painter, int pixelsPerInch, TPrinter* printer)
    : FPainter(painter), FPixelsPerInch(pixelsPerInch > 0 ? pixelsPerInch : 96), FPrinter(printer) {
    FFont.PixelsPerInch = FPixelsPerInch;
    FFont.SetSize(9);
}

void TLRCanvas::AssignFont(const TLRFont& font) {
    const int size = font.Size();
    FFont = font;
    FFont.Escapement = 0;
    if (font.PixelsPerInch != FPixelsPerInch) {
        FFont.PixelsPerInch = FPixelsPerInch;
        FFont.SetSize(size);
    }
}

QFont TLRCanvas::QtFont() const {
    if (FHaveCache && FCachedFor == FFont)
        return FCached;
    QFont f(FFont.Name);
    f.setBold(FFont.Bold);
    f.setItalic(FFont.Italic);
    f.setUnderline(FFont.Underline);
    f.setStrikeOut(FFont.StrikeOut);
    f.setKerning(false);
    int pixels = FFont.Height < 0 ? -FFont.Height : FFont.Height;
    if (pixels == 0)
        pixels = MulDiv(9, FPixelsPerInch, 72);
    f.setPixelSize(std::max(1, pixels));
    if (FFont.Height > 0) {
        // A positive height is the cell height (ascent plus descent), not the em size.
        const QFontMetricsF m(f);
        const double cell = m.ascent() + m.descent();
        if (cell > 0)
            f.setPixelSize(std::max(1, Round(double(pixels) * pixels / cell)));
    }
    FCached = f;
    FCachedFor = FFont;
    FHaveCache = true;
    return f;
}

QFontMetrics TLRCanvas::Metrics() const {
    if (FPainter && FPainter->device())
        return QFontMetrics(QtFont(), FPainter->device());
    return QFontMetrics(QtFont());
}

void TLRCanvas::FillRect(const TRect& rect) {
    if (BrushClear || !FPainter || rect.Width() <= 0 || rect.Height() <= 0)
        return;
    FPainter->fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()),
                       ColorToQColor(BrushColor));
}

void TLRCanvas::MoveTo(int x, int y) {
    FPenX = x;
    FPenY = y;
}

void TLRCanvas::LineTo(int x, int y) {
    const int x0 = FPenX, y0 = FPenY;
    FPenX = x;
    FPenY = y;
    if (!FPainter)
        return;
    const QColor color = ColorToQColor(PenColor);
    const int w = PenWidth <= 0 ? 1 : PenWidth;
    if (y0 == y && x0 != x) {
        if (w == 1) {
            // The end point is not drawn.
            const int from = x > x0 ? x0 : x + 1;
            FPainter->fillRect(QRect(from, y0, std::abs(x - x0), 1), color);
        } else {
            const int left = std::min(x0, x) - w / 2;
            const int right = std::max(x0, x) + (w - w / 2);
            FPainter->fillRect(QRect(left, y0 - w / 2, right - left, w), color);
        }
    } else if (x0 == x && y0 != y) {
        if (w == 1) {
            const int from = y > y0 ? y0 : y + 1;
            FPainter->fillRect(QRect(x0, from, 1, std::abs(y - y0)), color);
        } else {
            const int top = std::min(y0, y) - w / 2;
            const int bottom = std::max(y0, y) + (w - w / 2);
            FPainter->fillRect(QRect(x0 - w / 2, top, w, bottom - top), color);
        }
    } else if (x0 != x || y0 != y) {
        FPainter->save();
        FPainter->setRenderHint(QPainter::Antialiasing, false);
        QPen pen(color, w == 1 ? 0 : w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        FPainter->setPen(pen);
        FPainter->drawLine(x0, y0, x, y);
        FPainter->restore();
    }
}

int TLRCanvas::TextWidth(const QString& text) const {
    return Metrics().horizontalAdvance(text);
}

int TLRCanvas::TextHeight(const QString&) const {
    return Metrics().height();
}

QStringList TLRCanvas::LayoutLines(const QString& text, int width, unsigned flags) const {
    if (flags & DT_SINGLELINE) {
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String(" "));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return {line};
    }
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList paragraphs = normal.split(QLatin1Char('\n'));
    if (!(flags & DT_WORDBREAK))
        return paragraphs;
    const QFontMetrics m = Metrics();
    auto trimmedRight = [](QString s) {
        while (!s.isEmpty() && s.back().isSpace())
            s.chop(1);
        return s;
    };
    QStringList lines;
    for (const QString& para : paragraphs) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, para);
        QString current;
        int start = 0;
        auto add = [&](const QString& segment) {
            const QString candidate = current + segment;
            if (current.isEmpty() || m.horizontalAdvance(trimmedRight(candidate)) <= width) {
                current = candidate;
            } else {
                lines << trimmedRight(current);
                current = segment;
            }
        };
        while (finder.toNextBoundary() != -1) {
            const int at = finder.position();
            if (at > start)
                add(para.mid(start, at - start));
            start = at;
        }
        if (start < para.size())
            add(para.mid(start));
        lines << trimmedRight(current);
    }
    return lines;
}

void TLRCanvas::DrawTextAt(int x, int y, const QString& text) {
    const QFont font = QtFont();
    FPainter->setFont(font);
    FPainter->setPen(ColorToQColor(FFont.Color));
    const QFontMetrics m(font, FPainter->device());
    FPainter->drawText(QPoint(x, y + m.ascent()), text);
}

int TLRCanvas::DrawText(const QString& text, TRect& rect, unsigned flags) {
    const QStringList lines = LayoutLines(text, rect.Width(), flags);
    const int lineHeight = Metrics().height();
    const int height = int(lines.size()) * lineHeight;
    if (flags & DT_CALCRECT) {
        rect.Bottom = rect.Top + height;
        return height;
    }
    if (!FPainter || rect.Width() <= 0 || rect.Height() <= 0)
        return height;
    FPainter->save();
    FPainter->setClipRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()),
                          Qt::IntersectClip);
    const QFontMetrics m = Metrics();
    for (int i = 0; i < lines.size(); ++i) {
        const int y = rect.Top + i * lineHeight;
        if (y >= rect.Bottom)
            break;
        int x = rect.Left;
        if (flags & (DT_CENTER | DT_RIGHT)) {
            const int w = m.horizontalAdvance(lines[i]);
            x = (flags & DT_CENTER) ? rect.Left + (rect.Width() - w) / 2 : rect.Right - w;
        }
        DrawTextAt(x, y, lines[i]);
    }
    FPainter->restore();
    return height;
}

void TLRCanvas::TextOut(int x, int y, const QString& text) {
    if (!FPainter || text.isEmpty())
        return;
    FPainter->save();
    FPainter->translate(x, y);
    if (FFont.Escapement != 0)
        FPainter->rotate(-FFont.Escapement / 10.0);
    DrawTextAt(0, 0, text);
    FPainter->restore();
}

void TLRCanvas::TextRect(const TRect& clip, int x, int y, const QString& text) {
    if (!FPainter || clip.Width() <= 0 || clip.Height() <= 0)
        return;
    FPainter->save();
    FPainter->setClipRect(QRect(clip.Left, clip.Top, clip.Width(), clip.Height()),
                          Qt::IntersectClip);
    TextOut(x, y, text);
    FPainter->restore();
}

void TLRCanvas::StretchDraw(const TRect& rect, const QImage& image) {
    if (!FPainter || image.isNull() || rect.Width() == 0 || rect.Height() == 0)
        return;
    FPainter->save();
    FPainter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    FPainter->drawImage(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), image);
    FPainter->restore();
}

QStringList SplitLines(const QString& text, int extent,
                       const std::function<int(const QString&)>& width) {
    // Start offsets of the characters, a surrogate pair counting as one.
    std::vector<int> starts;
    for (int i = 0; i < text.size(); ++i) {
        starts.push_back(i);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    const int m = int(starts.size());
    auto chars = [&](int from, int to) { // characters from..to-1
        const int begin = from < m ? starts[size_t(from)] : int(text.size());
        const int end = to < m ? starts[size_t(to)] : int(text.size());
        return text.mid(begin, end - begin);
    };
    QStringList lines;
    int a = 0;
    for (int k = 0; k < m - 1; ++k) {
        if (width(chars(a, k + 1)) > extent) {
            lines << chars(a, k);
            a = k;
        }
    }
    lines << chars(a, m);
    return lines;
}

QStringList SplitLines(const QString& text, int extent, const QFontMetrics& metrics) {
    return SplitLines(text, extent, [&](const QString& s) { return metrics.horizontalAdvance(s); });
}

// ---- controls -------------------------------------------------------------------------

TLRControl::TLRControl(TLRControl* owner) : FOwner(owner) {
    if (owner)
        owner->FComponents.push_back(this);
}

TLRControl::~TLRControl() {
    while (!FComponents.empty())
        delete FComponents.back();
    if (FParent) {
        auto& list = FParent->FChildren;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    if (FOwner) {
        auto& list = FOwner->FComponents;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

TLRControl* TLRControl::FindComponent(const QString& name) const {
    for (TLRControl* c : FComponents) {
        if (c->Name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
        if (TLRControl* inner = c->FindComponent(name))
            return inner;
    }
    return nullptr;
}

void TLRControl::CheckParent(TLRWinControl*&) {}

void TLRControl::SetParent(TLRWinControl* parent) {
    CheckParent(parent);
    if (parent == FParent)
        return;
    for (TLRControl* p = parent; p; p = p->FParent)
        if (p == this)
            return; // a control cannot hold itself
    TLRWinControl* old = FParent;
    if (old) {
        auto& list = old->FChildren;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FParent = parent;
    if (parent)
        parent->FChildren.push_back(this);
    if (FAlign != alNone) {
        if (old)
            old->Realign();
        if (parent)
            parent->Realign();
    }
}

void TLRControl::PlaceBounds(int left, int top, int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    const bool sized = width != FWidth || height != FHeight;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (sized)
        Resized();
}

void TLRControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
        return;
    const bool sized = width != FWidth || height != FHeight;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (FParent && FAlign != alNone)
        FParent->Realign();
    if (sized)
        Resized();
}

void TLRControl::SetAlign(TAlign align) {
    if (align == FAlign)
        return;
    FAlign = align;
    if (FParent)
        FParent->Realign();
}

const TLRFont& TLRControl::Font() const {
    if (FParentFont && FParent)
        return FParent->Font();
    return FFont;
}

void TLRControl::SetFont(const TLRFont& font) {
    FFont = font;
    FParentFont = false;
}

TLRFont& TLRControl::EditFont() {
    if (FParentFont) {
        FFont = Font();
        FParentFont = false;
    }
    return FFont;
}

TLRWinControl::~TLRWinControl() {
    for (TLRControl* child : FChildren)
        child->FParent = nullptr;
    FChildren.clear();
}

void TLRWinControl::Realign() {
    if (FAligning || FAlignLock > 0)
        return;
    FAligning = true;
    TRect area = DockingArea();
    auto group = [&](TAlign align) {
        std::vector<TLRControl*> list;
        for (TLRControl* c : FChildren)
            if (c->FAlign == align)
                list.push_back(c);
        auto key = [align](const TLRControl* c) {
            switch (align) {
            case alTop:
                return c->FTop;
            case alBottom:
                return -(c->FTop + c->FHeight);
            case alLeft:
                return c->FLeft;
            case alRight:
                return -(c->FLeft + c->FWidth);
            default:
                return 0;
            }
        };
        std::stable_sort(list.begin(), list.end(),
                         [&](const TLRControl* a, const TLRControl* b) { return key(a) < key(b); });
        return list;
    };
    for (TLRControl* c : group(alTop)) {
        c->PlaceBounds(area.Left, area.Top, area.Width(), c->FHeight);
        area.Top += c->FHeight;
    }
    for (TLRControl* c : group(alBottom)) {
        c->PlaceBounds(area.Left, area.Bottom - c->FHeight, area.Width(), c->FHeight);
        area.Bottom -= c->FHeight;
    }
    for (TLRControl* c : group(alLeft)) {
        c->PlaceBounds(area.Left, area.Top, c->FWidth, area.Height());
        area.Left += c->FWidth;
    }
    for (TLRControl* c : group(alRight)) {
        c->PlaceBounds(area.Right - c->FWidth, area.Top, c->FWidth, area.Height());
        area.Right -= c->FWidth;
    }
    for (TLRControl* c : group(alClient))
        c->PlaceBounds(area.Left, area.Top, area.Width(), area.Height());
    FAligning = false;
}

// ---- panels ---------------------------------------------------------------------------

TCustomLRPanel::TCustomLRPanel(TLRControl* owner) : TLRWinControl(owner) {
    PlaceBounds(0, 0, 185, 100);
    SetAlign(alTop);
}

TCustomLRPanel::~TCustomLRPanel() {
    for (TLRGridPanel* grid : FSubPanelOf)
        if (grid->FSubPanel == this)
            grid->FSubPanel = nullptr;
}

void TCustomLRPanel::Print(TLRCanvas&, const TRect&, double) {}

TLRAlign TCustomLRPanel::LRAlign() const {
    switch (Align()) {
    case alTop:
        return laTop;
    case alLeft:
        return laLeft;
    case alRight:
        return laRight;
    case alBottom:
        return laBottom;
    default:
        return laClient;
    }
}

void TCustomLRPanel::SetLRAlign(TLRAlign align) {
    static const TAlign map[] = {alTop, alLeft, alRight, alBottom, alClient};
    SetAlign(map[align]);
}

void TCustomLRPanel::PrintChildren(TLRCanvas& canvas, int originX, int originY, TPrintStatus status,
                                   double scale, bool layoutPanelsOnly) {
    const auto& children = Children();
    for (size_t i = 0; i < children.size(); ++i) {
        TLRControl* child = children[i];
        if (!child->Enabled())
            continue;
        TRect r = child->BoundsRect();
        r.Left += originX;
        r.Right += originX;
        r.Top += originY;
        r.Bottom += originY;
        if (auto* item = dynamic_cast<TCustomLRItem*>(child)) {
            item->Print(canvas, r, status, scale);
        } else if (auto* panel = dynamic_cast<TCustomLRPanel*>(child)) {
            if (layoutPanelsOnly && !dynamic_cast<TLRLayoutPanel*>(panel))
                continue;
            panel->Print(canvas, r, scale);
        }
    }
}

TLRLayoutPanel::TLRLayoutPanel(TLRControl* owner) : TCustomLRPanel(owner) {}

void TLRLayoutPanel::CheckParent(TLRWinControl*& parent) {
    if (auto* grid = dynamic_cast<TLRGridPanel*>(parent))
        parent = grid->ChildPanel();
    if (parent && !dynamic_cast<TLightRep*>(parent) && !dynamic_cast<TLRLayoutPanel*>(parent) &&
        !dynamic_cast<TLRChildPanel*>(parent))
        throw ELRError(LRMessages::OnlyOnRepOrLayout);
}

void TLRLayoutPanel::Print(TLRCanvas& canvas, const TRect& rect, double scale) {
    TPrintStatus status = stPrint;
    if (BeforePrint)
        BeforePrint(this, rect, status);
    if (status == stSkip)
        return;
    PrintChildren(canvas, rect.Left, rect.Top, status, scale, false);
    if (AfterPrint)
        AfterPrint(this);
}

TLRChildPanel::TLRChildPanel(TLRControl* owner) : TCustomLRPanel(owner) {}

TLRSubPanel::TLRSubPanel(TLRControl* owner) : TLRChildPanel(owner) {
    SetAlign(alNone);
    Visible = false;
}

TLRSubPanel::~TLRSubPanel() {
    if (FGridPanel)
        FGridPanel->Detach(this);
}

void TLRSubPanel::CheckParent(TLRWinControl*& parent) {
    if (dynamic_cast<TLightRep*>(parent) || dynamic_cast<TCustomLRPanel*>(parent))
        throw ELRError(LRMessages::NotOnRep);
}

void TLRSubPanel::SetGridPanel(TLRGridPanel* grid) {
    if (grid == FGridPanel)
        return;
    if (FGridPanel)
        FGridPanel->Detach(this);
    if (grid)
        grid->Attach(this);
}

TLRGridPanel::TLRGridPanel(TLRControl* owner) : TCustomLRPanel(owner) {
    FChildPanel = new TLRChildPanel(this);
    FChildPanel->Name = QStringLiteral("ChildPanel");
    FChildPanel->FGrid = this;
    FChildPanel->SetAlign(alClient);
    FChildPanel->SetParent(this);
}

TLRGridPanel::~TLRGridPanel() {
    SetSubPanel(nullptr);
    for (TLRSubPanel* panel : FSubPanels)
        panel->FGridPanel = nullptr;
    FSubPanels.clear();
}

void TLRGridPanel::SetSubPanel(TCustomLRPanel* panel) {
    if (panel == FSubPanel)
        return;
    if (FSubPanel) {
        auto& list = FSubPanel->FSubPanelOf;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FSubPanel = panel;
    if (panel)
        panel->FSubPanelOf.push_back(this);
}

void TLRGridPanel::CheckParent(TLRWinControl*& parent) {
    if (parent && !dynamic_cast<TLightRep*>(parent) && !dynamic_cast<TLRLayoutPanel*>(parent))
        throw ELRError(LRMessages::OnlyOnRepOrLayout);
}

TRect TLRGridPanel::DockingArea() const {
    int w = Width(), h = Height();
    if (FColCount > 1)
        w /= FColCount;
    if (FRowCount > 1)
        h /= FRowCount;
    return Rect(0, 0, w, h);
}

void TLRGridPanel::Realign() {
    TLRWinControl::Realign();
    if (!FChildPanel)
        return;
    for (TLRSubPanel* panel : FSubPanels)
        panel->PlaceBounds(panel->Left(), panel->Top(), FChildPanel->Width(),
                           FChildPanel->Height());
}

void TLRGridPanel::SetColCount(int value) {
    if (value == FColCount)
        return;
    if (value < 1 || Width() / value < 10)
        throw ELRError(LRMessages::ColCountRange);
    FColCount = value;
    Realign();
}

void TLRGridPanel::SetRowCount(int value) {
    if (value == FRowCount)
        return;
    if (value < 1 || Height() / value < 10)
        throw ELRError(LRMessages::RowCountRange);
    FRowCount = value;
    Realign();
}

void TLRGridPanel::Attach(TLRSubPanel* panel) {
    FSubPanels.push_back(panel);
    panel->FGridPanel = this;
    panel->PlaceBounds(panel->Left(), panel->Top(), FChildPanel->Width(), FChildPanel->Height());
}

void TLRGridPanel::Detach(TLRSubPanel* panel) {
    FSubPanels.erase(std::remove(FSubPanels.begin(), FSubPanels.end(), panel), FSubPanels.end());
    panel->FGridPanel = nullptr;
    if (FSubPanel == panel)
        FSubPanel = nullptr;
}

TRect TLRGridPanel::CellRect(const TRect& rect, int col, int row) const {
    const long long w = Width(), h = Height(), c = FColCount, n = FRowCount;
    TRect r;
    r.Left = rect.Left + int(w * col / c);
    r.Top = rect.Top + int(h * row / n);
    r.Right = r.Left + int(w * (col + 1) / c - w * col / c);
    r.Bottom = r.Top + int(h * (row + 1) / n - h * row / n);
    return r;
}

void TLRGridPanel::Print(TLRCanvas& canvas, const TRect& rect, double scale) {
    TPrintStatus status = stPrint;
    if (BeforePrint)
        BeforePrint(this, rect, status);
    if (status == stSkip)
        return;
    if (PrintDirection == pdVert) {
        for (int col = 0; col < FColCount; ++col)
            for (int row = 0; row < FRowCount; ++row)
                PrintCell(canvas, rect, col, row, scale);
    } else {
        for (int row = 0; row < FRowCount; ++row)
            for (int col = 0; col < FColCount; ++col)
                PrintCell(canvas, rect, col, row, scale);
    }
    if (AfterPrint)
        AfterPrint(this);
}

void TLRGridPanel::PrintCell(TLRCanvas& canvas, const TRect& rect, int col, int row, double scale) {
    const TRect cell = CellRect(rect, col, row);
    TPrintStatus status = stPrint;
    if (OnPrintPanel)
        OnPrintPanel(this, col, row, cell, status);
    if (status == stSkip)
        return;
    TCustomLRPanel* target = FSubPanel ? FSubPanel : FChildPanel;
    TBeforePrintEvent* before = nullptr;
    TNotifyEvent* after = nullptr;
    if (auto* child = dynamic_cast<TLRChildPanel*>(target)) {
        before = &child->BeforePrint;
        after = &child->AfterPrint;
    } else if (auto* layout = dynamic_cast<TLRLayoutPanel*>(target)) {
        before = &layout->BeforePrint;
        after = &layout->AfterPrint;
    } else if (auto* grid = dynamic_cast<TLRGridPanel*>(target)) {
        before = &grid->BeforePrint;
        after = &grid->AfterPrint;
    }
    if (before && *before)
        (*before)(target, cell, status);
    if (status == stSkip)
        return;
    target->PrintChildren(canvas, cell.Left, cell.Top, status, scale, true);
    if (after && *after)
        (*after)(target);
}

// ---- items ----------------------------------------------------------------------------

TCustomLRItem::TCustomLRItem(TLRControl* owner) : TLRControl(owner) {
    PlaceBounds(0, 0, 65, 17);
}

void TCustomLRItem::CheckParent(TLRWinControl*& parent) {
    if (auto* grid = dynamic_cast<TLRGridPanel*>(parent))
        parent = grid->ChildPanel();
    if (parent && !dynamic_cast<TCustomLRPanel*>(parent))
        throw ELRError(LRMessages::OnlyOnPanel);
}

void TCustomLRItem::Print(TLRCanvas&, const TRect&, TPrintStatus, double) {}

TCustomLRTextItem::TCustomLRTextItem(TLRControl* owner) : TCustomLRItem(owner) {}

void TCustomLRTextItem::SetHMargin(int value) {
    if (value >= -255 && value <= 255)
        FHMargin = value;
}

void TCustomLRTextItem::SetVMargin(int value) {
    if (value >= -255 && value <= 255)
        FVMargin = value;
}

TColor TCustomLRTextItem::Color() const {
    if (FParentColor && Parent())
        return Parent()->Color;
    return FColor;
}

void TCustomLRTextItem::SetColor(TColor color) {
    FColor = color;
    FParentColor = false;
}

void TCustomLRTextItem::SetLines(TLineStyle top, TLineStyle left, TLineStyle right,
                                 TLineStyle bottom) {
    LineTop = top;
    LineLeft = left;
    LineRight = right;
    LineBottom = bottom;
}

QString TCustomLRTextItem::GetDisplayText() const {
    if (DisplayMask.isEmpty() || Text.isEmpty())
        return Text;
    const bool numeric = std::all_of(Text.begin(), Text.end(), [](QChar c) {
        return c == u'+' || c == u'-' || c == u'.' || (c >= u'0' && c <= u'9');
    });
    if (numeric)
        return FormatFloat(DisplayMask, StrToFloat(Text));
    return FormatMaskText(DisplayMask, Text);
}

TRect TCustomLRTextItem::PrepareAndFill(TLRCanvas& canvas, const TRect& rect, double scale) const {
    canvas.BrushColor = Color();
    canvas.BrushClear = Transparent;
    canvas.AssignFont(Font());
    if (!canvas.IsPrinter())
        canvas.Font().SetSize(Round(canvas.Font().Size() * scale));
    const TRect p = Rect(Trunc(rect.Left * scale), Trunc(rect.Top * scale),
                         Trunc((rect.Right - 1) * scale), Trunc((rect.Bottom - 1) * scale));
    const int k = Round(scale);
    canvas.FillRect(Rect(p.Left - k, p.Top - k, p.Right, p.Bottom));
    return p;
}

TRect TCustomLRTextItem::TextRect(TLRCanvas& canvas, const QString& text, const TRect& p,
                                  double scale, unsigned& flags, int& measured) const {
    flags = WordWrap ? DT_WORDBREAK : DT_SINGLELINE;
    if (Alignment == taRightJustify)
        flags |= DT_RIGHT;
    else if (Alignment == taCenter)
        flags |= DT_CENTER;
    const int lineHeight = canvas.TextHeight(QStringLiteral("|"));
    const int hm = Trunc(FHMargin * scale), vm = Trunc(FVMargin * scale);
    TRect m = Rect(0, 0, p.Right - p.Left - hm, lineHeight);
    canvas.DrawText(text, m, flags | DT_CALCRECT);
    measured = m.Bottom;
    TRect t = p;
    if (Alignment == taLeftJustify)
        t.Left += hm;
    else if (Alignment == taRightJustify)
        t.Right -= hm;
    if (Layout == tlTop)
        t.Top += vm;
    else if (Layout == tlBottom)
        t.Top = p.Bottom - vm - measured;
    else
        t.Top += (p.Bottom - p.Top - measured) / 2;
    return t;
}

void TCustomLRTextItem::DrawFrame(TLRCanvas& canvas, const TRect& p, double scale) const {
    canvas.PenColor = LineColor;
    const int o = Trunc(scale);
    auto width = [scale](TLineStyle style) {
        switch (style) {
        case lsSingle:
            return Trunc(1.2 * scale);
        case lsHalf:
            return Trunc(scale / 2);
        case lsDouble:
            return Trunc(2 * scale);
        default:
            return 0;
        }
    };
    if (LineTop != lsNone) {
        canvas.PenWidth = width(LineTop);
        canvas.MoveTo(p.Left - o, p.Top - o);
        canvas.LineTo(p.Right, p.Top - o);
    }
    if (LineLeft != lsNone) {
        canvas.PenWidth = width(LineLeft);
        canvas.MoveTo(p.Left - o, p.Top - o);
        canvas.LineTo(p.Left - o, p.Bottom);
    }
    if (LineRight != lsNone) {
        canvas.PenWidth = width(LineRight);
        canvas.MoveTo(p.Right, p.Top - o);
        canvas.LineTo(p.Right, p.Bottom);
    }
    if (LineBottom != lsNone) {
        canvas.PenWidth = width(LineBottom);
        canvas.MoveTo(p.Left - o, p.Bottom);
        canvas.LineTo(p.Right, p.Bottom);
    }
}

TLRItem::TLRItem(TLRControl* owner) : TCustomLRTextItem(owner) {}

void TLRItem::Print(TLRCanvas& canvas, const TRect& rect, TPrintStatus status, double scale) {
    if (status == stSkip)
        return;
    const TRect p = PrepareAndFill(canvas, rect, scale);
    if (status == stPrint) {
        const QString text = GetDisplayText();
        unsigned flags = 0;
        int measured = 0;
        TRect t = TextRect(canvas, text, p, scale, flags, measured);
        canvas.DrawText(text, t, flags);
    }
    DrawFrame(canvas, p, scale);
}

TLRItem2::TLRItem2(TLRControl* owner) : TCustomLRTextItem(owner) {}

void TLRItem2::Print(TLRCanvas& canvas, const TRect& rect, TPrintStatus status, double scale) {
    if (status == stSkip)
        return;
    const TRect p = PrepareAndFill(canvas, rect, scale);
    if (status == stPrint) {
        const QString text = GetDisplayText();
        unsigned flags = 0;
        int measured = 0;
        const TRect t = TextRect(canvas, text, p, scale, flags, measured);

        // The turned font: the canvas font's height as a cell height, at the angle.
        static const int angles[] = {0, 900, 1800, 2700};
        TLRFont turned = canvas.Font();
        turned.Height = -turned.Height;
        turned.Escapement = angles[Escapement];
        canvas.Font() = turned;

        int x0 = t.Left, y0 = t.Top;
        switch (Escapement) {
        case esLeft:
            y0 = t.Bottom;
            break;
        case esTurn:
            x0 = t.Right;
            y0 = t.Bottom;
            break;
        case esRight:
            x0 = t.Right;
            break;
        default:
            break;
        }
        const int extent =
            (Escapement == esLeft || Escapement == esRight) ? t.Bottom - t.Top : t.Right - t.Left;
        const QStringList lines = SplitLines(text, extent, canvas.Metrics());
        if (WordWrap) {
            const int n = std::min<int>(int(lines.size()), WordWrapNum);
            for (int i = 0; i < n; ++i) {
                const int th = canvas.TextHeight(lines[i]);
                const int y = Layout == tlBottom ? t.Bottom - th * (n - i) : y0 + i * th;
                const int x =
                    Alignment == taCenter ? x0 + (extent - canvas.TextWidth(lines[i])) / 2 : x0;
                if (y >= p.Top)
                    canvas.TextOut(x, y, lines[i]);
                else if (y + th > p.Top)
                    canvas.TextRect(Rect(x, p.Top, p.Right, y + th), x, y, lines[i]);
            }
        } else if (!lines.isEmpty()) {
            const int x =
                Alignment == taCenter ? x0 + (extent - canvas.TextWidth(lines[0])) / 2 : x0;
            canvas.TextOut(x, y0, lines[0]);
        }
    }
    DrawFrame(canvas, p, scale);
}

// ---- report ---------------------------------------------------------------------------

TLightRep::TLightRep(TLRControl* owner) : TLRWinControl(owner) {
    PlaceBounds(0, 0, FPaperWidth, FPaperHeight);
    FPrinter = ::Printer();
    FSeenPrinterIndex = FPrinter ? FPrinter->PrinterIndex() : -1;
}

TLightRep::~TLightRep() {
    if (FState == TReportState::Printing && FPrinter) {
        try {
            FPrinter->Abort();
        } catch (...) {
        }
    }
}

void TLightRep::CheckParent(TLRWinControl*& parent) {
    if (parent)
        throw ELRError(LRMessages::OnlyOnForm);
}

TRect TLightRep::DockingArea() const {
    return Rect(1 + FMargin[0], 1 + FMargin[1], Width() - 1 - FMargin[2],
                Height() - 1 - FMargin[3]);
}

void TLightRep::SetMargin(int which, int value) {
    if (value == FMargin[which] || value <= 0 || value >= Width() / 2)
        return;
    FMargin[which] = value;
    Realign();
}

void TLightRep::SetMargins(int v) {
    SetMarginLeft(v);
    SetMarginTop(v);
    SetMarginRight(v);
    SetMarginBottom(v);
}

void TLightRep::PaperDimensions(TPaperSize paper, int& width, int& height) {
    switch (paper) {
    case psA4:
        width = 794, height = 1123;
        break;
    case psB4:
        width = 945, height = 1338;
        break;
    case psB5:
        width = 688, height = 971;
        break;
    case psA3:
        width = 1123, height = 1587;
        break;
    case psA5:
        width = 559, height = 794;
        break;
    default:
        width = 0, height = 0;
        break;
    }
}

void TLightRep::ApplyPaper() {
    if (FPaperSize == psNone)
        return;
    int w = 0, h = 0;
    PaperDimensions(FPaperSize, w, h);
    if (FOrientation == poLandscape)
        std::swap(w, h);
    FPaperWidth = w;
    FPaperHeight = h;
    if (Width() != w || Height() != h)
        PlaceBounds(Left(), Top(), w, h);
}

void TLightRep::SetPaperSize(TPaperSize value) {
    if (value == FPaperSize)
        return;
    FPaperSize = value;
    ApplyPaper();
}

void TLightRep::SetOrientation(TPrinterOrientation value) {
    if (value == FOrientation)
        return;
    FOrientation = value;
    if (!FLoading)
        ApplyPaper();
}

void TLightRep::Loaded() {
    FLoading = false;
    ApplyPaper();
    Visible = false;
}

void TLightRep::SetBounds(int left, int top, int width, int height) {
    if (FPaperSize != psNone && !FLoading) {
        width = FPaperWidth;
        height = FPaperHeight;
    }
    TLRWinControl::SetBounds(left, top, width, height);
}

void TLightRep::SetPrinter(TPrinter* printer) {
    if (printer)
        FPrinter = printer;
}

void TLightRep::SetupPrinter() {
    if (!FPrinter)
        throw ELRError(LRMessages::PaperSetupError);
    QString device, driver, port;
    TDeviceModeHandle mode;
    const int index = FPrinter->PrinterIndex();
    if (index != FSeenPrinterIndex) {
        // A newly selected printer starts from its driver's defaults.
        FPrinter->GetPrinter(device, driver, port, mode);
        FPrinter->SetPrinter(device, driver, port, nullptr);
        FSeenPrinterIndex = index;
    }
    if (FPaperSize == psNone) {
        if (OnSetPrinter)
            OnSetPrinter(this);
        return;
    }
    FPrinter->GetPrinter(device, driver, port, mode);
    TDeviceMode* dm = FPrinter->LockDeviceMode(mode);
    if (!dm)
        throw ELRError(LRMessages::PaperSetupError);
    static const int16_t paperCodes[] = {0,          DMPAPER_A4, DMPAPER_B4,
                                         DMPAPER_B5, DMPAPER_A3, DMPAPER_A5};
    dm->PaperSize = paperCodes[FPaperSize];
    dm->Orientation = FOrientation == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    FPrinter->UnlockDeviceMode(mode);
    FPrinter->SetPrinter(device, driver, port, mode);
}

void TLightRep::BeginDoc() {
    if (FState == TReportState::Printing)
        throw ELRError(LRMessages::PrinterBusy);
    if (FState == TReportState::Previewing)
        EndPreview();
    if (LastPage != 0 && LastPage < FirstPage) {
        LastPage = FirstPage;
        throw ELRError(LRMessages::PageRangeWrong);
    }
    SetupPrinter();
    FPrinter->SetTitle(Title);
    FPrinter->BeginDoc();
    const int dpi = FPrinter->GetDeviceCaps(LOGPIXELSY);
    FPrinterCanvas = std::make_unique<TLRCanvas>(FPrinter->Canvas(), dpi > 0 ? dpi : 96, FPrinter);
    FPrintCanvas = FPrinterCanvas.get();
    FState = TReportState::Printing;
    FPageNumber = 0;
    if ((FirstPage > 1 || LastPage > 0) && !FSkipBitmap) {
        FSkipBitmap = std::make_unique<TLRBitmap>();
        FSkipBitmap->SetPixelFormat(TPixelFormat::pf1bit);
        FSkipCanvas = std::make_unique<TLRCanvas>(nullptr, 96, nullptr);
    }
}

void TLightRep::PrintPage() {
    if (FState != TReportState::Printing)
        throw ELRError(LRMessages::NoBeginDoc);
    ++FPageNumber;
    if (FirstPage <= FPageNumber && (LastPage == 0 || FPageNumber <= LastPage)) {
        FPrinterCanvas->SetPainter(FPrinter->Canvas());
        FPrintCanvas = FPrinterCanvas.get();
        const int dpi = FPrinter->GetDeviceCaps(LOGPIXELSY);
        FPrintScale = dpi > 0 ? dpi / 96.0 : 1.0;
    } else {
        if (!FSkipCanvas) {
            FSkipBitmap = std::make_unique<TLRBitmap>();
            FSkipBitmap->SetPixelFormat(TPixelFormat::pf1bit);
            FSkipCanvas = std::make_unique<TLRCanvas>(nullptr, 96, nullptr);
        }
        FPrintScale = 1.0;
        FPrintCanvas = FSkipCanvas.get();
    }
    DrawPage();
}

void TLightRep::DrawPage() {
    int dx = 0, dy = 0;
    if (FState == TReportState::Printing) {
        dx = Trunc(FPrinter->GetDeviceCaps(PHYSICALOFFSETX) / FPrintScale);
        dy = Trunc(FPrinter->GetDeviceCaps(PHYSICALOFFSETY) / FPrintScale);
    }
    const auto& children = Children();
    for (size_t i = 0; i < children.size(); ++i) {
        auto* panel = dynamic_cast<TCustomLRPanel*>(children[i]);
        if (!panel || !panel->Enabled())
            continue;
        TRect r = panel->BoundsRect();
        r.Left -= dx;
        r.Right -= dx;
        r.Top -= dy;
        r.Bottom -= dy;
        panel->Print(*FPrintCanvas, r, FPrintScale);
    }
}

void TLightRep::NewPage() {
    if (FPrinter && FPrinter->Printing() && FirstPage <= FPageNumber &&
        (LastPage == 0 || FPageNumber < LastPage))
        FPrinter->NewPage();
}

void TLightRep::ReleaseSkip() {
    FSkipBitmap.reset();
    FSkipCanvas.reset();
}

void TLightRep::FinishDocument(bool abort) {
    if (FState == TReportState::Printing) {
        FState = TReportState::Idle;
        FPrintCanvas = nullptr;
        FPrinterCanvas.reset();
        ReleaseSkip();
        if (abort)
            FPrinter->Abort();
        else
            FPrinter->EndDoc();
    }
    ReleaseSkip();
}

void TLightRep::EndDoc() {
    FinishDocument(false);
}

void TLightRep::Abort() {
    FinishDocument(true);
}

void TLightRep::BeginPreview() {
    if (FState == TReportState::Printing)
        throw ELRError(LRMessages::PreviewWhilePrinting);
    FState = TReportState::Previewing;
    FPageNumber = 0;
}

void TLightRep::PreviewPage(TLRCanvas& canvas) {
    if (FState != TReportState::Previewing)
        BeginPreview();
    FPrintScale = PreviewZoom < 1 ? 1.0 : double(PreviewZoom);
    FPrintCanvas = &canvas;
    ++FPageNumber;
    DrawPage();
}

void TLightRep::EndPreview() {
    if (FState != TReportState::Previewing)
        return;
    FState = TReportState::Idle;
    FPageNumber = 0;
    FPrintCanvas = nullptr;
}
