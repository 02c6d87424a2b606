#include "CCommon.h"

#include "platform/PFileSystem.h"

#include <cstdio>
#include <ctime>

QString FormatStdDateTime(int year, int month, int day, int hour, int minute, int second) {
    // Plain integer formatting into a local buffer: no locale, no shared state.
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day,
                                hour, minute, second);
    return QString::fromLatin1(buf, n < 0 ? 0 : qMin(n, int(sizeof buf) - 1));
}

QString FormatStdDateTime(const QDateTime& dateTime) {
    const QDate d = dateTime.date();
    const QTime t = dateTime.time();
    return FormatStdDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

static QString ExtensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype slash = name.lastIndexOf(u'/');
    return dot > slash ? name.mid(dot) : QString();
}

bool FileExistsExact(const QString& path) {
    PFileEntry e;
    if (!PStatEntry(path, e) || e.IsDir)
        return false;
    return ExtensionOf(e.Name).compare(ExtensionOf(path), Qt::CaseInsensitive) == 0;
}

void SetNormalAttributes(const QString& path) {
    PAddOwnerWrite(path);
}

void ClearReadOnly(const QString& path) {
    PFileEntry e;
    if (PStatEntry(path, e) && e.ReadOnly)
        PAddOwnerWrite(path);
}

bool GetFileTimeAndSize(const QString& fileName, QString& fileTime, int32_t& fileSize) {
    PFileEntry e;
    if (!PStatEntry(fileName, e)) {
        fileTime.clear();
        fileSize = 0;
        return false;
    }
    const time_t t = time_t(e.MTime);
    struct tm lt;
    if (!localtime_r(&t, &lt)) {
        fileTime.clear();
        fileSize = 0;
        return false;
    }
    // The two-second steps of the DOS date-time: odd seconds are dropped.
    fileTime = FormatStdDateTime(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour,
                                 lt.tm_min, lt.tm_sec & ~1);
    fileSize = int32_t(uint32_t(uint64_t(e.Size)));
    return true;
}

bool GetVolumeLabelAndSerial(const QString& fileName, QString& volumeLabel, QString& volumeSerial) {
    volumeLabel.clear();
    volumeSerial.clear();
    QString label;
    uint32_t serial = 0;
    if (fileName.isEmpty() || !PVolumeInfo(fileName, label, serial))
        return true;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X-%04X", unsigned(serial >> 16), unsigned(serial & 0xFFFF));
    volumeLabel = label.left(260);
    volumeSerial = QString::fromLatin1(buf);
    return true;
}

bool SameFileTimeAndSize(const QString& fileName, const QString& fileTime, int32_t fileSize) {
    QString t;
    int32_t s = 0;
    return GetFileTimeAndSize(fileName, t, s) && t == fileTime && s == fileSize;
}

bool SameVolume(const QString& fileName, const QString& volumeLabel, const QString& volumeSerial) {
    QString l, s;
    GetVolumeLabelAndSerial(fileName, l, s);
    return l == volumeLabel && s == volumeSerial;
}
