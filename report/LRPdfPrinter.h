#pragma once
// A printer that writes a PDF file instead of feeding a print queue, for `velmora print
// --pdf` and for anyone without a printer. It answers the printer service like a queue
// does: a printer list of one, a device mode with paper and orientation, a resolution and
// the paper and printable rectangles in device pixels, so the page layouts measure the page
// exactly as on paper and a 120.1 mm card is 120.1 mm in the file.
//
// The document is written to a temporary file in the target's folder and renamed over the
// target only when it ends well; a failure or an abort leaves no file behind (and an
// earlier file of that name as it was).
//
// Needs Qt Gui only (QPdfWriter), so printing to a file runs without a display.
#include "LRPrinter.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <memory>

class QPdfWriter;
class QSaveFile;

class TPdfPrinter : public TPrinter {
public:
    // The one entry of the printer list.
    static constexpr const char* DeviceName = "PDF";

    // A4 portrait at 600 dots per inch, no unprintable margin.
    TPdfPrinter();
    ~TPdfPrinter() override;

    // The file the next document goes to.
    QString FileName;
    // The paper a reset (null device mode) returns to.
    void SetDefaultPaper(QPageSize::PageSizeId id);
    // Dots per inch of the device pixels (the canvas and the device capabilities).
    void SetResolution(int dpi);
    // The unprintable margin of the paper in millimetres (a PDF has none; tests give one).
    void SetMargins(const QMarginsF& millimetres);
    QPageSize::PageSizeId PaperId() const { return FPaper; }

    QStringList Printers() const override { return {QString::fromLatin1(DeviceName)}; }
    void Refresh() override {}
    int PrinterIndex() const override { return 0; }
    void SetPrinterIndex(int) override {}

    void GetPrinter(QString& device, QString& driver, QString& port,
                    TDeviceModeHandle& mode) override;
    void SetPrinter(const QString& device, const QString& driver, const QString& port,
                    const TDeviceModeHandle& mode) override;

    TPrinterOrientationKind Orientation() const override { return FOrientation; }
    void SetOrientation(TPrinterOrientationKind orientation) override;

    QString Title() const override { return FTitle; }
    void SetTitle(const QString& title) override { FTitle = title; }
    // Opens the temporary file next to FileName; raises Exception with a readable text when
    // it cannot be written there.
    void BeginDoc() override;
    void NewPage() override;
    // Finishes the file and renames it over FileName; raises Exception (and leaves no file)
    // when that fails.
    void EndDoc() override;
    // Drops the half-made file.
    void Abort() override;
    bool Printing() const override { return FPainter.isActive(); }

    QPainter* Canvas() override { return FPainter.isActive() ? &FPainter : nullptr; }
    int GetDeviceCaps(int index) const override;

    // Pages begun in the last document.
    int PageCount() const { return FPages; }

private:
    QPageLayout Layout() const;
    void Close();

    QPageSize::PageSizeId FDefaultPaper = QPageSize::A4;
    QPageSize::PageSizeId FPaper = QPageSize::A4;
    TPrinterOrientationKind FOrientation = TPrinterOrientationKind::Portrait;
    int FResolution = 600;
    QMarginsF FMargins;
    QString FTitle;
    std::unique_ptr<QSaveFile> FFile;
    std::unique_ptr<QPdfWriter> FWriter;
    QPainter FPainter;
    int FPages = 0;
};
