#include "Picture.h"

void TPicture::Clear() {
    FWidth = FHeight = 0;
    FRaster = QImage();
    FFormat.clear();
}

void TPicture::Assign(const TGraphicReader& reader) {
    FWidth = reader.Width();
    FHeight = reader.Height();
    FRaster = reader.Raster();
    FFormat = reader.FormatName();
}

void TPicture::LoadFromFile(const QString& fileName, int boxWidth, int boxHeight) {
    Clear();
    int w = 0, h = 0;
    QImage raster;
    QString format;
    DecodeImageFile(fileName, boxWidth, boxHeight, w, h, raster, &format);
    FWidth = w;
    FHeight = h;
    FRaster = std::move(raster);
    FFormat = format;
}

void TPicture::Draw(QImage& target, const QRect& rect) const {
    StretchDrawNearest(FRaster, target, rect);
}

bool TPicture::Covers(int boxWidth, int boxHeight) const {
    if (Empty())
        return false;
    if (boxWidth <= 0 || boxHeight <= 0 || FRaster.width() >= FWidth)
        return true;
    const QSize fit = FitIntoBox(boxWidth, boxHeight, FWidth, FHeight);
    return FRaster.width() >= fit.width() && FRaster.height() >= fit.height();
}
