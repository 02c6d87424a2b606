#pragma once
// The front the thumbnail cache logs through: every operation does nothing unless the
// DebugLog trace flag is on.
#include <QString>
#include <type_traits>

// Fills %1, %2, ... of the pattern in one pass (so a "%1" inside a value, as in a path,
// stays as it is). Integers are written in decimal.
template <typename T> inline QString ThFormatArg(const T& value) {
    if constexpr (std::is_integral_v<T>)
        return QString::number(value);
    else
        return QString(value);
}
template <typename... A> QString ThFormat(const QString& pattern, const A&... args) {
    return pattern.arg(ThFormatArg(args)...);
}

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
