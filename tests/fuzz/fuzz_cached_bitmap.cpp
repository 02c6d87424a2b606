// libFuzzer target for the reader of stored thumbnails: any bytes either give a picture
// that fits the box they were stored for, or are refused with a reason; a picture that is
// accepted, written the way the cache writes it, reads back with the same pixels.
#include "cache/CThTable.h"

#include <QBuffer>
#include <QImageWriter>
#include <cstdint>
#include <cstdlib>

namespace {
bool Read(const QByteArray& bytes, qint64 size, int boxW, int boxH, QImage& bitmap,
          QString& error) {
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    error.clear();
    return ReadCachedBitmap(device, size, boxW, boxH, bitmap, error);
}
} // namespace

// False when one of the properties above fails for the input.
inline bool CheckCachedBitmap(const uint8_t* data, size_t size) {
    // The last two bytes choose the box, so small and odd boxes are tried too.
    const int32_t boxW = size >= 2 ? 1 + data[size - 2] * 2 : 512;
    const int32_t boxH = size >= 1 ? 1 + data[size - 1] * 2 : 512;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QImage bitmap, back;
    QString error;
    // Stored with another size than the file has: always refused, with a reason.
    if (size > 0 && (Read(bytes, qint64(size) - 1, boxW, boxH, bitmap, error) || error.isEmpty()))
        return false;
    if (!Read(bytes, qint64(size), boxW, boxH, bitmap, error))
        return !error.isEmpty();
    if (bitmap.isNull() || bitmap.width() > boxW || bitmap.height() > boxH)
        return false;
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    if (!QImageWriter(&out, "BMP").write(bitmap))
        return true; // a format the writer does not take is not the reader's fault
    if (!Read(written, written.size(), boxW, boxH, back, error))
        return false;
    const QImage a = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QImage b = back.convertToFormat(QImage::Format_ARGB32);
    if (a.size() != b.size())
        return false;
    // The writer keeps colour; alpha survives only where the format carries it.
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF) &&
                qAlpha(a.pixel(x, y)) == 255)
                return false;
    return true;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt's image plug-ins complain about every damaged file on the terminal.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckCachedBitmap(data, size))
        std::abort();
    return 0;
}
