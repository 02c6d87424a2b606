#include "CTextFile.h"

#include "platform/PRegularFile.h"
#include "services/CCommon.h"
#include "services/CDirList.h"
#include "services/CException.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString ErrnoText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

[[noreturn]] void RaiseIo(const char* what, const QString& fileName, int code) {
    throw Exception(QString::fromUtf8(what).arg(fileName, ErrnoText(code)));
}

constexpr char CtrlZ = 26;

} // namespace

TInputTextFile::TInputTextFile(const QString& fileName) : FFileName(fileName) {}

TInputTextFile::~TInputTextFile() {
    Close();
}

void TInputTextFile::Open() {
    Close();
    if (!FileExistsExact(FFileName))
        throw Exception(QStringLiteral("ファイル \"%1\" が存在しません。").arg(FFileName));
    QString why;
    FFd = POpenRegularFile(FFileName, &why);
    if (FFd < 0)
        throw Exception(QStringLiteral("ファイル \"%1\" を開けません。%2").arg(FFileName, why));
    FBuf.reset(new char[BufferSize]);
    FBufLen = FBufPos = 0;
    FBufStart = 0;
    FAtEnd = false;
}

bool TInputTextFile::Fill() {
    if (FAtEnd || FFd < 0)
        return false;
    FBufStart += FBufLen;
    FBufLen = FBufPos = 0;
    for (;;) {
        const ssize_t n = ::read(FFd, FBuf.get(), BufferSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseIo("ファイル \"%1\" の読み込みに失敗しました。%2", FFileName, errno);
        if (n == 0) {
            FAtEnd = true;
            return false;
        }
        FBufLen = int(n);
        return true;
    }
}

bool TInputTextFile::Eof() {
    if (FFd < 0)
        return true;
    if (FBufPos >= FBufLen && !Fill())
        return true;
    if (FBuf[FBufPos] == CtrlZ) {
        FAtEnd = true;
        return true;
    }
    return false;
}

void TInputTextFile::ReadLine(QByteArray& text) {
    text.resize(0);
    if (FFd < 0)
        return;
    for (;;) {
        if (FBufPos >= FBufLen && !Fill())
            break;
        const char* start = FBuf.get() + FBufPos;
        const int avail = FBufLen - FBufPos;
        const char* nl = static_cast<const char*>(std::memchr(start, '\n', size_t(avail)));
        const char* z = static_cast<const char*>(std::memchr(start, CtrlZ, size_t(avail)));
        if (z && (!nl || z < nl)) {
            // Ctrl-Z ends the file: the line ends here and nothing after it is read.
            text.append(start, qsizetype(z - start));
            FBufPos += int(z - start);
            FAtEnd = true;
            break;
        }
        if (nl) {
            text.append(start, qsizetype(nl - start));
            FBufPos += int(nl - start) + 1;
            break;
        }
        text.append(start, avail);
        FBufPos = FBufLen;
    }
    if (text.endsWith('\r'))
        text.chop(1);
}

void TInputTextFile::Close() {
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    FBuf.reset();
    FBufLen = FBufPos = 0;
}

TOutputTextFile::TOutputTextFile(const QString& fileName) : FFileName(fileName) {}

TOutputTextFile::~TOutputTextFile() {
    try {
        Close();
    } catch (...) {
    }
}

void TOutputTextFile::Open() {
    Close();
    const QString dir = QFileInfo(FFileName).path();
    if (!dir.isEmpty() && !DirectoryExists(dir) && !ForceDirectories(dir))
        RaiseIo("ファイル \"%1\" を作成できません。%2", FFileName, errno ? errno : EACCES);
    if (QFileInfo::exists(FFileName))
        SetNormalAttributes(FFileName);
    FFd = ::open(QFile::encodeName(FFileName).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                 0644);
    if (FFd < 0)
        RaiseIo("ファイル \"%1\" を作成できません。%2", FFileName, errno);
    FBuf.reset(new char[BufferSize]);
    FBufLen = 0;
}

void TOutputTextFile::FlushBuffer() {
    qsizetype done = 0;
    while (done < FBufLen) {
        const ssize_t n = ::write(FFd, FBuf.get() + done, size_t(FBufLen - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            FBufLen = 0;
            RaiseIo("ファイル \"%1\" への書き込みに失敗しました。%2", FFileName, code);
        }
        done += n;
    }
    FBufLen = 0;
}

void TOutputTextFile::WriteRaw(const char* data, qsizetype size) {
    while (size > 0) {
        if (FBufLen == BufferSize)
            FlushBuffer();
        const qsizetype n = qMin<qsizetype>(size, BufferSize - FBufLen);
        std::memcpy(FBuf.get() + FBufLen, data, size_t(n));
        FBufLen += int(n);
        data += n;
        size -= n;
    }
}

void TOutputTextFile::WriteLine(const QByteArray& text) {
    if (FFd < 0)
        throw Exception(QStringLiteral("ファイル \"%1\" が開かれていません。").arg(FFileName));
    WriteRaw(text.constData(), text.size());
    WriteRaw("\r\n", 2);
}

void TOutputTextFile::Flush(bool toDisk) {
    if (FFd < 0)
        return;
    FlushBuffer();
    if (toDisk && ::fsync(FFd) != 0)
        RaiseIo("ファイル \"%1\" への書き込みに失敗しました。%2", FFileName, errno);
}

void TOutputTextFile::Close() {
    if (FFd < 0)
        return;
    const int fd = FFd;
    try {
        FlushBuffer();
    } catch (...) {
        ::close(fd);
        FFd = -1;
        FBuf.reset();
        throw;
    }
    FFd = -1;
    FBuf.reset();
    if (::close(fd) != 0)
        RaiseIo("ファイル \"%1\" への書き込みに失敗しました。%2", FFileName, errno);
}
