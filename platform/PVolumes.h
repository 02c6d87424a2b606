#pragma once
// Thin Linux layer for the cache location window: what stands in for drives. A "drive" is
// a mounted local file system, named by its mount point; pseudo file systems (proc, sysfs,
// cgroups and the like) and mounts of single files are left out.
#include <QList>
#include <QString>

struct PVolume {
    QString MountPoint; // absolute, without a trailing "/" except for "/" itself
    QString Label;      // the file system's label; empty when it has none
};

// The mounted file systems that are valid and ready, in mount order.
QList<PVolume> PMountedVolumes();

// The mount point of the file system holding the path, or of its nearest existing parent;
// empty when the path is not absolute.
QString PVolumeOf(const QString& path);

// Whether the file system mounted there can still be read: it is ready and statvfs answers.
bool PVolumeReadable(const QString& mountPoint);
