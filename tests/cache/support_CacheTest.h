#pragma once
// Helpers shared by the thumbnail cache tests.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Switches the cache's log on into a fresh file under the folder for the life of the
// object; Messages() gives the messages of the timed lines written so far.
class LogCapture {
public:
    explicit LogCapture(const QString& dir);
    ~LogCapture();
    QStringList Messages() const;
    // Messages beginning with the prefix.
    QStringList With(const QString& prefix) const;

private:
    QString FPath;
    int FSkip = 0; // the log's own opening lines
};

QByteArray ReadFileBytes(const QString& path);
void WriteFileBytes(const QString& path, const QByteArray& bytes);
// A small file whose contents (and so size) depend on the seed.
void MakeSourceFile(const QString& path, int seed);
