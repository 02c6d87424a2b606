#pragma once
// The printer service over Qt PrintSupport and CUPS, and the print dialog.
//
// A document is drawn into a PDF file at the printer's resolution and page layout; EndDoc
// hands that file to the CUPS queue with scaling switched off, so the page prints at its
// actual size, and Abort simply deletes it. When the print dialog chose "Print to File",
// the file is the document itself.
#include "report/LRPrinter.h"

#include <QPainter>
#include <QStringList>
#include <memory>

class QPrinter;
class QTemporaryFile;

class TQtPrinter : public TPrinter {
public:
    TQtPrinter();
    ~TQtPrinter() override;

    QStringList Printers() const override { return FPrinters; }
    void Refresh() override;
    int PrinterIndex() const override;
    void SetPrinterIndex(int index) override;

    void GetPrinter(QString& device, QString& driver, QString& port,
                    TDeviceModeHandle& mode) override;
    void SetPrinter(const QString& device, const QString& driver, const QString& port,
                    const TDeviceModeHandle& mode) override;

    TPrinterOrientationKind Orientation() const override;
    void SetOrientation(TPrinterOrientationKind orientation) override;

    QString Title() const override { return FTitle; }
    void SetTitle(const QString& title) override { FTitle = title; }
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    bool Printing() const override { return FPainter.isActive(); }

    QPainter* Canvas() override { return FPainter.isActive() ? &FPainter : nullptr; }
    int GetDeviceCaps(int index) const override;

    // The Qt printer that holds the selected queue and its settings (for the print dialog).
    QPrinter* QueuePrinter() const { return FQueue.get(); }
    // Options handed to CUPS with every job (besides the ones that switch scaling off).
    QStringList ExtraOptions;
    // The CUPS job id of the last document sent, 0 when none was sent.
    int LastJobId() const { return FLastJobId; }

private:
    void SelectQueue(const QString& name);
    const QPrinter& Geometry() const;

    QStringList FPrinters;
    std::unique_ptr<QPrinter> FQueue;
    QString FQueueName;
    QString FTitle;
    std::unique_ptr<QPrinter> FRender;
    std::unique_ptr<QTemporaryFile> FSpoolFile;
    QString FTargetFile;
    QPainter FPainter;
    int FLastJobId = 0;
};

// The application's printer object over the system's print queues, made and installed as
// the application printer on first use.
TQtPrinter& SystemPrinter();

// The print dialog: page range, limits, chosen range and printer. Execute runs it through
// the dialog seam (kind "print") on the application printer; false when cancelled.
class TPrintDialog {
public:
    enum TOption { poPageNums = 1 };
    int Options = 0;
    int MinPage = 0, MaxPage = 0;
    int FromPage = 0, ToPage = 0;
    bool Execute();
};
