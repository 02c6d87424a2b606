#include "CThDebugLog.h"

#include "CLogCtrls.h"
#include "CThDebug.h"

TThDebugLog ThDebugLog;

void TThDebugLog::Open(const QString& pathPrefix) {
    if (Enabled())
        LogFile().Open(pathPrefix);
}

void TThDebugLog::Write(const QString& message) {
    if (Enabled())
        LogFile().Write(0, message);
}

bool TThDebugLog::Enabled() const {
    return IsDebugFlag(DebugLog);
}
