#include "PVolumes.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <sys/statvfs.h>

namespace {

// Kernel and container file systems that hold no user folders.
bool IsPseudoType(const QByteArray& type) {
    static const QSet<QByteArray> pseudo{
        "proc",        "sysfs",      "devtmpfs",        "devpts",     "cgroup",
        "cgroup2",     "securityfs", "debugfs",         "tracefs",    "pstore",
        "bpf",         "mqueue",     "hugetlbfs",       "configfs",   "fusectl",
        "binfmt_misc", "autofs",     "efivarfs",        "rpc_pipefs", "nsfs",
        "ramfs",       "selinuxfs",  "fuse.gvfsd-fuse", "fuse.portal"};
    return pseudo.contains(type);
}

// Mount points under the system's own folders; removable media below /run/media stay.
bool IsSystemMount(const QString& mountPoint) {
    for (const char* root : {"/proc", "/sys", "/dev", "/run"}) {
        const QString r = QString::fromLatin1(root);
        if (mountPoint == r || mountPoint.startsWith(r + '/'))
            return !mountPoint.startsWith(QStringLiteral("/run/media/"));
    }
    return false;
}

} // namespace

QList<PVolume> PMountedVolumes() {
    QList<PVolume> found;
    QSet<QString> seen;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        if (!s.isValid() || !s.isReady())
            continue;
        const QString mount = s.rootPath();
        if (IsPseudoType(s.fileSystemType()) || IsSystemMount(mount))
            continue;
        // Containers bind single files (such as /etc/hosts); only folders can hold a cache.
        if (!QFileInfo(mount).isDir() || seen.contains(mount))
            continue;
        seen.insert(mount);
        // QStorageInfo names an unlabelled file system after its device; that is no label.
        QString label = s.name();
        if (label == s.device() || label.startsWith('/'))
            label.clear();
        found.append({mount, label});
    }
    return found;
}

QString PVolumeOf(const QString& path) {
    if (!QDir::isAbsolutePath(path))
        return {};
    QString p = QDir::cleanPath(path);
    while (!QFileInfo::exists(p) && p != QStringLiteral("/"))
        p = QFileInfo(p).path();
    const QStorageInfo s(p);
    return s.isValid() ? s.rootPath() : QStringLiteral("/");
}

bool PVolumeReadable(const QString& mountPoint) {
    if (mountPoint.isEmpty())
        return false;
    // An unmounted medium leaves its mount point behind as a folder of the file system
    // above; that is no longer the drive.
    const QStorageInfo s(mountPoint);
    if (!s.isValid() || !s.isReady() || s.rootPath() != QDir::cleanPath(mountPoint))
        return false;
    struct statvfs st {};
    return ::statvfs(QFile::encodeName(mountPoint).constData(), &st) == 0;
}
