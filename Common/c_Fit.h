#pragma once
// Aspect-fit routines: centre a picture in a rectangle, keeping its proportions.
#include <QRect>
#include <QSize>

class QImage;
class QWidget;
class QLabel;

// The rectangle a graphic of the given size takes when fitted into rect: the scale is the
// smaller of the two side ratios (single precision), the sizes truncate, and the result is
// centred (halves truncated). A graphic without area gives an empty rectangle at rect's corner.
QRect FitRect(const QSize& graphic, const QRect& rect);
QRect FitRect(const QImage& graphic, const QRect& rect);

// Sizes and places an image control so that its picture fits into rect. Unlike FitRect, the
// size and the offsets round to the nearest integer, halves to even.
void FitImageControl(QWidget* control, const QSize& picture, const QRect& rect);
// The same for a label showing a pixmap (the picture's size is the pixmap's).
void FitImageControl(QLabel* control, const QRect& rect);

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value);
