// libFuzzer target for the settings-file reader and writer: any file reads without harm,
// every key it lists reads back, and a write changes the one key written and no other
// readable value.
#include "services/CIniFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
const QString Missing = QStringLiteral("\x01missing");
// "section\nkey" (folded) -> the section, key and value: of the first keys of the first
// sections only (every read goes to the file, so a few per section keep the run fast).
QHash<QString, QStringList> ReadEverything(const TIniFile& ini) {
    QHash<QString, QStringList> out;
    for (const QString& section : ini.ReadSections().mid(0, 3))
        for (const QString& key : ini.ReadSection(section).mid(0, 3))
            if (const QString id = (section + u'\n' + key).toCaseFolded(); !out.contains(id))
                out.insert(id, {section, key, ini.ReadString(section, key, Missing)});
    return out;
}
} // namespace

// False when one of the properties above fails for the input.
inline bool CheckSettingsFile(const uint8_t* data, size_t size) {
    // One file per process, in memory where the system offers it.
    static const QString path = (QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath()) +
                                QStringLiteral("/velmora-fuzz-%1.ini").arg(::getpid());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    f.write(reinterpret_cast<const char*>(data), qint64(size));
    f.close();
    TIniFile ini(path);
    const auto before = ReadEverything(ini);
    for (const QStringList& v : before) // a listed key that does not read, or reads too long
        if (v[2] == Missing || v[2].size() > TIniFile::MaxValueLength)
            return false;
    int number = 0;
    (void)ini.ReadInteger(QStringLiteral("Cache"), QStringLiteral("Size"), -1);
    (void)ini.ReadBool(QStringLiteral("Debug"), QStringLiteral("DebugLog"), false);
    (void)TIniFile::ParseInteger(QString::fromUtf8(reinterpret_cast<const char*>(data),
                                                   qsizetype(std::min<size_t>(size, 64))),
                                 number);

    // Write one key, named after the input's first section when it has one; names the file
    // format cannot hold are not written by the program.
    const QString section = ini.ReadSections().value(0, QStringLiteral("Fuzz"));
    if (section.contains(u']') || section.contains(u'\n') || section.contains(u'\r') ||
        section.trimmed() != section || section.isEmpty())
        return true;
    const QString key = QStringLiteral("Written"), value = QStringLiteral("value %1").arg(size);
    try {
        ini.WriteString(section, key, value);
    } catch (...) {
        return false; // the file is ours and writable
    }
    if (ini.ReadString(section, key, QString()) != value)
        return false;
    const QString written = (section + u'\n' + key).toCaseFolded();
    for (auto it = before.begin(); it != before.end(); ++it)
        if (it.key() != written && ini.ReadString((*it)[0], (*it)[1], Missing) != (*it)[2])
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckSettingsFile(data, size))
        std::abort();
    return 0;
}
