#include "CLogCtrls.h"

#include "CCommon.h"
#include "CDirList.h"
#include "CVersion.h"
#include "platform/PSystem.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::mutex GReporterLock;
TLogErrorReporter GReporter;

void DefaultReport(const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// Level marks: two characters in front of every message.
QString LevelMark(int level) {
    switch (level) {
    case 2:
        return QStringLiteral("I ");
    case 3:
        return QStringLiteral("W ");
    case 4:
        return QStringLiteral("E ");
    case 5:
        return QStringLiteral("S ");
    case 6:
        return QStringLiteral("F ");
    default:
        return QStringLiteral("  ");
    }
}

bool IsSharedLibraryName(const QString& name) {
    return name.endsWith(QLatin1String(".so")) || name.contains(QLatin1String(".so."));
}

} // namespace

void SetLogErrorReporter(TLogErrorReporter reporter) {
    std::lock_guard<std::mutex> guard(GReporterLock);
    GReporter = std::move(reporter);
}

void ReportLogError(const QString& text) {
    TLogErrorReporter reporter;
    {
        std::lock_guard<std::mutex> guard(GReporterLock);
        reporter = GReporter;
    }
    if (reporter)
        reporter(text);
    else
        DefaultReport(text);
}

TLogFile::TLogFile() = default;

TLogFile::~TLogFile() {
    Close();
}

void TLogFile::SetClock(std::function<QDateTime()> clock) {
    std::lock_guard<std::mutex> guard(FLock);
    FClock = std::move(clock);
}

QDateTime TLogFile::Now() const {
    return FClock ? FClock() : QDateTime::currentDateTime();
}

QString TLogFile::LogDir() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FLogDir;
}

QString TLogFile::LogPath() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FLogPath;
}

QString TLogFile::LogPrefix() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FLogPrefix;
}

bool TLogFile::Opened() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FOpened;
}

int TLogFile::FailCount() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FFailCount;
}

bool TLogFile::AppendLine(const QByteArray& line, QString& error) {
    const QByteArray native = QFile::encodeName(FLogPath);
    const int fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QByteArray bytes = line + "\r\n";
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
            ::close(fd);
            return false;
        }
        done += n;
    }
    if (::close(fd) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void TLogFile::Open(const QString& pathPrefix) {
    QStringList reports;
    {
        std::lock_guard<std::mutex> guard(FLock);
        QString version;
        try {
            version = TVersionInfo(ProgramFileName()).GetValue(QStringLiteral("FileVersion"));
        } catch (...) {
            version.clear();
        }
        if (pathPrefix.isEmpty()) {
            FOpened = false;
            reports << QStringLiteral("空白のログパスが指定されました。");
        } else {
            const qsizetype slash = pathPrefix.lastIndexOf(u'/');
            FLogDir = slash < 0 ? QString() : pathPrefix.left(slash);
            FLogPrefix = slash < 0 ? pathPrefix : pathPrefix.mid(slash + 1);
            QString error;
            if (!FLogDir.isEmpty() && !DirectoryExists(FLogDir) && !ForceDirectories(FLogDir))
                error = QStringLiteral("フォルダを作成できません。");
            if (error.isEmpty()) {
                FLogPath =
                    JoinPath(FLogDir, FLogPrefix + Now().toString(QStringLiteral("MMddHHmmss")) +
                                          QStringLiteral(".log"));
                const int fd = ::open(QFile::encodeName(FLogPath).constData(),
                                      O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                if (fd < 0)
                    error = QString::fromLocal8Bit(std::strerror(errno));
                else
                    ::close(fd);
            }
            if (!error.isEmpty()) {
                FOpened = false;
                reports << QStringLiteral("ログファイルパス \"%1\" が不正です。詳細：%2")
                               .arg(FLogDir, error);
            } else {
                FOpened = true;
                QString r = DoWriteDated(QStringLiteral("ログ開始  ") + version);
                if (!r.isEmpty())
                    reports << r;
                const QString modules = ModuleVersions(PProgramDir());
                if (!modules.isEmpty()) {
                    r = DoWrite(0, modules);
                    if (!r.isEmpty())
                        reports << r;
                }
            }
        }
    }
    for (const QString& r : reports)
        ReportLogError(r);
}

QString TLogFile::DoWrite(int level, const QString& message) {
    const QString text = LevelMark(level) + message;
    if (!FOpened) {
        ++FFailCount;
        if (FFailCount <= 4)
            return QStringLiteral("以下のメッセージが出力されましたがログが開かれていません。") +
                   QStringLiteral("\r\n\r\n") + text;
        return {};
    }
    QByteArray line;
    if (level == 1) {
        line = "\t ";
    } else {
        const QTime t = Now().time();
        char head[32];
        std::snprintf(head, sizeof head, "%.2d:%.2d:%.2d.%.3d ", t.hour(), t.minute(), t.second(),
                      t.msec());
        line = head;
    }
    line += text.toUtf8();
    QString error;
    if (!AppendLine(line, error)) {
        FOpened = false;
        return QStringLiteral("ログ出力中にエラーが発生しました。\r\nファイル名：%1\r\n詳細：%2")
            .arg(FLogPath, error);
    }
    return {};
}

QString TLogFile::DoWriteDated(const QString& message) {
    if (!FOpened)
        return {};
    const QByteArray line = (FormatStdDateTime(Now()) + u' ' + message).toUtf8();
    QString error;
    if (!AppendLine(line, error)) {
        FOpened = false;
        return QStringLiteral("日付付きログ出力中にエラーが発生しました。\r\n詳細：") + error;
    }
    return {};
}

void TLogFile::Write(int level, const QString& message) {
    QString report;
    {
        std::lock_guard<std::mutex> guard(FLock);
        report = DoWrite(level, message);
    }
    if (!report.isEmpty())
        ReportLogError(report);
}

void TLogFile::WriteDated(const QString& message) {
    QString report;
    {
        std::lock_guard<std::mutex> guard(FLock);
        report = DoWriteDated(message);
    }
    if (!report.isEmpty())
        ReportLogError(report);
}

void TLogFile::Close() {
    QString report;
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (!FOpened)
            return;
        report = DoWriteDated(QStringLiteral("ログ終了"));
        FOpened = false;
    }
    if (!report.isEmpty())
        ReportLogError(report);
}

namespace {

// Frees the process-wide log at program end. By then no window system is left to show a
// message box, so failures of the end line go to standard error.
struct TLogHolder {
    TLogFile Log;
    ~TLogHolder() {
        SetLogErrorReporter({});
        Log.Close();
    }
};

} // namespace

TLogFile& LogFile() {
    static TLogHolder holder;
    return holder.Log;
}

QString ModuleVersions(const QString& dir) {
    if (dir.isEmpty() || !DirectoryExists(dir))
        return {};
    const TFileList list(dir);
    QStringList executables, libraries;
    for (int i = 0; i < list.Files().size(); ++i) {
        const QString& name = list.Files()[i];
        const QFileInfo info(list.FilePath(i));
        if (IsSharedLibraryName(name))
            libraries << name;
        else if (info.isFile() && info.isExecutable())
            executables << name;
    }
    QStringList lines;
    for (const QStringList* group : {&executables, &libraries})
        for (const QString& name : *group) {
            const QFileInfo info(JoinPath(dir, name));
            lines << name.leftJustified(16, u' ') + u' ' + FormatStdDateTime(info.lastModified());
        }
    return lines.join(QStringLiteral("\r\n\t   "));
}
