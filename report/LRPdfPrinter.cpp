#include "LRPdfPrinter.h"

#include "services/CException.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>

TPdfPrinter::TPdfPrinter() = default;

TPdfPrinter::~TPdfPrinter() {
    if (Printing())
        Abort();
}

void TPdfPrinter::SetDefaultPaper(QPageSize::PageSizeId id) {
    FDefaultPaper = id;
    if (!Printing())
        FPaper = id;
}

void TPdfPrinter::SetResolution(int dpi) {
    if (!Printing() && dpi > 0)
        FResolution = dpi;
}

void TPdfPrinter::SetMargins(const QMarginsF& millimetres) {
    if (!Printing())
        FMargins = millimetres;
}

QPageLayout TPdfPrinter::Layout() const {
    return QPageLayout(QPageSize(FPaper),
                       FOrientation == TPrinterOrientationKind::Landscape ? QPageLayout::Landscape
                                                                          : QPageLayout::Portrait,
                       FMargins, QPageLayout::Millimeter);
}

void TPdfPrinter::GetPrinter(QString& device, QString& driver, QString& port,
                             TDeviceModeHandle& mode) {
    device = QString::fromLatin1(DeviceName);
    driver = QStringLiteral("PDF");
    port = FileName;
    auto dm = std::make_shared<TDeviceMode>();
    dm->Fields = DM_PAPERSIZE | DM_ORIENTATION | DM_SCALE;
    dm->PaperSize = int16_t(PaperCodeOf(FPaper));
    dm->Orientation =
        FOrientation == TPrinterOrientationKind::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    dm->Scale = 100;
    mode = dm;
}

void TPdfPrinter::SetPrinter(const QString&, const QString&, const QString&,
                             const TDeviceModeHandle& mode) {
    if (Printing())
        return;
    if (!mode) {
        // The driver's defaults: the default paper, upright.
        FPaper = FDefaultPaper;
        FOrientation = TPrinterOrientationKind::Portrait;
        return;
    }
    if (mode->Fields & DM_PAPERSIZE) {
        const int id = PageSizeIdOf(mode->PaperSize);
        if (id >= 0)
            FPaper = QPageSize::PageSizeId(id);
    }
    if (mode->Fields & DM_ORIENTATION)
        FOrientation = mode->Orientation == DMORIENT_LANDSCAPE ? TPrinterOrientationKind::Landscape
                                                               : TPrinterOrientationKind::Portrait;
}

void TPdfPrinter::SetOrientation(TPrinterOrientationKind orientation) {
    if (!Printing())
        FOrientation = orientation;
}

int TPdfPrinter::GetDeviceCaps(int index) const {
    const QPageLayout layout = Layout();
    const QRect paper = layout.fullRectPixels(FResolution);
    const QRect page = layout.paintRectPixels(FResolution);
    return PageDeviceCaps(index, FResolution, paper, page);
}

void TPdfPrinter::BeginDoc() {
    if (Printing())
        return;
    if (FileName.isEmpty())
        throw Exception(QStringLiteral("No PDF file name was given."));
    const QFileInfo target(FileName);
    if (target.isDir())
        throw Exception(
            QStringLiteral("Cannot write the PDF file \"%1\": it is a folder.").arg(FileName));
    FFile = std::make_unique<QSaveFile>(FileName);
    if (!FFile->open(QIODevice::WriteOnly)) {
        const QString reason = FFile->errorString();
        FFile.reset();
        throw Exception(
            QStringLiteral("Cannot write the PDF file \"%1\": %2").arg(FileName, reason));
    }
    FWriter = std::make_unique<QPdfWriter>(FFile.get());
    FWriter->setResolution(FResolution);
    FWriter->setPageLayout(Layout());
    FWriter->setTitle(FTitle);
    FWriter->setCreator(QStringLiteral("Velmora"));
    FPages = 0;
    if (!FPainter.begin(FWriter.get())) {
        Close();
        throw Exception(QStringLiteral("Cannot start the PDF file \"%1\".").arg(FileName));
    }
    FPages = 1;
}

void TPdfPrinter::NewPage() {
    if (Printing() && FWriter->newPage())
        ++FPages;
}

void TPdfPrinter::Close() {
    if (FPainter.isActive())
        FPainter.end();
    FWriter.reset();
    if (FFile)
        FFile->cancelWriting();
    FFile.reset(); // an uncommitted save file takes its temporary file with it
}

void TPdfPrinter::EndDoc() {
    if (!Printing())
        return;
    FPainter.end();
    FWriter.reset(); // writes the document's end into the file
    QString reason;
    if (FFile->error() != QFileDevice::NoError)
        reason = FFile->errorString();
    else if (!FFile->commit())
        reason = FFile->errorString();
    FFile.reset();
    if (!reason.isEmpty())
        throw Exception(
            QStringLiteral("Cannot write the PDF file \"%1\": %2").arg(FileName, reason));
}

void TPdfPrinter::Abort() {
    if (Printing())
        Close();
}
