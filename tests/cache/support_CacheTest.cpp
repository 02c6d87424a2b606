#include "support_CacheTest.h"

#include "services/CLogCtrls.h"
#include "services/CThDebug.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

LogCapture::LogCapture(const QString& dir) {
    SetDebugFlag(DebugLog, true);
    LogFile().Open(dir + "/Log/A");
    FPath = LogFile().LogPath();
    FSkip = int(Messages().size());
}

LogCapture::~LogCapture() {
    LogFile().Close();
    SetDebugFlag(DebugLog, false);
}

QStringList LogCapture::Messages() const {
    QStringList out;
    const QString text = QString::fromUtf8(ReadFileBytes(FPath));
    for (const QString& line : text.split("\r\n")) {
        // "hh:mm:ss.zzz " and the two-character level mark come first.
        if (line.size() >= 15 && line[2] == ':' && line[8] == '.')
            out << line.mid(15);
    }
    return out.mid(FSkip);
}

QStringList LogCapture::With(const QString& prefix) const {
    QStringList out;
    for (const QString& m : Messages())
        if (m.startsWith(prefix))
            out << m;
    return out;
}

QByteArray ReadFileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

void MakeSourceFile(const QString& path, int seed) {
    WriteFileBytes(path, QByteArray(100 + seed % 1000, char('a' + seed % 26)));
}
