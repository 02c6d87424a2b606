#pragma once
// The thumbnail grid: equal cells left to right and top to bottom, each with a scaled
// picture, a caption line and the file name in up to two lines. It scrolls vertically only
// and knows one selected item. All of it runs on the window thread.
#include "printjobs/c_PrintItems.h"

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QPainter;
class QScrollBar;
class TThumbListView;

// One grid item. Info always holds nine strings: 0 status ("" or "Finished"), 1 file name,
// 2 full path, 3 size in bytes, 4 file date, 5 shooting date, 6 width, 7 height, 8 caption.
class TThumbnailData {
public:
    TThumbnailData();

    QImage Bitmap;
    QString FileName;
    QStringList Info;
    // The picture at the screen's device pixels when they are finer than the grid's (device
    // pixel ratio above 1), made from the cached thumbnail; null otherwise.
    QImage DeviceBitmap;
    // Why the picture could not be made; empty while it could or has not been tried.
    QString Error;

    // Info back to nine empty strings, and no error.
    void ResetInfo();
};

// The child that draws the cells; it leaves a strip on the right for the scroll bar.
class TThumbSurface : public QWidget {
    Q_OBJECT
public:
    explicit TThumbSurface(TThumbListView* owner);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    TThumbListView* FOwner;
};

class TThumbListView : public QWidget, public TPrintItemList {
    Q_OBJECT
public:
    static constexpr int CellGap = 8;    // between cells and around them
    static constexpr int CellMargin = 8; // inside a cell, around picture and text
    static constexpr int ScrollBarWidth = 21;
    static constexpr int InfoCount = 9;
    static constexpr int FontPoints = 9;
    static const QColor SelectedColor;
    static const QColor CellColor;

    // Answers whether item a belongs after item b (Sort swaps them then).
    using TCompareEvent = std::function<bool(int a, int b)>;

    explicit TThumbListView(QWidget* parent = nullptr);
    ~TThumbListView() override;

    // Items
    void SetCount(int n);
    int Count() const override { return int(FItems.size()); }
    TThumbnailData* Item(int index) const;
    // The items as the page layouts read them.
    QStringList ItemInfo(int index) const override;
    QString ItemFileName(int index) const override;

    int Selected() const { return FSelected; }
    void SetSelected(int index);

    int ThumbWidth() const { return FThumbWidth; }
    int ThumbHeight() const { return FThumbHeight; }
    void SetThumbWidth(int w);
    void SetThumbHeight(int h);

    // Puts the source picture, stretched so that one side equals the thumbnail box, into the
    // item. prepared may hold ScaleThumbnail(source, box) made beforehand on another thread;
    // it is taken as it is when it was made for the present box.
    // preparedDevice may likewise hold the picture for a device pixel ratio above 1.
    void SetThumbnail(int index, const QImage& source, const QImage& prepared = QImage(),
                      const QImage& preparedDevice = QImage());
    // Marks the item's picture as unreadable, with the reason its tooltip gives.
    void SetThumbnailError(int index, const QString& reason);
    // The ratio of device pixels to the grid's pixels on the screen the grid is on.
    qreal DeviceRatio() const;
    // The picture for a device pixel ratio: the source stretched into the box times the
    // ratio, tagged with the ratio; null at a ratio of 1 or less.
    static QImage ScaleDeviceThumbnail(const QImage& source, int boxWidth, int boxHeight,
                                       qreal ratio);
    // The size SetThumbnail gives a source picture in a box, and the stretch itself. Both are
    // free of widget state, so the loader may call them on its own thread.
    static QSize ThumbnailSize(const QSize& source, int boxWidth, int boxHeight);
    static QImage ScaleThumbnail(const QImage& source, int boxWidth, int boxHeight);

