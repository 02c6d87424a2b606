#include "Orientation.h"

#include "ExifReader.h"

#include <QImageIOHandler>
#include <QImageReader>
#include <QTransform>

namespace {

bool IsTiffName(const QString& fileName) {
    const QString ext = fileName.section(QLatin1Char('.'), -1).toLower();
    return ext == QLatin1String("tif") || ext == QLatin1String("tiff");
}

// Qt's transformation flags as the tag value they stand for.
int TagOfTransformation(QImageIOHandler::Transformations t) {
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror:
        return 2;
    case QImageIOHandler::TransformationRotate180:
        return 3;
    case QImageIOHandler::TransformationFlip:
        return 4;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return 5;
    case QImageIOHandler::TransformationRotate90:
        return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return 7;
    case QImageIOHandler::TransformationRotate270:
        return 8;
    default:
        return 1;
    }
}

} // namespace

bool OrientationInExif(const QString& fileName) {
    return !IsTiffName(fileName);
}

int OrientationOfBlock(const TExifReader& exif) {
    const int tag = exif.Orientation();
    return tag >= 1 && tag <= 8 ? tag : 1;
}

int ReadOrientation(const QString& fileName, TExifReader& exif) {
    if (IsTiffName(fileName)) {
        // Only the header is read for this.
        QImageReader reader(fileName);
        return TagOfTransformation(reader.transformation());
    }
    if (!exif.Read(fileName))
        return 1;
    return OrientationOfBlock(exif);
}

bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

QImage OrientImage(const QImage& image, int orientation) {
    if (image.isNull() || orientation < 2 || orientation > 8)
        return image;
    // Quarter turns take Qt's exact fast path; in Qt's y-down coordinates a positive angle
    // turns clockwise.
    auto turn = [](const QImage& img, int degrees) {
        return img.transformed(QTransform().rotate(degrees), Qt::FastTransformation);
    };
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5: // mirrored along the main diagonal
        return turn(image, 90).mirrored(true, false);
    case 6:
        return turn(image, 90);
    case 7: // mirrored along the other diagonal
        return turn(image, 270).mirrored(true, false);
    default: // 8
        return turn(image, 270);
    }
}
