#include "PSingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString PSingleInstance::DefaultName() {
    return "Velmora" + QString::number(::getuid());
}

PSingleInstance::PSingleInstance(const QString& name, QObject* parent)
    : QObject(parent), FName(name) {}

PSingleInstance::~PSingleInstance() {
    if (FServer)
        FServer->close();
    if (FLockFd >= 0)
        ::close(FLockFd); // releases the lock
}

bool PSingleInstance::Acquire(int timeoutMs) {
    if (FLockFd >= 0)
        return true;
    const QByteArray lockPath = QFile::encodeName(QDir::tempPath() + "/" + FName + ".lock");
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        AskToShow(timeoutMs);
        return false;
    }
    // Without a lock file (an unwritable temporary folder) the program still runs.
    FLockFd = fd;
    // Holding the lock, any server name left over is from a process that has ended.
    QLocalServer::removeServer(FName);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &PSingleInstance::Serve);
    FServer->listen(FName);
    return true;
}

bool PSingleInstance::AskToShow(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    // The holder may still be starting and not listening yet.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(FName);
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
