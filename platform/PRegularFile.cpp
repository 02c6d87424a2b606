#include "PRegularFile.h"

#include "PFileSystem.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString NotRegular() {
    return QStringLiteral("not a regular file");
}

void SetError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

} // namespace

int POpenRegularFile(const QString& path, QString* error) {
    const QByteArray native = PEncodeName(path);
    struct stat st;
    // Asked first, so a device is not even opened.
    if (::stat(native.constData(), &st) != 0) {
        SetError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        SetError(error, NotRegular());
        return -1;
    }
    // Something else may have taken the name meanwhile: open without waiting and look again.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        SetError(error, NotRegular());
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool POpenRegularFile(QFile& file, const QString& path, QString* error) {
    const int fd = POpenRegularFile(path, error);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        SetError(error, file.errorString());
        return false;
    }
    return true;
}
