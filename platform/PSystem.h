#pragma once
// Thin Linux layer for start-up and configuration: free disk space, network file systems,
// the read-only test of a settings file, the user's data folder.
#include <QString>
#include <cstdint>

// Free space for this user (f_bavail × f_frsize) of the file system holding the path, or
// of its nearest existing parent. False when no parent can be queried.
bool PFreeDiskSpace(const QString& path, uint64_t& bytes);

// The kind of file system holding the path (or its nearest existing parent): "nfs", "smb",
// "smb2", "cifs", "afs", "coda", "9p", "ceph" for network file systems, "local" for any
// other, "" when it cannot be queried. VELMORA_TEST_FS_TYPE, when set, stands in for the
// answer so tests can place the program on a network share.
QString PFileSystemKind(const QString& path);

// True when the path lies on one of the network file systems above.
bool PIsOnNetworkFileSystem(const QString& path);

// A file is read-only when this process may not write it, or when nobody has a write
// permission on it (the way a user marks a file read-only; root would write it anyway).
// A missing file is not read-only.
bool PIsReadOnlyFile(const QString& path);

// $XDG_DATA_HOME/velmora/ (default ~/.local/share/velmora/), with a trailing "/".
QString PUserDataDir();

// The folder of the running program, with a trailing "/".
QString PProgramDir();

// True when this process may create files in the folder.
bool PIsWritableDir(const QString& path);
