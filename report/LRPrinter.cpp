#include "LRPrinter.h"

#include <QPainter>

namespace {
TPrinter* ApplicationPrinter = nullptr;
}

TPrinter* Printer() {
    return ApplicationPrinter;
}

TPrinter* SetApplicationPrinter(TPrinter* printer) {
    TPrinter* old = ApplicationPrinter;
    ApplicationPrinter = printer;
    return old;
}

void TPrinter::StretchDIBits(const QRect& dest, const QImage& image) {
    QPainter* painter = Canvas();
    if (!painter || image.isNull())
        return;
    // The picture goes at its own resolution; the device scales it onto dest.
    painter->drawImage(dest, image);
}
