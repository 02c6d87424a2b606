#include "PPrinter.h"

#include "PDialogSeam.h"
#include "services/CException.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

#include <cups/cups.h>

TQtPrinter::TQtPrinter() {
    Refresh();
    QString name = QPrinterInfo::defaultPrinter().printerName();
    if (name.isEmpty() && !FPrinters.isEmpty())
        name = FPrinters.first();
    SelectQueue(name);
}

TQtPrinter::~TQtPrinter() {
    if (FPainter.isActive())
        Abort();
}

void TQtPrinter::Refresh() {
    FPrinters = QPrinterInfo::availablePrinterNames();
    if (!FQueueName.isEmpty() && !FPrinters.contains(FQueueName) && !Printing()) {
        QString name = QPrinterInfo::defaultPrinter().printerName();
        if (name.isEmpty() && !FPrinters.isEmpty())
            name = FPrinters.first();
        SelectQueue(name);
    }
}

void TQtPrinter::SelectQueue(const QString& name) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    FQueue = info.isNull() ? std::make_unique<QPrinter>(QPrinter::HighResolution)
                           : std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    FQueueName = info.isNull() ? QString() : name;
    // A new QPrinter does not take the queue's own default paper by itself.
    if (!info.isNull() && info.defaultPageSize().isValid())
        FQueue->setPageSize(info.defaultPageSize());
    FQueue->setPageOrientation(QPageLayout::Portrait);
}

int TQtPrinter::PrinterIndex() const {
    // The print dialog may have chosen another queue on the Qt printer itself.
    QString name = FQueue ? FQueue->printerName() : QString();
    if (name.isEmpty())
        name = FQueueName;
    return int(FPrinters.indexOf(name));
}

void TQtPrinter::SetPrinterIndex(int index) {
    if (index < 0 || index >= FPrinters.size() || Printing())
        return;
    if (index == PrinterIndex())
        return;
    SelectQueue(FPrinters[index]);
}

void TQtPrinter::GetPrinter(QString& device, QString& driver, QString& port,
                            TDeviceModeHandle& mode) {
    const int index = PrinterIndex();
    device = index >= 0 ? FPrinters[index] : FQueueName;
    driver = QStringLiteral("CUPS");
    port.clear();
    auto dm = std::make_shared<TDeviceMode>();
    dm->Fields = DM_PAPERSIZE | DM_ORIENTATION | DM_SCALE;
    const QPageLayout layout = FQueue->pageLayout();
    dm->PaperSize = int16_t(PaperCodeOf(layout.pageSize().id()));
    dm->Orientation =
        layout.orientation() == QPageLayout::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    dm->Scale = 100;
    mode = dm;
}

void TQtPrinter::SetPrinter(const QString& device, const QString&, const QString&,
                            const TDeviceModeHandle& mode) {
    if (Printing())
        return;
    const int current = PrinterIndex();
    const QString currentName = current >= 0 ? FPrinters[current] : FQueueName;
    const bool fileTarget = FQueue && !FQueue->outputFileName().isEmpty();
    if (!device.isEmpty() && (device != currentName || (!mode && !fileTarget))) {
        // A fresh printer object takes the queue's defaults. A reset keeps what the print
        // dialog chose for this document: its paper, orientation and copies.
        const QPageLayout chosen = FQueue->pageLayout();
        const int copies = FQueue->copyCount();
        SelectQueue(device);
        if (!mode) {
            FQueue->setPageSize(chosen.pageSize());
            FQueue->setPageOrientation(chosen.orientation());
            FQueue->setCopyCount(copies);
        }
    }
    if (!mode)
        return;
    if (mode->Fields & DM_PAPERSIZE) {
        const int id = PageSizeIdOf(mode->PaperSize);
        if (id >= 0)
            FQueue->setPageSize(QPageSize(QPageSize::PageSizeId(id)));
    }
    if (mode->Fields & DM_ORIENTATION)
        FQueue->setPageOrientation(mode->Orientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape
                                                                           : QPageLayout::Portrait);
}

TPrinterOrientationKind TQtPrinter::Orientation() const {
    return FQueue->pageLayout().orientation() == QPageLayout::Landscape
               ? TPrinterOrientationKind::Landscape
               : TPrinterOrientationKind::Portrait;
}

