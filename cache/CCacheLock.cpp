#include "CCacheLock.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

TCacheLock::~TCacheLock() {
    Release();
}

QString TCacheLock::LockFile(const QString& baseDir) {
    QString dir = baseDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("_TDB0100.lock");
}

bool TCacheLock::Acquire(const QString& baseDir) {
    Release();
    FHeldByOther = false;
    if (baseDir.isEmpty() || !QDir().mkpath(baseDir))
        return false;
    const QByteArray path = QFile::encodeName(LockFile(baseDir));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // flock belongs to the open file, not to the process: a second open of the same file,
    // even in this process, is refused, and the lock goes with the last descriptor.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        FHeldByOther = errno == EWOULDBLOCK;
        ::close(fd);
        return false;
    }
    FHandle = fd;
    FFolder = baseDir;
    return true;
}

void TCacheLock::Release() {
    if (FHandle >= 0) {
        ::flock(FHandle, LOCK_UN);
        ::close(FHandle);
    }
    FHandle = -1;
    FFolder.clear();
}

void TCacheLock::Swap(TCacheLock& other) {
    std::swap(FHandle, other.FHandle);
    std::swap(FFolder, other.FFolder);
    std::swap(FHeldByOther, other.FHeldByOther);
}
