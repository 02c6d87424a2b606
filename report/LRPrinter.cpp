#include "LRPrinter.h"

#include <QPageSize>
#include <QPainter>

namespace {
TPrinter* ApplicationPrinter = nullptr;

struct TPaperMap {
    int Code;
    QPageSize::PageSizeId Id;
};
const TPaperMap PaperMap[] = {
    {DMPAPER_A4, QPageSize::A4}, {DMPAPER_B4, QPageSize::B4}, {DMPAPER_B5, QPageSize::JisB5},
    {DMPAPER_A3, QPageSize::A3}, {DMPAPER_A5, QPageSize::A5}, {DMPAPER_LETTER, QPageSize::Letter},
};
} // namespace

int PaperCodeOf(int pageSizeId) {
    for (const auto& m : PaperMap)
        if (m.Id == pageSizeId)
            return m.Code;
    return 0;
}

int PageSizeIdOf(int paperCode) {
    for (const auto& m : PaperMap)
        if (m.Code == paperCode)
            return m.Id;
    return -1;
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

int PageDeviceCaps(int index, int resolution, const QRect& paper, const QRect& page) {
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return resolution;
    case PHYSICALWIDTH:
        return paper.width();
    case PHYSICALHEIGHT:
        return paper.height();
    case PHYSICALOFFSETX:
        return page.left();
    case PHYSICALOFFSETY:
        return page.top();
    case HORZRES:
        return page.width();
    case VERTRES:
        return page.height();
    default:
        return 0;
    }
}
