// libFuzzer target for the JPEG path of the thumbnail maker: any input either decodes to a
// raster of the promised size within the pixel cap (a large photograph counts at the scale
// it is decoded), which then stretches into its thumbnail, or is refused with an Exception
// carrying a message; the EXIF reader takes the same bytes without harm.
#include "imaging/ExifReader.h"
#include "imaging/GraphicReader.h"
#include "imaging/JpegReader.h"
#include "services/CException.h"

#include <cstdint>
#include <cstdlib>

// False when one of the properties above fails for the input.
inline bool CheckJpegInput(const uint8_t* data, size_t size) {
    static const int boxes[] = {16, 64, 200, 512};
    const int box = boxes[size ? data[size - 1] % 4 : 0];
    try {
        int w = 0, h = 0, d = 0;
        QImage raster;
        DecodeJpegData(data, size, QStringLiteral("fuzz.jpg"), box, box, w, h, raster, &d);
        const QSize fit = FitIntoBox(box, box, w, h);
        if (w <= 0 || h <= 0 || int64_t(raster.width()) * raster.height() > kMaxImagePixels ||
            raster.format() != QImage::Format_RGB888 ||
            raster.size() != QSize((w + d - 1) / d, (h + d - 1) / d) || fit.width() > box ||
            fit.height() > box)
            return false;
        if (!fit.isEmpty()) {
            QImage thumb(fit, QImage::Format_RGB888);
            StretchDrawNearest(raster, thumb, QRect(QPoint(0, 0), fit));
        }
    } catch (const Exception& e) {
        if (e.Message().isEmpty())
            return false;
    } catch (...) {
        return false;
    }
    TExifReader exif;
    if (exif.ReadData(data, size))
        exif.DateTimeOriginal(), exif.DateTime();
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckJpegInput(data, size))
        std::abort();
    return 0;
}