    TCompareEvent OnCompare;
    // Answers, for every item in grid order, its place in the present order (equal items
    // equal numbers). When set, Sort asks it once instead of OnCompare for every pair.
    using TRankEvent = std::function<std::vector<int>()>;
    TRankEvent OnRank;
    // Exchange sort: for each i, every later j whose item belongs before item i is swapped
    // with it. The same swaps whether by OnCompare or by the ranks, ties included.
    void Sort();
    // The order Sort makes: every pair i < j is exchanged when after(i, j) says so. Shared
    // with `velmora print`, which orders items without a grid.
    static void ExchangeSort(int count, const std::function<bool(int, int)>& after,
                             const std::function<void(int, int)>& exchange);

    void SetDrawing(bool on);
    bool Drawing() const { return FDrawing; }

    int FirstVisible() const;
    int LastVisible() const;
    QRect CellRect(int index) const;
    int HitTest(const QPoint& point) const;

    // Adds the lines of a file name broken to the given width (whole characters only) to
    // lines, which already holds the caption line; at most two name lines are added.
    void WrapName(const QString& name, int maxWidth, QStringList& lines) const;

    void SetNoFileBitmap(const QImage& picture);
    const QImage& NoFileBitmap() const { return FNoFileBitmap; }

    // The menu that a right click on the cells opens (after selecting the cell).
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    QMenu* PopupMenu() const { return FPopupMenu; }

    // Derived geometry
    int CellWidth() const { return FThumbWidth + 2 * CellMargin; }
    int CellHeight() const { return FThumbHeight + 3 * FontHeight() + 3 * CellMargin; }
    int RowStep() const { return CellHeight() + CellGap; }
    int Columns() const { return FColumns; }
    int Rows() const { return FRows; }
    int ScrollRange() const { return FScrollRange; }
    int ScrollIncrement() const { return FThumbHeight / 16; }
    // Pixels one wheel notch scrolls: a quarter of a row at the desktop's usual three lines
    // per notch, in proportion to its setting.
    int WheelStep() const;
    // Scrolls by a wheel event: angle notches, or the pixel distance of touchpads and
    // high-resolution wheels.
    void ScrollByWheel(const QPoint& angleDelta, const QPoint& pixelDelta);
    // Scrolls as little as needed to show the whole cell.
    void EnsureVisible(int index);
    // Rows that fit the surface's height, at least 1.
    int RowsPerPage() const;
    // The selection a key moves to from the present one (-1 for keys that do not move it).
    int KeyTarget(int key) const;
    // The tooltip of an item: full name, file size, pixel size, shooting and file dates, and
    // why the picture could not be shown.
    QString ToolTipText(int index) const;
    int FontHeight() const { return FFontHeight; }
    int ScrollPosition() const;
    void SetScrollPosition(int position);

    QWidget* Surface() const { return FSurface; }
    QScrollBar* ScrollBar() const { return FScrollBar; }

    void RecalcLayout();

signals:
    // The selection changed through the mouse.
    void SelectionClicked(int index);
    // The selection moved through the keyboard.
    void SelectionMoved(int index);
    // Enter or a double-click on an item: open it.
    void ItemOpened(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TThumbSurface;

    std::vector<std::unique_ptr<TThumbnailData>> FItems;
    int FSelected = -1;
    int FThumbWidth = 64;
    int FThumbHeight = 64;
    int FColumns = 1;
    int FRows = 0;
    int FScrollRange = 0;
    int FFontHeight = 12;
    bool FDrawing = true;
    bool FPainting = false;
    bool FSorting = false;
    QImage FNoFileBitmap;
    QMenu* FPopupMenu = nullptr;
    TThumbSurface* FSurface;
    QScrollBar* FScrollBar;

    void PlaceChildren();
    void PaintSurface(QPainter& painter);
    void DrawCell(QPainter& painter, int index);
    void RedrawCell(int index);
    void SurfacePressed(const QPoint& point);
    void DrawBrokenMark(QPainter& painter, const QRect& box) const;
    double FWheelRest = 0; // part of a pixel left over by fine wheel steps
};
