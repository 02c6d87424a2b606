#include "PSystem.h"
#include "PFileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QByteArray Native(const QString& path) {
    return PEncodeName(path);
}

// The path itself when it exists, else its nearest existing parent ("" when none).
QString NearestExisting(const QString& path) {
    if (path.isEmpty())
        return {};
    QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (;;) {
        struct stat st {};
        if (::stat(Native(p).constData(), &st) == 0)
            return p;
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            return {};
        p = parent;
    }
}

} // namespace

bool PFreeDiskSpace(const QString& path, uint64_t& bytes) {
    bytes = 0;
    const QString p = NearestExisting(path);
    if (p.isEmpty())
        return false;
    struct statvfs sv {};
    if (::statvfs(Native(p).constData(), &sv) != 0)
        return false;
    bytes = static_cast<uint64_t>(sv.f_bavail) * static_cast<uint64_t>(sv.f_frsize);
    return true;
}

QString PFileSystemKind(const QString& path) {
    const QByteArray fake = qgetenv("VELMORA_TEST_FS_TYPE");
    if (!fake.isEmpty())
        return QString::fromUtf8(fake).toLower();
    const QString p = NearestExisting(path);
    if (p.isEmpty())
        return {};
    struct statfs sf {};
    if (::statfs(Native(p).constData(), &sf) != 0)
        return {};
    switch (static_cast<uint32_t>(sf.f_type)) {
    case 0x6969u:
        return "nfs";
    case 0x517Bu:
        return "smb";
    case 0xFE534D42u:
        return "smb2";
    case 0xFF534D42u:
        return "cifs";
    case 0x5346414Fu: // AFS
    case 0x6B414653u: // kAFS
        return "afs";
    case 0x73757245u:
        return "coda";
    case 0x01021997u:
        return "9p";
    case 0x00C36400u:
        return "ceph";
    default:
        return "local";
    }
}

bool PIsOnNetworkFileSystem(const QString& path) {
    static const QStringList network = {"nfs", "smb", "smb2", "cifs", "afs", "coda", "9p", "ceph"};
    return network.contains(PFileSystemKind(path));
}

bool PIsReadOnlyFile(const QString& path) {
    const QByteArray p = Native(path);
    struct stat st {};
    if (::stat(p.constData(), &st) != 0)
        return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return ::access(p.constData(), W_OK) != 0;
}

QString PUserDataDir() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + "/.local/share";
    return QDir::cleanPath(base + "/velmora") + "/";
}

QString PProgramDir() {
    // The executable itself, not the current folder or argv[0].
    QString dir = QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).path();
    return dir.endsWith('/') ? dir : dir + "/";
}

bool PIsWritableDir(const QString& path) {
    const QByteArray p = Native(path);
    struct stat st {};
    return ::stat(p.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(p.constData(), W_OK | X_OK) == 0;
}
