#pragma once
// The ground every page layout stands on: the items and pages of a job, the paper check
// against the printer's state at the last layout, the page loop, the print and preview
// flows and the printer set-up event that forces the orientation.
//
// A layout drives its printer only through TPrinter, so any printer object (the system's,
// a PDF file) can be handed in. Whatever needs a person (messages, the print dialog, the
// progress window with its Cancel, the preview window) goes through TPrintJobHost, which
// the windows supply; a job run without windows supplies its own or none.
#include "c_PrintItems.h"
#include "report/LightRepEx.h"

#include <QHash>
#include <QImage>
#include <functional>
#include <memory>

// The print dialog's page range: whether it is offered, its limits and the chosen pages.
struct TPrintRange {
    bool PageNums = false;
    int MinPage = 0, MaxPage = 0;
    int FromPage = 0, ToPage = 0;
};

// What the preview window's buttons do.
struct TPreviewHooks {
    std::function<void()> First, Previous, Next, Last, Print;
};

class TPrintJobHost {
public:
    virtual ~TPrintJobHost() = default;
    // A message with the caption "Velmora" and "OK" (and "Cancel" when withCancel); returns
    // the 1-based position of the button pressed, -1 when closed otherwise.
    virtual int Message(const QString& text, bool withCancel) = 0;
    // Runs the print dialog (the preview window's own one when fromPreview); false when
    // cancelled. range goes in with the limits and comes back with the chosen pages.
    virtual bool PrintDialog(TPrintRange& range, bool fromPreview) = 0;
    // The progress window: shown at 0, moved after each page, closed at the end.
    // ProgressSet also lets the window handle its events, so its Cancel is seen.
    virtual void ProgressShow() = 0;
    virtual void ProgressSet(int percent) = 0;
    virtual bool ProgressCancelled() = 0;
    virtual void ProgressClose() = 0;
    // The preview window: a page to show, then the modal showing with the job's buttons;
    // PreviewRun returns when the window has closed and has released its page.
    virtual void PreviewShowPage(const QImage& page, int number, int count) = 0;
    virtual void PreviewRun(const TPreviewHooks& hooks) = 0;
    // The hourglass while a page renders.
    virtual void BusyCursor(bool) {}
};

// A host without a person: messages answer "OK", the dialog keeps the range it is given,
// there is no progress window and no Cancel, the preview keeps the last page shown.
class TSilentJobHost : public TPrintJobHost {
public:
    int Message(const QString& text, bool withCancel) override;
    bool PrintDialog(TPrintRange& range, bool fromPreview) override;
    void ProgressShow() override {}
    void ProgressSet(int) override {}
    bool ProgressCancelled() override { return false; }
    void ProgressClose() override {}
    void PreviewShowPage(const QImage& page, int number, int count) override;
    void PreviewRun(const TPreviewHooks&) override {}

    QStringList Messages; // every message shown, in order
    QImage LastPage;
    int LastNumber = 0, LastCount = 0;
};

// The message raised when the set-up event cannot reach the printer's device mode.
inline const QString PaperSetupFailed = QStringLiteral("用紙設定ができません!!");
inline const QString SelectPaperText = QStringLiteral("Select A4 or US Letter as the paper size.");
inline const QString PrinterChangedText =
    QStringLiteral("Printer settings have changed. Please print to A4 or Letter Size paper.");

class TprtPrintBase {
public:
    // Makes the report: no fixed paper, width and height as given, margins 36, the title,
    // the set-up event. The job builds its tree on it, then calls FinishCreate.
    TprtPrintBase(const QString& title, int width, int height, TPrinterOrientation orientation);
    virtual ~TprtPrintBase();
    TprtPrintBase(const TprtPrintBase&) = delete;
    TprtPrintBase& operator=(const TprtPrintBase&) = delete;

    TLightRep* LightRep() const { return FRep.get(); }

