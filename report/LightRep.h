#pragma once
// The report layout model: a page is a tree of report components (the report root,
// layout panels, grid panels with their cell panels, text items) drawn onto a printer
// canvas or a bitmap canvas in report units of 96 per inch, and the report's page-level
// operations (printer set-up, document and page control, preview rendering).
#include "LRGraphics.h"
#include "LRPrinter.h"
#include "services/CException.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

// ---- basic types ----------------------------------------------------------------------

// Colours are 0x00BBGGRR.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clGray = 0x808080;
constexpr TColor clRed = 0x0000FF;
// The system window colour of panels (never drawn).
constexpr TColor clWindow = 0xFFFFFF;
QColor ColorToQColor(TColor color);

// A rectangle with exclusive right and bottom edges.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};
inline TRect Rect(int left, int top, int right, int bottom) {
    return {left, top, right, bottom};
}
inline TRect Bounds(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

// Integer helpers with the platform's rounding: MulDiv rounds halves away from zero,
// Round takes halves to even, Trunc goes toward zero.
int MulDiv(int number, int numerator, int denominator);
int Round(double value);
inline int Trunc(double value) {
    return static_cast<int>(value);
}

// The print engine's error.
class ELRError : public Exception {
public:
    using Exception::Exception;
};

enum TLRAlign { laTop, laLeft, laRight, laBottom, laClient };
enum TPrintDirection { pdHorz, pdVert, pdHolz };
enum TLineStyle { lsNone, lsSingle, lsHalf, lsDouble };
enum TEscapementStatus { esNormal, esLeft, esTurn, esRight };
enum TPaperSize { psNone, psA4, psB4, psB5, psA3, psA5 };
enum TPrinterOrientation { poPortrait, poLandscape };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TPrintStatus { stPrint = 0, stFrameOnly = 1, stSkip = 2 };
// How a control is docked in its parent.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Text drawing flags.
enum : unsigned {
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_CALCRECT = 0x400,
};

// A font as the components hold it: Height is negative for a character height and
// positive for a cell height, in pixels at PixelsPerInch; Size is in points.
struct TLRFont {
    QString Name = QStringLiteral("ＭＳ Ｐゴシック");
    int Height = -12;
    int PixelsPerInch = 96;
    TColor Color = clBlack;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    int Charset = 1;
    int Escapement = 0; // tenths of a degree, counter-clockwise

    int Size() const { return -MulDiv(Height, 72, PixelsPerInch); }
    void SetSize(int points) { Height = -MulDiv(points, PixelsPerInch, 72); }
    bool operator==(const TLRFont&) const = default;

    static TLRFont Points(const QString& name, int points);
    static TLRFont Pixels(const QString& name, int pixels);
};

// ---- canvas ---------------------------------------------------------------------------

// A drawing surface in device pixels: a printer page or a bitmap. A canvas without a
// painter measures text but draws nothing (the page filter's empty bitmap).
class TLRCanvas {
public:
    explicit TLRCanvas(QPainter* painter = nullptr, int pixelsPerInch = 96,
                       TPrinter* printer = nullptr);

    QPainter* Painter() const { return FPainter; }
    void SetPainter(QPainter* painter) { FPainter = painter; }
    TPrinter* Printer() const { return FPrinter; }
    bool IsPrinter() const { return FPrinter != nullptr; }
    int PixelsPerInch() const { return FPixelsPerInch; }

    TColor BrushColor = clWhite;
    bool BrushClear = false;
    TColor PenColor = clBlack;
    int PenWidth = 1;

    // The canvas font, measured at this canvas's resolution.
    TLRFont& Font() { return FFont; }
    // Takes a component's font: the same resolution copies the height, another one keeps
    // the point size.
    void AssignFont(const TLRFont& font);
    QFont QtFont() const;
    QFontMetrics Metrics() const;

    void FillRect(const TRect& rect);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;
    // Draws (or with DT_CALCRECT measures, setting rect's bottom) text in rect, clipped to
    // it. Returns the height of the text.
    int DrawText(const QString& text, TRect& rect, unsigned flags);
    // Draws text with its cell's top-left corner at (x, y), in the font's direction.
    void TextOut(int x, int y, const QString& text);
    // TextOut clipped to clip.
    void TextRect(const TRect& clip, int x, int y, const QString& text);
    void StretchDraw(const TRect& rect, const QImage& image);

private:
    QStringList LayoutLines(const QString& text, int width, unsigned flags) const;
    void DrawTextAt(int x, int y, const QString& text);

    QPainter* FPainter;
    int FPixelsPerInch;
    TPrinter* FPrinter;
    TLRFont FFont;
    int FPenX = 0, FPenY = 0;
    mutable TLRFont FCachedFor;
    mutable QFont FCached;
    mutable bool FHaveCache = false;
};

// Breaks S into lines no wider than extent; the last character never causes a break and
// a character (a whole code point) is never split.
QStringList SplitLines(const QString& text, int extent,
                       const std::function<int(const QString&)>& width);
QStringList SplitLines(const QString& text, int extent, const QFontMetrics& metrics);

// ---- components -----------------------------------------------------------------------

class TLRWinControl;
class TLightRep;
class TCustomLRPanel;
class TLRGridPanel;

class TLRControl {
public:
    // The owner (may be null) frees the control with itself.
    explicit TLRControl(TLRControl* owner);
    virtual ~TLRControl();
    TLRControl(const TLRControl&) = delete;
    TLRControl& operator=(const TLRControl&) = delete;

    QString Name;
    bool Visible = true;

    TLRControl* Owner() const { return FOwner; }
    TLRWinControl* Parent() const { return FParent; }
    // Re-parents the control; a parent the control may not have raises ELRError and the
    // control keeps its parent.
    void SetParent(TLRWinControl* parent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }
    int ClientWidth() const { return FWidth; }
    int ClientHeight() const { return FHeight; }

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled) { FEnabled = enabled; }

    // The font in use (the parent's while ParentFont is set).
    const TLRFont& Font() const;
    // Setting a font of its own clears ParentFont.
    void SetFont(const TLRFont& font);
    // The font of its own, to change in place (clears ParentFont).
    TLRFont& EditFont();
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value) { FParentFont = value; }

    // Components owned by this one, in creation order.
    const std::vector<TLRControl*>& Components() const { return FComponents; }
    TLRControl* FindComponent(const QString& name) const;

