// libFuzzer target for the reader of stored thumbnails: any bytes either give a picture that
// fits the box they were stored for or are refused with a reason; an accepted opaque picture,
// written the way the cache writes it, reads back with the same pixels.
#include "cache/CThTable.h"

#include <QBuffer>
#include <QImageWriter>
#include <cstdint>
#include <cstdlib>

namespace {
bool Read(const QByteArray& bytes, qint64 size, int w, int h, QImage& bitmap, QString& error) {
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    error.clear();
    return ReadCachedBitmap(device, size, w, h, bitmap, error);
}
} // namespace

// False when one of the properties above fails for the input.
inline bool CheckCachedBitmap(const uint8_t* data, size_t size) {
    // The last two bytes choose the box, so small and odd boxes are tried too.
    const int w = size >= 2 ? 1 + data[size - 2] * 2 : 512, h = size ? 1 + data[size - 1] * 2 : 512;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QImage bitmap, back;
    QString error;
    // Stored with another size than the file has: always refused, with a reason.
    if (size > 0 && (Read(bytes, qint64(size) - 1, w, h, bitmap, error) || error.isEmpty()))
        return false;
    if (!Read(bytes, qint64(size), w, h, bitmap, error))
        return !error.isEmpty();
    if (bitmap.isNull() || bitmap.width() > w || bitmap.height() > h)
        return false;
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    if (bitmap.hasAlphaChannel() || !QImageWriter(&out, "BMP").write(bitmap))
        return true; // alpha and formats the writer does not take are not the reader's concern
    return Read(written, written.size(), w, h, back, error) &&
           back.convertToFormat(QImage::Format_RGB32) ==
               bitmap.convertToFormat(QImage::Format_RGB32);
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
