#include "CThDebug.h"

#include "CCommon.h"
#include "CIniFile.h"

#include <QFile>
#include <atomic>

namespace {

std::atomic<uint32_t> GFlags{0};

const char* const FlagNames[DebugEnd] = {"DebugInfo",    "DebugLog",     "DebugTrace",
                                         "DebugRecStr",  "DebugTitle",   "DebugLoadRec",
                                         "DebugSaveRec", "DebugFindTime"};

const char* const DebugSection = "Debug";

void WriteDebugTemplate(const QString& fileName) {
    ClearReadOnly(fileName);
    QByteArray text = QStringLiteral("[%1]\r\n").arg(QLatin1String(DebugSection)).toUtf8();
    for (int f = 0; f < DebugEnd; ++f)
        text += QStringLiteral("%1=%2\r\n")
                    .arg(QLatin1String(FlagNames[f]))
                    .arg(IsDebugFlag(f) ? 1 : 0)
                    .toUtf8();
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

} // namespace

bool IsDebugFlag(int flag) {
    if (flag < 0 || flag > 15)
        return false;
    return (GFlags.load(std::memory_order_relaxed) >> flag) & 1u;
}

void SetDebugFlag(int flag, bool on) {
    if (flag < 0 || flag > 15)
        return;
    if (on)
        GFlags.fetch_or(1u << flag);
    else
        GFlags.fetch_and(~(1u << flag));
}

void ClearDebugFlags() {
    GFlags.store(0);
}

QString DebugFlagName(int flag) {
    if (flag < 0 || flag >= DebugEnd)
        return {};
    return QLatin1String(FlagNames[flag]);
}

void LoadDebugSettings(const QString& programDir) {
    const QString iniName = JoinPath(programDir, QStringLiteral("Debug.ini"));
    if (!FileExistsExact(iniName))
        return;
    TIniFile ini(iniName);
    for (int f = 0; f < DebugEnd; ++f)
        if (ini.ReadBool(QLatin1String(DebugSection), QLatin1String(FlagNames[f]), false))
            SetDebugFlag(f, true);
    if (IsDebugFlag(DebugInfo))
        WriteDebugTemplate(JoinPath(programDir, QStringLiteral("Debug.txt")));
    if (IsDebugFlag(DebugTrace))
        TraceFile().Open(JoinPath(programDir, QStringLiteral("DebugTrace.dbg")));
}

TTraceFile::~TTraceFile() {
    Close();
}

bool TTraceFile::Open(const QString& fileName) {
    std::lock_guard<std::mutex> guard(FLock);
    if (FFile)
        std::fclose(FFile);
    FFile = std::fopen(QFile::encodeName(fileName).constData(), "wb");
    return FFile != nullptr;
}

void TTraceFile::WriteLine(const QString& text) {
    std::lock_guard<std::mutex> guard(FLock);
    if (!FFile)
        return;
    const QByteArray line = text.toUtf8() + "\r\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), FFile);
    std::fflush(FFile);
}

void TTraceFile::Close() {
    std::lock_guard<std::mutex> guard(FLock);
    if (!FFile)
        return;
    std::fputs("***** End of Trace *****\r\n", FFile);
    std::fclose(FFile);
    FFile = nullptr;
}

bool TTraceFile::Opened() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FFile != nullptr;
}

TTraceFile& TraceFile() {
    static TTraceFile file;
    return file;
}