void TQtPrinter::SetOrientation(TPrinterOrientationKind orientation) {
    if (Printing())
        return;
    FQueue->setPageOrientation(orientation == TPrinterOrientationKind::Landscape
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
}

const QPrinter& TQtPrinter::Geometry() const {
    return FRender ? *FRender : *FQueue;
}

int TQtPrinter::GetDeviceCaps(int index) const {
    const QPrinter& p = Geometry();
    const QRect paper = p.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = p.pageRect(QPrinter::DevicePixel).toRect();
    return PageDeviceCaps(index, p.resolution(), paper, page);
}

void TQtPrinter::BeginDoc() {
    if (Printing())
        return;
    if (!FQueue->printerName().isEmpty())
        FQueueName = FQueue->printerName(); // the print dialog may have chosen another queue
    FTargetFile = FQueue->outputFileName();
    QString file = FTargetFile;
    if (file.isEmpty()) {
        if (FQueueName.isEmpty())
            throw Exception(QStringLiteral("No printer is installed."));
        FSpoolFile = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                      QStringLiteral("/velmora-XXXXXX.pdf"));
        if (!FSpoolFile->open())
            throw Exception(QStringLiteral("Cannot create the print file."));
        file = FSpoolFile->fileName();
        FSpoolFile->close();
    }
    FRender = std::make_unique<QPrinter>(QPrinter::HighResolution);
    FRender->setOutputFormat(QPrinter::PdfFormat);
    FRender->setOutputFileName(file);
    FRender->setResolution(FQueue->resolution() > 0 ? FQueue->resolution() : 600);
    FRender->setFullPage(false);
    FRender->setPageLayout(FQueue->pageLayout());
    FRender->setDocName(FTitle);
    FRender->setCreator(QStringLiteral("Velmora"));
    if (!FPainter.begin(FRender.get())) {
        FRender.reset();
        FSpoolFile.reset();
        throw Exception(QStringLiteral("Cannot start the print document."));
    }
}

void TQtPrinter::NewPage() {
    if (Printing())
        FRender->newPage();
}

void TQtPrinter::EndDoc() {
    if (!Printing())
        return;
    FPainter.end();
    FRender.reset();
    FLastJobId = 0;
    if (!FTargetFile.isEmpty() || !FSpoolFile)
        return;
    const QByteArray file = QFile::encodeName(FSpoolFile->fileName());
    const QByteArray queue = FQueueName.toUtf8();
    const QByteArray title = FTitle.isEmpty() ? QByteArray("Velmora") : FTitle.toUtf8();
    // Actual size: the spooler must neither fit the page to the media nor scale it.
    cups_option_t* options = nullptr;
    int count = 0;
    count = cupsAddOption("print-scaling", "none", count, &options);
    count = cupsAddOption("fit-to-page", "false", count, &options);
    count = cupsAddOption("media", FQueue->pageLayout().pageSize().key().toUtf8().constData(),
                          count, &options);
    if (FQueue->copyCount() > 1)
        count = cupsAddOption("copies", QByteArray::number(FQueue->copyCount()).constData(), count,
                              &options);
    for (int i = 0; i + 1 < ExtraOptions.size(); i += 2)
        count = cupsAddOption(ExtraOptions[i].toUtf8().constData(),
                              ExtraOptions[i + 1].toUtf8().constData(), count, &options);
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.constData(), file.constData(),
                                   title.constData(), count, options);
    cupsFreeOptions(count, options);
    FSpoolFile.reset();
    if (job <= 0)
        throw Exception(QStringLiteral("The print job could not be sent to \"%1\": %2")
                            .arg(FQueueName, QString::fromUtf8(cupsLastErrorString())));
    FLastJobId = job;
}

void TQtPrinter::Abort() {
    if (!Printing())
        return;
    FPainter.end();
    FRender.reset();
    if (!FTargetFile.isEmpty())
        QFile::remove(FTargetFile);
    FSpoolFile.reset(); // deletes the half-made document; nothing reaches the queue
}

TQtPrinter& SystemPrinter() {
    static TQtPrinter* printer = [] {
        auto* p = new TQtPrinter();
        if (!Printer())
            SetApplicationPrinter(p);
        return p;
    }();
    return *printer;
}

bool TPrintDialog::Execute() {
    QPrinter* printer = SystemPrinter().QueuePrinter();
    QPrintDialog dialog(printer);
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintToFile;
    if (Options & poPageNums)
        options |= QAbstractPrintDialog::PrintPageRange;
    dialog.setOptions(options);
    if (Options & poPageNums) {
        dialog.setMinMax(MinPage, MaxPage);
        printer->setFromTo(FromPage, ToPage);
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    }
    if (ExecDialog(dialog, QStringLiteral("print")) != QDialog::Accepted)
        return false;
    if (Options & poPageNums) {
        if (dialog.printRange() == QAbstractPrintDialog::PageRange && printer->fromPage() > 0) {
            FromPage = printer->fromPage();
            ToPage = printer->toPage();
        } else {
            FromPage = MinPage;
            ToPage = MaxPage;
        }
    }
    return true;
}
