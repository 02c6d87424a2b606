#include "GraphicReader.h"

#include "JpegReader.h"
#include "QtImageReader.h"
#include "services/CException.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

QSize FitIntoBox(int boxWidth, int boxHeight, int imageWidth, int imageHeight) {
    if (boxWidth <= 0 || boxHeight <= 0 || imageWidth <= 0 || imageHeight <= 0)
        return {0, 0};
    const double r1 = double(boxHeight) / boxWidth;
    const double r2 = double(imageHeight) / imageWidth;
    int w, h;
    if (r1 > r2) {
        w = boxWidth;
        h = int(std::nearbyint(boxWidth * r2));
    } else {
        h = boxHeight;
        w = int(std::nearbyint(boxHeight / r2));
    }
    return {std::min(w, boxWidth), std::min(h, boxHeight)};
}

void StretchDrawNearest(const QImage& raster, QImage& target, const QRect& rect) {
    if (raster.isNull() || target.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    Q_ASSERT(raster.format() == QImage::Format_RGB888);
    Q_ASSERT(target.format() == QImage::Format_RGB888);
    const QRect clip = rect.intersected(target.rect());
    if (clip.isEmpty())
        return;
    const int64_t sw = raster.width(), sh = raster.height();
    const int64_t dw = rect.width(), dh = rect.height();
    // Each target pixel takes the source pixel under its centre.
    std::vector<int> xoff(size_t(clip.width()));
    for (int x = clip.left(); x <= clip.right(); ++x) {
        const int64_t i = x - rect.left();
        xoff[size_t(x - clip.left())] = int(std::min(sw - 1, ((2 * i + 1) * sw) / (2 * dw))) * 3;
    }
    const uchar* src = raster.constBits();
    const qsizetype sbpl = raster.bytesPerLine();
    for (int y = clip.top(); y <= clip.bottom(); ++y) {
        const int64_t j = y - rect.top();
        const int64_t sy = std::min(sh - 1, ((2 * j + 1) * sh) / (2 * dh));
        const uchar* s = src + sy * sbpl;
        uchar* d = target.scanLine(y) + clip.left() * 3;
        for (size_t k = 0; k < xoff.size(); ++k, d += 3) {
            const uchar* p = s + xoff[k];
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
        }
    }
}

void TGraphicReader::SetSizeHint(int boxWidth, int boxHeight) {
    FBoxWidth = std::max(0, boxWidth);
    FBoxHeight = std::max(0, boxHeight);
}

void TGraphicReader::Draw(QImage& target, const QRect& rect) const {
    StretchDrawNearest(FRaster, target, rect);
}

namespace {

struct TRegistry {
    QMutex Lock;
    std::vector<std::pair<QString, TGraphicReaderClass>> Entries;

    TRegistry() {
        for (const char* e : {"jfif", "jpg", "jpe", "jpeg"})
            Entries.emplace_back(QString::fromLatin1(e), &TJpegReader::Create);
        for (const char* e :
             {"bmp", "rle", "dib", "ico", "wmf", "emf", "win", "vst", "vda", "tga",  "icb", "tiff",
              "tif", "fax", "eps", "pcx", "pcc", "scr", "rpf", "rla", "sgi", "rgba", "rgb", "bw",
              "psd", "pdd", "ppm", "pgm", "pbm", "cel", "pic", "pcd", "gif", "cut",  "psp", "png"})
            Entries.emplace_back(QString::fromLatin1(e), &TQtImageReader::Create);
    }
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

QString ExtensionOf(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

} // namespace

TGraphicReaderClass FindGraphicReader(const QString& fileName) {
    const QString ext = ExtensionOf(fileName);
    if (ext.isEmpty())
        return nullptr;
    TRegistry& r = Registry();
    QMutexLocker lock(&r.Lock);
    for (const auto& [e, cls] : r.Entries)
        if (e == ext)
            return cls;
    return nullptr;
}

void RegisterGraphicReader(const QString& extension, TGraphicReaderClass readerClass) {
    const QString ext = extension.toLower();
    TRegistry& r = Registry();
    QMutexLocker lock(&r.Lock);
    for (auto it = r.Entries.begin(); it != r.Entries.end(); ++it) {
        if (it->first == ext) {
            if (readerClass)
                it->second = readerClass;
            else
                r.Entries.erase(it);
            return;
        }
    }
    if (readerClass)
        r.Entries.emplace_back(ext, readerClass);
}

QStringList RegisteredExtensions() {
    TRegistry& r = Registry();
    QMutexLocker lock(&r.Lock);
    QStringList list;
    for (const auto& entry : r.Entries)
        list.append(entry.first);
    return list;
}

void DecodeImageFile(const QString& fileName, int boxWidth, int boxHeight, int& width, int& height,
                     QImage& raster, QString* formatName) {
    // The content decides, whatever the extension says.
    if (LooksLikeJpeg(fileName)) {
        DecodeJpegFile(fileName, boxWidth, boxHeight, width, height, raster);
        if (formatName)
            *formatName = QStringLiteral("JPEG");
    } else {
        DecodeQtImageFile(fileName, boxWidth, boxHeight, width, height, raster, formatName);
    }
}

// --- pooled raster memory ---------------------------------------------------------------

namespace {

// Larger rasters (full-size decodes for printing) are not kept for the next picture.
constexpr size_t kMaxPooledRaster = size_t(64) << 20;

struct TRasterStore {
    std::unique_ptr<uchar[]> Data;
    size_t Capacity = 0;
};

void ReleaseStore(void* info) {
    delete static_cast<std::shared_ptr<TRasterStore>*>(info);
}

// An image of the format on memory from the pool (see AcquireRaster).
QImage AcquireFrom(std::shared_ptr<TRasterStore>& pool, int width, int height,
                   QImage::Format format) {
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qsizetype bpl = ((qsizetype(width) * depth + 31) / 32) * 4;
    const size_t need = size_t(bpl) * size_t(height);
    const bool keep = need <= kMaxPooledRaster;
    if (!keep || !pool || pool.use_count() > 1 || pool->Capacity < need) {
        // Still held by a picture, or too small: a new store, a little larger than asked
        // so that the next photo of about the same size fits too.
        auto store = std::make_shared<TRasterStore>();
        store->Capacity = keep ? need + need / 4 : need;
        store->Data.reset(new (std::nothrow) uchar[store->Capacity]);
        if (!store->Data)
            throw Exception(
                QStringLiteral("Out of memory for a %1 x %2 image").arg(width).arg(height));
        if (!keep) {
            auto* own = new std::shared_ptr<TRasterStore>(std::move(store));
            return QImage((*own)->Data.get(), width, height, bpl, format, &ReleaseStore, own);
        }
        pool = std::move(store);
    }
    auto* hold = new std::shared_ptr<TRasterStore>(pool);
    return QImage(pool->Data.get(), width, height, bpl, format, &ReleaseStore, hold);
}

} // namespace

QImage AcquireRaster(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    thread_local std::shared_ptr<TRasterStore> pool;
    return AcquireFrom(pool, width, height, QImage::Format_RGB888);
}

QImage AcquireDecodeTarget(int width, int height, QImage::Format format) {
    if (width <= 0 || height <= 0 || format <= QImage::Format_Invalid ||
        format >= QImage::NImageFormats || QImage::toPixelFormat(format).bitsPerPixel() < 8)
        return {};
    // Larger images are left to the reader, which allocates them within its own limit.
    if (size_t(width) * size_t(height) * QImage::toPixelFormat(format).bitsPerPixel() / 8 >
        kMaxPooledRaster)
        return {};
    thread_local std::shared_ptr<TRasterStore> pool;
    return AcquireFrom(pool, width, height, format);
}
