#include "support_CacheTest.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>

void WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QMap<QString, QByteArray> FilesUnder(const QString& dir, const QString& filter) {
    QMap<QString, QByteArray> files;
    for (QDirIterator it(dir, {filter}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        files[path] = ReadAll(path);
    }
    return files;
}

void MakePicture(const QString& path, int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(
                x, y,
                qRgb((x * 7 + seed * 40) & 255, (y * 5 + seed * 30) & 255, (seed * 50) & 255));
    QDir().mkpath(QFileInfo(path).path());
    image.save(path, "PNG");
}

std::unique_ptr<TThumbnailDB> NewDB(const QString& home, const QString& base, int box, int maxKB) {
    auto db = std::make_unique<TThumbnailDB>(nullptr, home);
    db->SetCacheDirectory(base);
    db->SetMaxSizeKB(maxKB);
    db->SetWidth(box);
    db->SetHeight(box);
    return db;
}
