#pragma once
// The thumbnail maker: decodes one image file and makes a bitmap that fits the requested
// box keeping the image's aspect ratio, and reads the attributes of the source image that
// the thumbnail cache stores and compares.
#include "imaging/ExifReader.h"
#include "imaging/Picture.h"
#include "services/CCommon.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QString>
#include <cstdint>

// The size of an image fitted into a frame.
class TInnerSize {
public:
    // Stores the inputs and computes InnerWidth x InnerHeight; raises Exception for a frame
    // or an image with a zero side.
    void SetSize(int32_t frameWidth, int32_t frameHeight, int32_t imageWidth, int32_t imageHeight);

    int32_t FrameWidth = 0, FrameHeight = 0;
    int32_t ImageWidth = 0, ImageHeight = 0;
    int32_t InnerWidth = 0, InnerHeight = 0;
};

class TThGraphic : public QObject {
public:
    explicit TThGraphic(QObject* owner = nullptr);
    ~TThGraphic() override;

    void SetBoxWidth(int32_t value) { FBoxWidth = value; }
    void SetBoxHeight(int32_t value) { FBoxHeight = value; }
    int32_t BoxWidth() const { return FBoxWidth; }
    int32_t BoxHeight() const { return FBoxHeight; }

    // Decodes the file (unless it is already held in a form detailed enough for the box)
    // and makes Thumbnail. False for an empty name; decoding and size errors are raised.
    bool MakeThumbnail(const QString& fileName);
    // Decodes the file into Picture unless it is already there. False only for an empty
    // name; errors are raised and leave LastFileName empty.
    bool LoadImage(const QString& fileName);
    // Pixel size, the two EXIF date-times, file time and size and the volume of the file.
    // False for an empty name or when the file can't be found any more.
    bool GetImageInfo(const QString& fileName, int32_t& width, int32_t& height,
                      QString& exifDateTimeOriginal, QString& exifDateTime, QString& fileTime,
                      int32_t& fileSize, QString& volumeLabel, QString& volumeSerial);

    // The bitmap of the last make (24-bit RGB, exactly InnerWidth x InnerHeight; null when
    // a side is 0). It stays owned here and is replaced by the next make.
    const QImage& Thumbnail() const { return FThumbnail; }
    const QString& LastFileName() const { return FLastFileName; }
    const TPicture& Picture() const { return FPicture; }
    const TInnerSize& InnerSize() const { return FInnerSize; }
    TExifReader& Exif() { return FExif; }
    // How many times a file was actually decoded (the reuse of Picture saves the others).
    int DecodeCount() const { return FDecodeCount; }

private:
    TExifReader FExif;
    TInnerSize FInnerSize;
    int32_t FBoxWidth = 0;
    int32_t FBoxHeight = 0;
    QString FLastFileName;
    QDateTime FLastFileStamp; // last-write time and size of the file when it was decoded
    qint64 FLastFileSize = -1;
    TPicture FPicture;
    QImage FThumbnail;
    int FDecodeCount = 0;
};