protected:
    // Checks (and may redirect) a new parent; raises ELRError when it is not allowed.
    virtual void CheckParent(TLRWinControl*& parent);
    // Moves the control without docking it again (used by the docking itself).
    void PlaceBounds(int left, int top, int width, int height);
    virtual void Resized() {}

private:
    friend class TLRWinControl;
    TLRControl* FOwner = nullptr;
    TLRWinControl* FParent = nullptr;
    std::vector<TLRControl*> FComponents;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    bool FEnabled = true;
    bool FParentFont = true;
    TLRFont FFont;
};

// A control that holds children and docks them.
class TLRWinControl : public TLRControl {
public:
    using TLRControl::TLRControl;
    ~TLRWinControl() override;

    const std::vector<TLRControl*>& Children() const { return FChildren; }
    int ControlCount() const { return int(FChildren.size()); }
    TLRControl* Controls(int index) const { return FChildren.at(size_t(index)); }

    TColor Color = clWindow;

    // Docks the children anew.
    virtual void Realign();
    // Holds the docking back while a group of children is placed; the last EnableAlign
    // docks them.
    void DisableAlign() { ++FAlignLock; }
    void EnableAlign() {
        if (FAlignLock > 0 && --FAlignLock == 0)
            Realign();
    }

protected:
    // The area the docked children share, in the control's own coordinates.
    virtual TRect DockingArea() const { return ClientRect(); }
    void Resized() override { Realign(); }

private:
    friend class TLRControl;
    std::vector<TLRControl*> FChildren;
    bool FAligning = false;
    int FAlignLock = 0;
};

