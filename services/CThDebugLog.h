#pragma once
// The front the thumbnail cache logs through: every operation does nothing unless the
// DebugLog trace flag is on.
#include <QString>

class TThDebugLog {
public:
    // Opens the process-wide log with the path prefix ("<program dir>/Log/A").
    void Open(const QString& pathPrefix);
    // One timed line at level 0.
    void Write(const QString& message);
    // Whether lines are written at all; callers test it before building costly messages.
    bool Enabled() const;
};

// The process-wide front.
extern TThDebugLog ThDebugLog;
