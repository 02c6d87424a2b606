#pragma once
// Helpers shared by the thumbnail cache tests (with those of support/TestSupport.h).
#include "cache/CThumbnailDB.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

// Writes the file, making its folder first.
void WriteFileBytes(const QString& path, const QByteArray& bytes);
// Every file under the folder (hidden ones too) matching the name filter, with its bytes.
QMap<QString, QByteArray> FilesUnder(const QString& dir, const QString& filter = "*");
// A PNG whose pattern depends on the seed (and its folder).
void MakePicture(const QString& path, int w, int h, int seed);
// A database over base/_TDB0100 with the program folder home, a square box and a limit.
std::unique_ptr<TThumbnailDB> NewDB(const QString& home, const QString& base, int box = 512,
                                    int maxKB = 100000);