using TNotifyEvent = std::function<void(TLRControl* sender)>;
using TBeforePrintEvent =
    std::function<void(TLRControl* sender, const TRect& rect, TPrintStatus& status)>;
using TPrintPanelEvent = std::function<void(TLRGridPanel* sender, int col, int row,
                                            const TRect& rect, TPrintStatus& status)>;

class TCustomLRItem;

class TCustomLRPanel : public TLRWinControl {
public:
    explicit TCustomLRPanel(TLRControl* owner);
    // Draws the panel's contents; rect is the panel on the page in report units.
    virtual void Print(TLRCanvas& canvas, const TRect& rect, double scale);

    ~TCustomLRPanel() override;

    TLRAlign LRAlign() const;
    void SetLRAlign(TLRAlign align);

    // Draws the children at their bounds moved by origin: enabled items with status,
    // enabled panels through their own Print (or only layout panels in a cell).
    void PrintChildren(TLRCanvas& canvas, int originX, int originY, TPrintStatus status,
                       double scale, bool layoutPanelsOnly);

private:
    friend class TLRGridPanel;
    std::vector<TLRGridPanel*> FSubPanelOf; // grids drawing this panel in their cells
};

class TLRLayoutPanel : public TCustomLRPanel {
public:
    explicit TLRLayoutPanel(TLRControl* owner);
    void Print(TLRCanvas& canvas, const TRect& rect, double scale) override;
    TBeforePrintEvent BeforePrint;
    TNotifyEvent AfterPrint;

protected:
    void CheckParent(TLRWinControl*& parent) override;
};

class TLRChildPanel : public TCustomLRPanel {
public:
    explicit TLRChildPanel(TLRControl* owner);
    TBeforePrintEvent BeforePrint;
    TNotifyEvent AfterPrint;
    // The grid this panel is the cell of (null for a free-standing sub panel).
    TLRGridPanel* OwnerGrid() const { return FGrid; }

private:
    friend class TLRGridPanel;
    TLRGridPanel* FGrid = nullptr;
};

class TLRSubPanel : public TLRChildPanel {
public:
    explicit TLRSubPanel(TLRControl* owner);
    ~TLRSubPanel() override;
    TLRGridPanel* GridPanel() const { return FGridPanel; }
    // Attaches the panel to a grid (detaching it from its previous one first).
    void SetGridPanel(TLRGridPanel* grid);

protected:
    void CheckParent(TLRWinControl*& parent) override;

private:
    friend class TLRGridPanel;
    TLRGridPanel* FGridPanel = nullptr;
};

class TLRGridPanel : public TCustomLRPanel {
public:
    explicit TLRGridPanel(TLRControl* owner);
    ~TLRGridPanel() override;
    void Print(TLRCanvas& canvas, const TRect& rect, double scale) override;

    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    void SetColCount(int value);
    void SetRowCount(int value);
    TPrintDirection PrintDirection = pdHorz;
    TBeforePrintEvent BeforePrint;
    TNotifyEvent AfterPrint;
    TPrintPanelEvent OnPrintPanel;
    // The cell panel's own events.
    TBeforePrintEvent& BeforePrintPanel() { return FChildPanel->BeforePrint; }
    TNotifyEvent& AfterPrintPanel() { return FChildPanel->AfterPrint; }

    TLRChildPanel* ChildPanel() const { return FChildPanel; }
    TCustomLRPanel* SubPanel() const { return FSubPanel; }
    void SetSubPanel(TCustomLRPanel* panel);
    const std::vector<TLRSubPanel*>& SubPanels() const { return FSubPanels; }

    // The cell (col, row) on the page for a grid drawn at rect.
    TRect CellRect(const TRect& rect, int col, int row) const;

    void Realign() override;

protected:
    TRect DockingArea() const override;
    void CheckParent(TLRWinControl*& parent) override;

private:
    friend class TLRSubPanel;
    friend class TCustomLRPanel;
    void PrintCell(TLRCanvas& canvas, const TRect& rect, int col, int row, double scale);
    void Attach(TLRSubPanel* panel);
    void Detach(TLRSubPanel* panel);