    // The items (not owned); set before each opening of the settings window.
    TPrintItemList* ItemList = nullptr;
    TPrintPictures Pictures;
    int CurrentPage = 1;
    int PageCount = 1;
    int FromPage = 0, ToPage = 0;
    int LastPrinterIndex = -1;
    TPrinterOrientation LastOrientation = poPortrait;
    TRect LastPaperRect;
    TRect LastPrintableRect;
    bool ShowFileName = true;

    // Who answers for the user; null means a silent host.
    TPrintJobHost* Host = nullptr;
    // The settings window's ApplySettings, run when the print flow relaid the layout out.
    std::function<void()> OnApplySettings;

    // The printer the job measures and prints on: the application printer unless one was
    // handed in. SetPrinter gives the report the same printer.
    TPrinter* Printer() const;
    void SetPrinter(TPrinter* printer);

    // The paper check: compares printer index, orientation, paper and printable area with
    // the last check, stores them, sizes the report to the paper and lays the job out for
    // the printable area. Returns whether anything changed.
    bool SyncWithPrinter();
    // Renders CurrentPage at the given zoom onto a new white bitmap of the report's size.
    QImage RenderBitmap(int zoom);
    // The same on a bitmap first filled with the given colour.
    QImage RenderBitmap(int zoom, const QColor& fill);
    // The preview window's zoom for this report: 2500 div the longer side, at least 1.
    int PreviewWindowZoom() const;
    // Renders CurrentPage for the preview window and shows it there.
    void RenderPage();
    // Opens the preview window on page 1 with the navigation and Print buttons hooked up.
    virtual void ShowPreview();
    // Prints the pages in [FromPage, ToPage] (0: no limit) with the progress window.
    void PrintPages();
    // The print flow of the settings window's (or, fromPreview, the preview window's)
    // Print button: paper reminder, print dialog, orientation, paper check with its
    // question, then the pages. Returns whether pages were sent.
    bool Print(bool fromPreview = false);
    // The report's set-up event: forces the job's orientation into the printer's device
    // mode and keeps its paper.
    void LightRepSetPrinter();

    // The number of pages the items fill.
    virtual int ComputePageCount() const { return 1; }
    // Lets the pictures kept for previews go (when the settings window has closed).
    void ForgetPictures();

protected:
    // Ends creation: pages 1 of 1 and the first paper check.
    void FinishCreate();
    // Lays the job's panels out for the printable area (report units).
    virtual void LayoutPanels(const TRect& printable) = 0;
    // Forgets what one rendering keeps (called before every rendering and print run).
    virtual void ClearRenderState() {}
    // Sends the job's pages; the page loop unless the job prints otherwise.
    virtual void PrintJob() { PrintPages(); }

    // The orientation the print flow sets before its paper check.
    TPrinterOrientation JobOrientation = poLandscape;
    // Whether the print dialog offers a page range.
    bool AllowPageRange = true;
    // Whether a changed paper check re-reads the printer list once more.
    bool RefreshAfterChange = false;
    // Whether the paper check also gives the report's printer the new orientation.
    bool SetReportPrinterOrientation = false;

    TPrintJobHost& UseHost();

    // The thumbnail of an item for a picture box of boxWidth x boxHeight report units. While
    // printing it comes straight from Pictures; while previewing, a copy reduced to the box
    // at the preview window's zoom is kept for the next rendering, since the settings window
    // renders page 1 again on every change. False when no picture can be had.
    bool ItemThumbnail(int index, const QString& path, int boxWidth, int boxHeight,
                       QImage& picture);
    // The picture of an item's cell: its thumbnail as ItemThumbnail gives it, or the file
    // type's icon for a video (decided by the extension, letter case ignored). Raises
    // Exception when none can be had.
    QImage CellPicture(int index, const QString& path, int boxWidth, int boxHeight);

private:
    QHash<QString, QImage> FPictures;
    qint64 FPictureBytes = 0;
    std::unique_ptr<TLightRep> FRep;
    TPrinter* FPrinter = nullptr;
    TSilentJobHost FSilent;
};
