#pragma once
// Image format readers: a registry of reader classes keyed by file extension, the reader
// interface, and the decoded raster that readers hand to a picture holder.
//
// Decoded rasters are 24-bit RGB (QImage::Format_RGB888); transparent pixels are laid on
// white. A reader may be told the box its picture will be drawn into (SetSizeHint); it then
// may decode at a reduced scale, never below what the fitted picture needs, while Width()
// and Height() still report the full image size.
//
// Limit: a raster of more than kMaxImagePixels pixels is refused with an error before any
// pixel memory is allocated. A JPEG counts at the scale it is decoded (and a progressive one
// also by its coefficient memory); formats decoded through Qt count at their full size and
// are further bound by Qt's own allocation limit (QImageReader::allocationLimit).
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// 2^27 = 134,217,728 pixels (for example 16384 x 8192): the largest image decoded.
constexpr int64_t kMaxImagePixels = int64_t(1) << 27;

// The size of a w x h image fitted into a box, keeping its aspect ratio (rounded to
// nearest, ties to even; one side touches the box).
QSize FitIntoBox(int boxWidth, int boxHeight, int imageWidth, int imageHeight);

// Draws the raster stretched over the rectangle of the target (nearest neighbour: pixels
// are dropped or repeated, never averaged). The target must be RGB888; the part of the
// rectangle outside the target is clipped.
void StretchDrawNearest(const QImage& raster, QImage& target, const QRect& rect);

class TGraphicReader {
public:
    virtual ~TGraphicReader() = default;

    // The box the picture will be drawn into; 0 x 0 (the default) asks for full size.
    void SetSizeHint(int boxWidth, int boxHeight);
    // Loads the whole file; raises Exception with a readable message on any failure.
    virtual void LoadFromFile(const QString& fileName) = 0;
    // A short name of the format ("JPEG", "PNG", ...); of the decoded file after a load.
    virtual QString FormatName() const = 0;

    bool Empty() const { return FRaster.isNull(); }
    // Full image size, whatever scale was decoded.
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The decoded pixels (RGB888), possibly reduced.
    const QImage& Raster() const { return FRaster; }
    void Draw(QImage& target, const QRect& rect) const;

protected:
    int FBoxWidth = 0, FBoxHeight = 0;
    int FWidth = 0, FHeight = 0;
    QImage FRaster;
};

using TGraphicReaderClass = std::unique_ptr<TGraphicReader> (*)();

// The reader class registered for the file's extension (letter case ignored), or null.
TGraphicReaderClass FindGraphicReader(const QString& fileName);
// Registers (or, with null, removes) the reader class for an extension without the dot.
void RegisterGraphicReader(const QString& extension, TGraphicReaderClass readerClass);
// The extensions that have a reader, lower case, in registration order.
QStringList RegisteredExtensions();

// Decodes any file by its content: JPEG through the JPEG reader, everything else through
// Qt's image I/O. Fills width and height with the full size and raster with the decoded
// pixels; box 0 x 0 asks for full size. Raises Exception on failure.
void DecodeImageFile(const QString& fileName, int boxWidth, int boxHeight, int& width, int& height,
                     QImage& raster, QString* formatName = nullptr);

// An RGB888 image whose pixel memory is reused from one decode to the next on this thread
// (when nobody holds the previous one any more), so that decoding a folder of photos does
// not pay for fresh pages with every file. Contents are undefined.
QImage AcquireRaster(int width, int height);
// The same for the image a reader decodes into, in the reader's own format (from a pool of
// its own); null for formats of fewer than 8 bits per pixel and for images over 64 MB,
// which the reader allocates itself within its own limit.
QImage AcquireDecodeTarget(int width, int height, QImage::Format format);
