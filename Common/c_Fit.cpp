#include "c_Fit.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <algorithm>
#include <cmath>

int RoundHalfEven(double value) {
    const double f = std::floor(value);
    const double diff = value - f;
    double r;
    if (diff > 0.5)
        r = f + 1;
    else if (diff < 0.5)
        r = f;
    else
        r = std::fmod(f, 2.0) == 0 ? f : f + 1;
    return static_cast<int>(r);
}

QRect FitRect(const QSize& graphic, const QRect& rect) {
    if (graphic.width() <= 0 || graphic.height() <= 0)
        return QRect(rect.topLeft(), QSize(0, 0));
    const float sx = float(rect.width()) / float(graphic.width());
    const float sy = float(rect.height()) / float(graphic.height());
    const float s = std::min(sx, sy);
    const int w = static_cast<int>(float(graphic.width()) * s);
    const int h = static_cast<int>(float(graphic.height()) * s);
    const int left = (rect.width() - w) / 2 + rect.left();
    const int top = (rect.height() - h) / 2 + rect.top();
    return QRect(left, top, w, h);
}

QRect FitRect(const QImage& graphic, const QRect& rect) {
    return FitRect(graphic.size(), rect);
}

void FitImageControl(QWidget* control, const QSize& picture, const QRect& rect) {
    if (!control || picture.width() <= 0 || picture.height() <= 0)
        return;
    const float sx = float(rect.width()) / float(picture.width());
    const float sy = float(rect.height()) / float(picture.height());
    const float s = std::min(sx, sy);
    const int w = RoundHalfEven(double(float(picture.width()) * s));
    const int h = RoundHalfEven(double(float(picture.height()) * s));
    const int left = rect.left() + RoundHalfEven((rect.width() - w) / 2.0);
    const int top = rect.top() + RoundHalfEven((rect.height() - h) / 2.0);
    control->setGeometry(left, top, w, h);
}

void FitImageControl(QLabel* control, const QRect& rect) {
    if (!control)
        return;
    const QPixmap pm = control->pixmap();
    FitImageControl(control, pm.size(), rect);
}
