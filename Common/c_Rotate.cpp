#include "c_Rotate.h"

void RotateBitmap(QImage& bitmap, int mode, uint32_t fill) {
    mode = ((mode % 4) + 4) % 4;
    const QImage src = bitmap.convertToFormat(QImage::Format_RGB888);
    const int w = src.width(), h = src.height();
    QImage out = (mode == 1 || mode == 3) ? QImage(h, w, QImage::Format_RGB888)
                                          : QImage(w, h, QImage::Format_RGB888);
    if (src.isNull()) {
        bitmap = src;
        return;
    }
    out.fill(QColor(int(fill & 0xFF), int((fill >> 8) & 0xFF), int((fill >> 16) & 0xFF)));
    for (int y = 0; y < h; ++y) {
        const uchar* s = src.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            int tx = x, ty = y;
            switch (mode) {
            case 1:
                tx = y, ty = w - 1 - x;
                break;
            case 2:
                tx = w - 1 - x, ty = h - 1 - y;
                break;
            case 3:
                tx = h - 1 - y, ty = x;
                break;
            default:
                break;
            }
            uchar* d = out.scanLine(ty) + tx * 3;
            d[0] = s[x * 3];
            d[1] = s[x * 3 + 1];
            d[2] = s[x * 3 + 2];
        }
    }
    bitmap = out;
}
