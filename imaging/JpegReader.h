#pragma once
// JPEG through libjpeg. A damaged file raises Exception with libjpeg's own text; the
// library never ends the process and never writes to the terminal. Given a box, the image
// is decoded in the DCT domain at the smallest scale (1/8, 1/4, 1/2 or 1) that still
// covers the fitted size on both sides. The decoder, its file buffer and its pixel memory
// are kept per thread and reused from file to file.
#include "GraphicReader.h"

class TJpegReader : public TGraphicReader {
public:
    static std::unique_ptr<TGraphicReader> Create();
    void LoadFromFile(const QString& fileName) override;
    QString FormatName() const override { return FFormat; }
    // The scale denominator of the last decode (1, 2, 4 or 8; 1 for files decoded by Qt).
    int ScaleDenominator() const { return FDenominator; }

private:
    QString FFormat = QStringLiteral("JPEG");
    int FDenominator = 1;
};

// True when the file starts with the JPEG start-of-image marker.
bool LooksLikeJpeg(const QString& fileName);
bool LooksLikeJpeg(const uchar* data, size_t size);

// Decodes a JPEG file (see DecodeImageFile); denominator receives the scale used.
void DecodeJpegFile(const QString& fileName, int boxWidth, int boxHeight, int& width, int& height,
                    QImage& raster, int* denominator = nullptr);
// The same for JPEG data in memory (name is used in messages only).
void DecodeJpegData(const uchar* data, size_t size, const QString& name, int boxWidth,
                    int boxHeight, int& width, int& height, QImage& raster,
                    int* denominator = nullptr);

// Progressive files decoded at 1/8 skip the AC scans of components that keep one pixel per
// block (the result is the same either way); on by default, off only to compare.
void SetJpegScanPruning(bool enabled);
// How many scans the last decode on this thread left out.
int JpegScansLeftOut();

// The smallest scale denominator (8, 4, 2, else 1) whose result, ceil(side / d), still
// covers the size of the image fitted into the box on both sides; 1 for an empty box.
int JpegScaleDenominator(int boxWidth, int boxHeight, int imageWidth, int imageHeight);
