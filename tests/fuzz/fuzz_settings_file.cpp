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

// One file per process, in memory where the system offers it.
const QString& FuzzFile() {
    static const QString path =
        (QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
        QStringLiteral("/velmora-fuzz-%1.ini").arg(::getpid());
    return path;
}

struct TValue {
    QString Section, Key, Value;
};
using TValues = QHash<QString, TValue>; // "section\nkey" (folded) -> where and what

// The values of the first keys of the first sections (every read goes to the file, so a few
// per section keep the run fast).
TValues ReadEverything(const TIniFile& ini) {
    TValues out;
    for (const QString& section : ini.ReadSections().mid(0, 3))
        for (const QString& key : ini.ReadSection(section).mid(0, 3)) {
            const QString id = (section + u'\n' + key).toCaseFolded();
            if (!out.contains(id))
                out.insert(id, {section, key,
                                ini.ReadString(section, key, QStringLiteral("\x01missing"))});
        }
    return out;
}

} // namespace

// False when one of the properties above fails for the input.
inline bool CheckSettingsFile(const uint8_t* data, size_t size) {
    const QString path = FuzzFile();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return true;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    TIniFile ini(path);
    const TValues before = ReadEverything(ini);
    for (const TValue& v : before) // a listed key that does not read, or reads too long
        if (v.Value == QStringLiteral("\x01missing") || v.Value.size() > TIniFile::MaxValueLength)
            return false;
    int number = 0;
    (void)ini.ReadInteger(QStringLiteral("Cache"), QStringLiteral("Size"), -1);
    (void)ini.ReadBool(QStringLiteral("Debug"), QStringLiteral("DebugLog"), false);
    (void)TIniFile::ParseInteger(QString::fromUtf8(reinterpret_cast<const char*>(data),
                                                   qsizetype(std::min<size_t>(size, 64))),
                                 number);

    // Write one key, named after the input's first section when it has one.
    const QStringList sections = ini.ReadSections();
    const QString section = sections.isEmpty() ? QStringLiteral("Fuzz") : sections.first();
    // Names the file format cannot hold are not written by the program.
    if (section.contains(u']') || section.contains(u'\n') || section.contains(u'\r') ||
        section.trimmed() != section || section.isEmpty())
        return true;
    const QString key = QStringLiteral("Written");
    const QString value = QStringLiteral("value %1").arg(size);
    try {
        ini.WriteString(section, key, value);
    } catch (...) {
        return false; // the file is ours and writable
    }
    if (ini.ReadString(section, key, QString()) != value)
        return false;
    const QString written = (section + u'\n' + key).toCaseFolded();
    for (auto it = before.begin(); it != before.end(); ++it)
        if (it.key() != written &&
            ini.ReadString(it->Section, it->Key, QStringLiteral("\x01missing")) != it->Value)
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckSettingsFile(data, size))
        std::abort();
    return 0;
}
