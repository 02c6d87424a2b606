#include "c_PrintGeometry.h"

#include <cmath>

namespace {
TPrinter* Use(TPrinter* printer) {
    return printer ? printer : ::Printer();
}

// Pixels per millimetre for a resolution, in single precision; an unreadable resolution
// counts as the report's own 96 per inch.
float PixelsPerMm(TPrinter* printer, int capability, float scale) {
    int dpi = printer ? printer->GetDeviceCaps(capability) : 0;
    if (dpi <= 0)
        dpi = 96;
    return float(dpi) * scale / 25.4f;
}

int ToUnits(int pixels, float perMm) {
    return int(std::nearbyint(double(pixels) / double(perMm) * UnitsPerMm));
}
} // namespace

float PrinterScale(TPrinter* printer) {
    printer = Use(printer);
    float scale = 0;
    if (printer) {
        QString device, driver, port;
        TDeviceModeHandle mode;
        printer->GetPrinter(device, driver, port, mode);
        if (TDeviceMode* dm = mode ? printer->LockDeviceMode(mode) : nullptr) {
            scale = float(dm->Scale) / 100.0f;
            printer->UnlockDeviceMode(mode);
        }
    }
    return scale > 0 ? scale : 1.0f;
}

TRect PaperRect(TPrinter* printer) {
    printer = Use(printer);
    const float s = PrinterScale(printer);
    const float px = PixelsPerMm(printer, LOGPIXELSX, s);
    const float py = PixelsPerMm(printer, LOGPIXELSY, s);
    if (!printer)
        return {};
    return Rect(0, 0, ToUnits(printer->GetDeviceCaps(PHYSICALWIDTH), px),
                ToUnits(printer->GetDeviceCaps(PHYSICALHEIGHT), py));
}

TRect PrintableRect(TPrinter* printer) {
    printer = Use(printer);
    if (!printer)
        return {};
    const float s = PrinterScale(printer);
    const float px = PixelsPerMm(printer, LOGPIXELSX, s);
    const float py = PixelsPerMm(printer, LOGPIXELSY, s);
    const int left = ToUnits(printer->GetDeviceCaps(PHYSICALOFFSETX), px);
    const int top = ToUnits(printer->GetDeviceCaps(PHYSICALOFFSETY), py);
    return Rect(left, top, left + ToUnits(printer->GetDeviceCaps(HORZRES), px),
                top + ToUnits(printer->GetDeviceCaps(VERTRES), py));
}
