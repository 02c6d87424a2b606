#include "CVersion.h"

#include "CException.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <unistd.h>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION ""
#endif

TVersionInfo::TVersionInfo(const QString& fileName) : FFileName(fileName) {
    const QByteArray native = QFile::encodeName(fileName);
    if (fileName.isEmpty() || ::access(native.constData(), R_OK) != 0) {
        const int code = fileName.isEmpty() ? ENOENT : errno;
        throw Exception(QStringLiteral("\"%1\"のバージョン情報のサイズを取得できません。詳細:%2")
                            .arg(fileName, QString::number(code)));
    }
    const QString version = QStringLiteral(VELMORA_VERSION);
    FBuffer = {QStringLiteral("FileVersion"),     version,
               QStringLiteral("ProductVersion"),  version,
               QStringLiteral("ProductName"),     QStringLiteral("Velmora"),
               QStringLiteral("InternalName"),    QStringLiteral("Velmora"),
               QStringLiteral("FileDescription"), QStringLiteral("Velmora")};
}

QString TVersionInfo::GetValue(const QString& name) const {
    for (int i = 0; i + 1 < FBuffer.size(); i += 2)
        if (FBuffer[i] == name)
            return FBuffer[i + 1];
    return {};
}

QString ProgramFileName() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? QFile::decodeName(QByteArray(buf, int(n))) : QString();
}
