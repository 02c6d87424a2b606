#pragma once
// Every format other than JPEG, through Qt's image I/O (TIFF and TGA come from the Qt
// image format plugins). The format is recognised by content; only the first image of a
// multi-image file is read; a scaled read is used where the format offers one.
#include "GraphicReader.h"

class TQtImageReader : public TGraphicReader {
public:
    static std::unique_ptr<TGraphicReader> Create();
    void LoadFromFile(const QString& fileName) override;
    QString FormatName() const override { return FFormat; }

private:
    QString FFormat;
};

// True when Qt recognises the file's content as an image format it can read.
bool QtCanDecode(const QString& fileName, QString* formatName = nullptr);
// Decodes a file through Qt's image I/O (see DecodeImageFile).
void DecodeQtImageFile(const QString& fileName, int boxWidth, int boxHeight, int& width,
                       int& height, QImage& raster, QString* formatName = nullptr);
// The image reduced to the given size by taking, for each target pixel, the source pixel
// under its centre (StretchDrawNearest's choice), in the image's own format; bit-packed
// formats come back whole.
QImage ReduceNearest(const QImage& image, const QSize& size);
// Converts any image to an RGB888 raster, laying transparent pixels on white.
QImage ToRgbOnWhite(const QImage& image);
