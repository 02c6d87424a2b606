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

QImage DeviceImage(const QSize& dest, const QImage& image) {
    const QSize fitted(qMin(image.width(), qMax(dest.width(), 1)),
                       qMin(image.height(), qMax(dest.height(), 1)));
    if (fitted == image.size())
        return image;
    return image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void TPrinter::StretchDIBits(const QRect& dest, const QImage& image) {
    QPainter* painter = Canvas();
    if (!painter || image.isNull())
        return;
    // The picture goes at its own resolution, never finer than the device can print; the
    // device scales it onto dest.
    painter->drawImage(dest, DeviceImage(dest.size(), image));
}
