// libFuzzer target for the settings-file reader and writer: any file reads without harm,
// every key it lists reads back, and a write changes the one key written and no other value.
#include "services/CIniFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

// False when one of the properties above fails for the input.
inline bool CheckSettingsFile(const uint8_t* data, size_t size) {
    static const QString path = (QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath()) +
                                QStringLiteral("/velmora-fuzz-%1.ini").arg(::getpid());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    f.write(reinterpret_cast<const char*>(data), qint64(size));
    f.close();
    TIniFile ini(path);
    const QString missing = QStringLiteral("\x01missing");
    // "section\nkey" (folded) -> section, key, value; a few of each, as every read goes to disk.
    QHash<QString, QStringList> before;
    for (const QString& section : ini.ReadSections().mid(0, 3))
        for (const QString& key : ini.ReadSection(section).mid(0, 3))
            if (const QString id = (section + u'\n' + key).toCaseFolded(); !before.contains(id))
                before.insert(id, {section, key, ini.ReadString(section, key, missing)});
    for (const QStringList& v : before) // a listed key that does not read, or reads too long
        if (v[2] == missing || v[2].size() > TIniFile::MaxValueLength)
            return false;
    int number = 0;
    (void)ini.ReadInteger(QStringLiteral("Cache"), QStringLiteral("Size"), -1);
    (void)TIniFile::ParseInteger(QString::fromUtf8(reinterpret_cast<const char*>(data),
                                                   qsizetype(std::min<size_t>(size, 64))),
                                 number);
    // One key written into the first section; names the format cannot hold are never written.
    const QString section = ini.ReadSections().value(0, QStringLiteral("Fuzz"));
    static const QRegularExpression unwritable("[]\\r\\n]");
    if (section.contains(unwritable) || section.trimmed() != section || section.isEmpty())
        return true;
    const QString key = QStringLiteral("Written"), value = QStringLiteral("value %1").arg(size);
    try {
        ini.WriteString(section, key, value);
    } catch (...) {
        return false; // the file is ours and writable
    }
    if (ini.ReadString(section, key, QString()) != value)
        return false;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (it.key() != (section + u'\n' + key).toCaseFolded() &&
            ini.ReadString((*it)[0], (*it)[1], missing) != (*it)[2])
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckSettingsFile(data, size))
        std::abort();
    return 0;
}
