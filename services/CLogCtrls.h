#pragma once
// The diagnostic log file: one file per run under the program folder's "Log" folder,
// written line by line, each write an open-append-close so the log survives a crash up to
// the last line. Writes from several threads are serialised.
//
// Failures never stop the program: they are handed to the error-report hook (a plain
// message box once the window system is up, a line on standard error before that).
#include <QDateTime>
#include <QString>
#include <functional>
#include <mutex>

// Shows one log failure to the user. May be called from any thread, never while the log
// holds its lock.
using TLogErrorReporter = std::function<void(const QString& text)>;

// Installs the hook; an empty function restores the default (a line on standard error).
void SetLogErrorReporter(TLogErrorReporter reporter);
// Hands the text to the installed hook.
void ReportLogError(const QString& text);

class TLogFile {
public:
    TLogFile();
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Creates a new log file named after the path prefix ("<dir>/Log/A" gives
    // "<dir>/Log/A<mmddhhmmss>.log") and writes its first lines.
    void Open(const QString& pathPrefix);
    // Appends one timed line. Level 0 is the normal level, 1 a continuation line; 2 to 6
    // are marked I, W, E, S, F.
    void Write(int level, const QString& message);
    // Appends one line beginning with the standard date-time text.
    void WriteDated(const QString& message);
    // Writes the end line (when open) and stops logging.
    void Close();

    QString LogDir() const;
    QString LogPath() const;
    QString LogPrefix() const;
    bool Opened() const;
    int FailCount() const;

    // The clock used for the file name and line times (tests set a fixed one).
    void SetClock(std::function<QDateTime()> clock);

private:
    // The unlocked parts; each returns the text to report, or an empty text.
    QString DoWrite(int level, const QString& message);
    QString DoWriteDated(const QString& message);
    bool AppendLine(const QByteArray& line, QString& error);
    QDateTime Now() const;

    mutable std::mutex FLock;
    QString FLogDir, FLogPath, FLogPrefix;
    bool FOpened = false;
    int FFailCount = 0;
    std::function<QDateTime()> FClock;
};

// The process-wide log. It writes its end line when it is freed at program end, or
// earlier through Close().
TLogFile& LogFile();

// One line per program module in the folder: its executables first, then its shared
// libraries ("*.so*"), each as "%-16s %s" (name, last-write time), joined with CR LF, a
// tab and three blanks. Empty when the folder holds none or doesn't exist.
QString ModuleVersions(const QString& dir);
