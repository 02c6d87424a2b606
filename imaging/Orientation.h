#pragma once
// Picture orientation: cameras and phones store many portrait photographs lying on their side
// and record in the orientation tag (values 1 to 8) how the picture must be turned and
// mirrored to stand upright. This unit reads the tag and turns a picture by it; the turn is
// lossless (quarter turns and mirrors only).
#include <QImage>
#include <QString>

class TExifReader;

// The orientation tag of a picture file: the EXIF block of a JPEG, the TIFF tag of a TIFF.
// 1 (upright as stored) when the file has none, or a value outside 1 to 8. exif is the
// reader used for the JPEG block; its earlier block is replaced.
int ReadOrientation(const QString& fileName, TExifReader& exif);

// Whether a file keeps its tag in a JPEG's EXIF block (every name but a TIFF's), so that
// a block already read gives it.
bool OrientationInExif(const QString& fileName);
// The tag of the block the reader read last: 1 when it has none or an unusable value.
int OrientationOfBlock(const TExifReader& exif);

// The picture turned upright for the given tag value; values outside 2 to 8 leave it as
// it is.
QImage OrientImage(const QImage& image, int orientation);

// Whether the tag value swaps width and height (5 to 8).
bool OrientationSwapsSides(int orientation);
