#include "support_FakePrinter.h"

void TFakePrinter::GetPrinter(QString& device, QString& driver, QString& port,
                              TDeviceModeHandle& mode) {
    device = Names.value(Index);
    driver = "FAKE";
    port = "";
    mode = std::make_shared<TDeviceMode>(Mode);
}

void TFakePrinter::SetPrinter(const QString& device, const QString& driver, const QString& port,
                              const TDeviceModeHandle& mode) {
    if (!mode) {
        Log << QString("SetPrinter %1,%2,%3 defaults").arg(device, driver, port);
        Mode = TDeviceMode{DM_PAPERSIZE | DM_ORIENTATION | DM_SCALE, DMPAPER_A4, DMORIENT_PORTRAIT,
                           100};
        return;
    }
    Log << QString("SetPrinter %1,%2,%3 paper %4 orientation %5")
               .arg(device, driver, port)
               .arg(mode->PaperSize)
               .arg(mode->Orientation);
    Mode = *mode;
}

void TFakePrinter::StartSheet() {
    FSheet = QImage(CanvasSize, QImage::Format_RGB32);
    FSheet.fill(Qt::white);
    FPainter.begin(&FSheet);
}

void TFakePrinter::FinishSheet() {
    FPainter.end();
    Sheets.push_back(FSheet);
}

void TFakePrinter::BeginDoc() {
    Log << "BeginDoc " + FTitle;
    Sheets.clear();
    Sent.clear();
    FPrinting = true;
    StartSheet();
}

void TFakePrinter::NewPage() {
    Log << "NewPage";
    FinishSheet();
    StartSheet();
}

void TFakePrinter::EndDoc() {
    Log << "EndDoc";
    FinishSheet();
    FPrinting = false;
}

void TFakePrinter::Abort() {
    Log << "Abort";
    FPainter.end();
    Sheets.clear();
    FPrinting = false;
}

int TFakePrinter::GetDeviceCaps(int index) const {
    if (CapsUnreadable)
        return 0;
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return Dpi;
    case PHYSICALWIDTH:
        return Paper.width();
    case PHYSICALHEIGHT:
        return Paper.height();
    case PHYSICALOFFSETX:
        return Offset.x();
    case PHYSICALOFFSETY:
        return Offset.y();
    case HORZRES:
        return Paper.width() - 2 * Offset.x();
    case VERTRES:
        return Paper.height() - 2 * Offset.y();
    default:
        return 0;
    }
}

void TFakePrinter::StretchDIBits(const QRect& dest, const QImage& image) {
    Sent.push_back({dest, image, int(Sheets.size())});
    TPrinter::StretchDIBits(dest, image);
}
