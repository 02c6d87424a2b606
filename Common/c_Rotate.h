#pragma once
// Quarter turns of a picture, for the back card's photograph.
#include <QImage>
#include <cstdint>

// Turns bitmap in place: mode 0 keeps it, 1 is a quarter turn counter-clockwise, 2 a half
// turn, 3 a quarter turn clockwise (other modes count modulo 4). The result is 24 bits per
// pixel, its size swapped for modes 1 and 3; fill (0x00BBGGRR) is the background the new
// picture starts from.
void RotateBitmap(QImage& bitmap, int mode, uint32_t fill = 0xFFFFFF);
