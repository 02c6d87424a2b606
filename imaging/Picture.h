#pragma once
// The picture holder: keeps the decoded image of any reader (its full size and its
// possibly reduced raster) and draws it stretched into a rectangle of a bitmap.
#include "GraphicReader.h"

class TPicture {
public:
    void Clear();
    bool Empty() const { return FRaster.isNull(); }
    // Full size of the image held.
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    const QImage& Raster() const { return FRaster; }
    const QString& FormatName() const { return FFormat; }

    // Takes its own copy of the reader's image (the pixels are shared, not copied).
    void Assign(const TGraphicReader& reader);
    // The generic loader: any format Qt's image I/O knows, recognised by content; raises
    // Exception for anything else. A box asks for a raster just detailed enough for it.
    void LoadFromFile(const QString& fileName, int boxWidth = 0, int boxHeight = 0);
    // Stretches the whole image over the rectangle of the target (RGB888), nearest
    // neighbour.
    void Draw(QImage& target, const QRect& rect) const;
    // Whether the raster held is detailed enough to draw the image fitted into the box.
    bool Covers(int boxWidth, int boxHeight) const;

private:
    int FWidth = 0, FHeight = 0;
    QImage FRaster;
    QString FFormat;
};
