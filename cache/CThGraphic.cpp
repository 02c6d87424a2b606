#include "CThGraphic.h"

#include "platform/PFileSystem.h"
#include "services/CException.h"

#include <cmath>

void TInnerSize::SetSize(int32_t frameWidth, int32_t frameHeight, int32_t imageWidth,
                         int32_t imageHeight) {
    FrameWidth = frameWidth;
    FrameHeight = frameHeight;
    ImageWidth = imageWidth;
    ImageHeight = imageHeight;
    InnerWidth = 0;
    InnerHeight = 0;
    if (FrameWidth == 0 || FrameHeight == 0)
        throw Exception(QString::asprintf("引数不正。TInnerSize.SetSize 枠サイズ(%d x %d)",
                                          FrameWidth, FrameHeight));
    if (ImageWidth == 0 || ImageHeight == 0)
        throw Exception(QString::asprintf("引数不正。TInnerSize.SetSize 画像サイズ(%d x %d)",
                                          ImageWidth, ImageHeight));
    const double r1 = double(FrameHeight) / FrameWidth;
    const double r2 = double(ImageHeight) / ImageWidth;
    // nearbyint rounds halves to even in the default rounding mode.
    if (r1 > r2) {
        InnerWidth = FrameWidth;
        InnerHeight = int32_t(std::nearbyint(FrameWidth * r2));
    } else {
        InnerHeight = FrameHeight;
        InnerWidth = int32_t(std::nearbyint(FrameHeight / r2));
    }
    if (InnerHeight > FrameHeight)
        InnerHeight = FrameHeight;
    if (InnerWidth > FrameWidth)
        InnerWidth = FrameWidth;
}

TThGraphic::TThGraphic(QObject* owner) : QObject(owner) {}

TThGraphic::~TThGraphic() = default;

bool TThGraphic::LoadImage(const QString& fileName) {
    if (fileName.isEmpty())
        return false;
    // A held image serves again unless it was decoded too small for the present box, or the
    // file has been written since (a reload after an edit must see the new picture).
    PFileEntry info;
    if (!PStatEntry(fileName, info))
        info = PFileEntry();
    const QDateTime stamp =
        QDateTime::fromMSecsSinceEpoch(info.MTime * 1000 + info.MTimeNsec / 1000000);
    const qint64 size = info.Size;
    if (fileName == FLastFileName && stamp == FLastFileStamp && size == FLastFileSize &&
        FPicture.Covers(FBoxWidth, FBoxHeight))
        return true;
    FLastFileName.clear();
    FPicture.Clear();
    // Without a box only the size is needed: the smallest scale will do.
    const int hintW = FBoxWidth > 0 && FBoxHeight > 0 ? FBoxWidth : 1;
    const int hintH = FBoxWidth > 0 && FBoxHeight > 0 ? FBoxHeight : 1;
    ++FDecodeCount;
    if (TGraphicReaderClass readerClass = FindGraphicReader(fileName)) {
        std::unique_ptr<TGraphicReader> reader = readerClass();
        reader->SetSizeHint(hintW, hintH);
        reader->LoadFromFile(fileName);
        FPicture.Assign(*reader);
    } else {
        FPicture.LoadFromFile(fileName, hintW, hintH);
    }
    FLastFileName = fileName;
    FLastFileStamp = stamp;
    FLastFileSize = size;
    return true;
}

bool TThGraphic::MakeThumbnail(const QString& fileName) {
    if (!LoadImage(fileName))
        return false;
    FThumbnail = QImage();
    FInnerSize.SetSize(FBoxWidth, FBoxHeight, FPicture.Width(), FPicture.Height());
    if (FInnerSize.InnerWidth > 0 && FInnerSize.InnerHeight > 0) {
        QImage bitmap(FInnerSize.InnerWidth, FInnerSize.InnerHeight, QImage::Format_RGB888);
        if (bitmap.isNull())
            throw Exception(QStringLiteral("Out of memory for a %1 x %2 thumbnail")
                                .arg(FInnerSize.InnerWidth)
                                .arg(FInnerSize.InnerHeight));
        FPicture.Draw(bitmap, QRect(0, 0, bitmap.width(), bitmap.height()));
        FThumbnail = std::move(bitmap);
    }
    return true;
}

static QString ExifDateText(const QString& value) {
    QString s = value.left(19);
    if (s.size() >= 8) {
        s[4] = u'/';
        s[7] = u'/';
    }
    return s;
}

bool TThGraphic::GetImageInfo(const QString& fileName, int32_t& width, int32_t& height,
                              QString& exifDateTimeOriginal, QString& exifDateTime,
                              QString& fileTime, int32_t& fileSize, QString& volumeLabel,
                              QString& volumeSerial) {
    if (!LoadImage(fileName))
        return false;
    width = FPicture.Width();
    height = FPicture.Height();
    if (FExif.Read(fileName)) {
        FExif.FileName = fileName;
        exifDateTimeOriginal = ExifDateText(FExif.DateTimeOriginal());
        exifDateTime = ExifDateText(FExif.DateTime());
    } else {
        exifDateTimeOriginal.clear();
        exifDateTime.clear();
    }
    if (!GetFileTimeAndSize(fileName, fileTime, fileSize))
        return false;
    return GetVolumeLabelAndSerial(fileName, volumeLabel, volumeSerial);
}
