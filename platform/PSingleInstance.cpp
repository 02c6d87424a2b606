#include "PSingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder only this user may enter: owned by us, no access for group or others, not a link.
bool IsPrivateFolder(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

} // namespace

QString PSingleInstance::DefaultName() {
    return "Velmora" + QString::number(::getuid());
}

QString PSingleInstance::RuntimeDir() {
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (xdg.startsWith('/') && IsPrivateFolder(xdg))
        return QFile::decodeName(xdg);
    // No usable runtime folder: one of our own under the temporary folder, which nobody
    // else may have made for us.
    const QString own = QDir::tempPath() + "/velmora-" + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(own);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    return IsPrivateFolder(native) ? own : QString();
}

PSingleInstance::PSingleInstance(const QString& name, QObject* parent)
    : QObject(parent), FName(name) {
    const QString dir = RuntimeDir();
    if (!dir.isEmpty()) {
        FLockPath = dir + "/" + FName + ".lock";
        FServerName = dir + "/" + FName;
    }
}

PSingleInstance::~PSingleInstance() {
    if (FServer)
        FServer->close();
    if (FLockFd >= 0)
        ::close(FLockFd); // releases the lock
}

bool PSingleInstance::Acquire(int timeoutMs) {
    if (FLockFd >= 0)
        return true;
    // A lock that cannot be taken means another copy may run: this one does not start, so
    // two copies never share one cache.
    const int fd = FLockPath.isEmpty() ? -1
                                       : ::open(QFile::encodeName(FLockPath).constData(),
                                                O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        if (!AskToShow(timeoutMs) && fd < 0)
            std::fprintf(
                stderr, "Velmora: cannot take the single-instance lock %s: %s\n",
                QFile::encodeName(FLockPath.isEmpty() ? QStringLiteral("(no folder)") : FLockPath)
                    .constData(),
                std::strerror(err));
        return false;
    }
    // Holding the lock, a server name left over is from a process that has ended; one that
    // still answers belongs to a copy that got in some other way, and is left alone.
    {
        QLocalSocket probe;
        probe.connectToServer(FServerName);
        if (probe.waitForConnected(200)) {
            probe.abort();
            ::close(fd);
            AskToShow(timeoutMs);
            return false;
        }
    }
    FLockFd = fd;
    QLocalServer::removeServer(FServerName);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &PSingleInstance::Serve);
    FServer->listen(FServerName);
    return true;
}

bool PSingleInstance::AskToShow(int timeoutMs) {
    if (FServerName.isEmpty())
        return false;
    QDeadlineTimer deadline(timeoutMs);
    // The holder may still be starting and not listening yet.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(FServerName);
        if (socket.waitForConnected(qMax<qint64>(1, deadline.remainingTime()))) {
            // "show", then the path as base64 of its UTF-8 bytes, so any name fits one line.
            QByteArray request("show");
            if (!FHandOver.isEmpty())
                request += ' ' + FHandOver.toUtf8().toBase64();
            socket.write(request + '\n');
            socket.waitForBytesWritten(qMax<qint64>(1, deadline.remainingTime()));
            while (!socket.canReadLine() && !deadline.hasExpired() &&
                   socket.state() == QLocalSocket::ConnectedState)
                socket.waitForReadyRead(qMax<qint64>(1, deadline.remainingTime()));
            return socket.canReadLine() && socket.readLine().trimmed() == "ok";
        }
        QThread::msleep(20);
    }
    return false;
}

void PSingleInstance::Serve() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto handle = [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine().trimmed();
                const QList<QByteArray> words = line.split(' ');
                if (words.value(0) != "show" || words.size() > 2)
                    continue;
                QString target;
                if (words.size() == 2) {
                    const auto decoded = QByteArray::fromBase64Encoding(
                        words[1], QByteArray::AbortOnBase64DecodingErrors);
                    if (!decoded)
                        continue;
                    target = QString::fromUtf8(*decoded);
                }
                emit ShowRequested(target);
                socket->write("ok\n");
                socket->flush();
            }
            // A peer that sends endless data without a line end is cut off; a path of the
            // longest length fits well below this.
            if (socket->bytesAvailable() > 65536)
                socket->abort();
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        handle(); // what arrived before the connection was taken
    }
}
