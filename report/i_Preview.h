#pragma once
// The print preview window: one rendered page at a time, fitted to the window's width or to
// the whole window, with a page counter, page navigation, Print and Close. It renders nothing
// itself: the print job that opens it hands it each page as a bitmap and sets what the
// navigation and Print buttons do.
#include <QDialog>
#include <QImage>
#include <QRect>
#include <functional>

class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;
class QWidget;

class TfrmPreview : public QDialog {
    Q_OBJECT
public:
    static constexpr int PageMargin = 20;
    static constexpr int MinTrackWidth = 250;
    static constexpr int MinTrackHeight = 250;
    static constexpr int FramePenWidth = 1;
    static constexpr int ScrollBarWidth = 16;
    static constexpr int WheelStep = 8;

    explicit TfrmPreview(QWidget* owner = nullptr);

    // Takes a copy of the page, shows page / count, scrolls to the top and fits the page.
    void ShowPage(const QImage& bitmap, int page, int count);
    // The counter and the four navigation buttons' states.
    void UpdatePageInfo(int page, int count);
    // Sizes and places the page image for the present mode and scroll box size.
    void FitPage();
    bool FitToWindow() const;

    // What the job's buttons do; set by the job before each showing.
    std::function<void()> OnFirst, OnPrevios, OnNext, OnLast, OnPrintOut;
    // Maximises the window and shows it modally (through the dialog seam), then releases the
    // page picture's memory.
    int ShowModal();

    // Where FitPage puts a page of pageSize in a scroll box of boxSize, and whether the
    // vertical bar is needed (fit to width only).
    static QRect FitGeometry(const QSize& boxSize, const QSize& pageSize, bool toWindow,
                             bool* verticalBar = nullptr);

    const QImage& PageImage() const { return FPageImage; }
    void WheelSteps(int steps); // positive: down

    QWidget* ToolBar;
    QPushButton* btnFormClose;
    QToolButton* btnZoomToFit;
    QToolButton* btnZoomToWidth;
    QToolButton* btnFirst;
    QToolButton* btnPrevios;
    QToolButton* btnNext;
    QToolButton* btnLast;
    QLabel* pnlPageNumber;
    QLabel* Label1;
    QPushButton* btnPrintOut;
    QScrollArea* PreviewPosition;
    QWidget* PreviewContent;
    QLabel* PreviewImage;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QImage FPageImage;
};

// The one preview window, created hidden at start-up.
extern TfrmPreview* frmPreview;