    int FColCount = 1, FRowCount = 1;
    TLRChildPanel* FChildPanel = nullptr;
    TCustomLRPanel* FSubPanel = nullptr;
    std::vector<TLRSubPanel*> FSubPanels;
};

// ---- items ----------------------------------------------------------------------------

class TCustomLRItem : public TLRControl {
public:
    explicit TCustomLRItem(TLRControl* owner);
    // Draws the item; rect is its rectangle on the page in report units.
    virtual void Print(TLRCanvas& canvas, const TRect& rect, TPrintStatus status, double scale);
    bool ParentShowHint = true;

protected:
    void CheckParent(TLRWinControl*& parent) override;
};

// What the two text items share.
class TCustomLRTextItem : public TCustomLRItem {
public:
    explicit TCustomLRTextItem(TLRControl* owner);

    QString Text;
    QString DisplayMask;
    TAlignment Alignment = taLeftJustify;
    TTextLayout Layout = tlTop;
    bool WordWrap = false;
    bool Transparent = true;
    TColor LineColor = clBlack;
    TLineStyle LineTop = lsNone, LineLeft = lsNone, LineRight = lsNone, LineBottom = lsNone;

    int HMargin() const { return FHMargin; }
    int VMargin() const { return FVMargin; }
    // Values outside -255..255 are ignored.
    void SetHMargin(int value);
    void SetVMargin(int value);
    // The colour in use (the parent's while ParentColor is set); setting one clears it.
    TColor Color() const;
    void SetColor(TColor color);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value) { FParentColor = value; }
    // All four frame lines at once.
    void SetLines(TLineStyle top, TLineStyle left, TLineStyle right, TLineStyle bottom);

    // Text with DisplayMask applied.
    QString GetDisplayText() const;

protected:
    // Steps shared by both items: font, background; returns the pixel rectangle P.
    TRect PrepareAndFill(TLRCanvas& canvas, const TRect& rect, double scale) const;
    // The text rectangle T and the measured height for P.
    TRect TextRect(TLRCanvas& canvas, const QString& text, const TRect& p, double scale,
                   unsigned& flags, int& measured) const;
    void DrawFrame(TLRCanvas& canvas, const TRect& p, double scale) const;

private:
    int FHMargin = 2, FVMargin = 2;
    TColor FColor = clWhite;
    bool FParentColor = false;
};

class TLRItem : public TCustomLRTextItem {
public:
    explicit TLRItem(TLRControl* owner);
    void Print(TLRCanvas& canvas, const TRect& rect, TPrintStatus status, double scale) override;
};

class TLRItem2 : public TCustomLRTextItem {
public:
    explicit TLRItem2(TLRControl* owner);
    void Print(TLRCanvas& canvas, const TRect& rect, TPrintStatus status, double scale) override;
    TEscapementStatus Escapement = esNormal;
    uint8_t WordWrapNum = 2;
};

// ---- report ---------------------------------------------------------------------------

enum class TReportState { Idle, Printing, Previewing };

class TLightRep : public TLRWinControl {
public:
    explicit TLightRep(TLRControl* owner = nullptr);
    ~TLightRep() override;

    // Margins: a value is taken only when it differs, is above 0 and below Width div 2.
    int MarginTop() const { return FMargin[1]; }
    int MarginLeft() const { return FMargin[0]; }
    int MarginRight() const { return FMargin[2]; }
    int MarginBottom() const { return FMargin[3]; }
    void SetMarginTop(int v) { SetMargin(1, v); }
    void SetMarginLeft(int v) { SetMargin(0, v); }
    void SetMarginRight(int v) { SetMargin(2, v); }
    void SetMarginBottom(int v) { SetMargin(3, v); }
    void SetMargins(int v);

    TPrinterOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TPrinterOrientation value);
    TPaperSize PaperSize() const { return FPaperSize; }
    void SetPaperSize(TPaperSize value);
    int PaperWidth() const { return FPaperWidth; }
    int PaperHeight() const { return FPaperHeight; }

    QString Title;
    int FirstPage = 0;
    int LastPage = 0;
    TNotifyEvent OnSetPrinter;

    // Form loading: while it runs the paper does not follow Orientation and resizing is
    // not undone; its end hides the report.
    void BeginLoad() { FLoading = true; }
    void Loaded();
    bool Loading() const { return FLoading; }

    void SetBounds(int left, int top, int width, int height) override;

    // Page-level state.
    TPrinter* Printer() const { return FPrinter; }
    void SetPrinter(TPrinter* printer);
    TReportState State() const { return FState; }
    int PageNumber() const { return FPageNumber; }
    TLRCanvas* PrintCanvas() const { return FPrintCanvas; }
    double PrintScale() const { return FPrintScale; }
    int PreviewZoom = 0;
    int SeenPrinterIndex() const { return FSeenPrinterIndex; }
    TLRBitmap* SkipBitmap() const { return FSkipBitmap.get(); }
    // The canvas of SkipBitmap (measures, draws nothing).
    TLRCanvas* SkipCanvas() const { return FSkipCanvas.get(); }

    void BeginDoc();
    void PrintPage();
    void NewPage();
    void EndDoc();
    void Abort();
    void BeginPreview();
    void PreviewPage(TLRCanvas& canvas);
    void EndPreview();
    void SetupPrinter();

    // Paper sizes of the fixed papers in report units, portrait.
    static void PaperDimensions(TPaperSize paper, int& width, int& height);

protected:
    TRect DockingArea() const override;
    void CheckParent(TLRWinControl*& parent) override;

private:
    void SetMargin(int which, int value);
    void ApplyPaper();
    void DrawPage();
    void ReleaseSkip();
    // Ends an open print document, sending it (EndDoc) or discarding it (Abort).
    void FinishDocument(bool abort);

    int FMargin[4] = {36, 36, 36, 36}; // left, top, right, bottom
    TPrinterOrientation FOrientation = poPortrait;
    TPaperSize FPaperSize = psA4;
    int FPaperWidth = 794, FPaperHeight = 1123;
    bool FLoading = false;

    TPrinter* FPrinter = nullptr;
    TReportState FState = TReportState::Idle;
    int FPageNumber = 0;
    TLRCanvas* FPrintCanvas = nullptr;
    double FPrintScale = 0;
    int FSeenPrinterIndex = -1;
    std::unique_ptr<TLRBitmap> FSkipBitmap;
    std::unique_ptr<TLRCanvas> FSkipCanvas;
    std::unique_ptr<TLRCanvas> FPrinterCanvas;
};

// Messages of the engine's checks.
namespace LRMessages {
inline const QString OnlyOnForm = QStringLiteral("フォーム上にのみ配置できます．");
inline const QString OnlyOnRepOrLayout =
    QStringLiteral("TLightRep上かTLRLayoutPanelにのみ配置できます．");
inline const QString NotOnRep = QStringLiteral("TLightRep上には配置できません．");
inline const QString OnlyOnPanel = QStringLiteral("パネル上にのみ配置できます．");
inline const QString ColCountRange = QStringLiteral("列数が有効範囲を超えています．");
inline const QString RowCountRange = QStringLiteral("行数が有効範囲を超えています．");
inline const QString PaperSetupError = QStringLiteral("用紙設定時にエラーが発生しました．");
inline const QString PrinterBusy = QStringLiteral("プリンタは印刷中です．");
inline const QString PageRangeWrong = QStringLiteral("印刷ページ範囲が正しくありません．");
inline const QString NoBeginDoc = QStringLiteral("BeginDocが呼び出されていません．");
inline const QString PreviewWhilePrinting =
    QStringLiteral("プリンタが印刷中のため、プレビューを開始できません．");
} // namespace LRMessages
