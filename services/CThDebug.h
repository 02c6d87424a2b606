#pragma once
// Trace flags switched on by "Debug.ini" in the program folder, the template "Debug.txt"
// and the trace file "DebugTrace.dbg". Without "Debug.ini" every flag is off.
#include <QString>
#include <cstdio>
#include <mutex>

enum TDebugFlag : int {
    DebugInfo = 0, // write "Debug.txt" at start
    DebugLog,      // open and write the log file
    DebugTrace,    // create "DebugTrace.dbg"
    DebugRecStr,   // write each loaded index record back and compare
    DebugTitle,    // write the header line into the index file
    DebugLoadRec,  // log every line read from the index
    DebugSaveRec,  // log every line written to the index
    DebugFindTime, // log every search of the cache
    DebugEnd       // not a flag
};

// Whether the flag is on; false for any value outside 0 to 15.
bool IsDebugFlag(int flag);
void SetDebugFlag(int flag, bool on);
void ClearDebugFlags();
// The key name of a flag ("DebugLog"); empty for a value that is not a flag.
QString DebugFlagName(int flag);

// Reads the flags from "Debug.ini" in the program folder (which ends with "/"), writes
// "Debug.txt" when DebugInfo is on and creates the trace file when DebugTrace is on.
// Called once at start-up, before anything is logged.
void LoadDebugSettings(const QString& programDir);

// The trace file: kept open while the program runs; its closing line is written when it
// is closed or freed.
class TTraceFile {
public:
    TTraceFile() = default;
    ~TTraceFile();
    TTraceFile(const TTraceFile&) = delete;
    TTraceFile& operator=(const TTraceFile&) = delete;

    // Creates (replaces) the file and keeps it open; false when it cannot be created.
    bool Open(const QString& fileName);
    // Appends a line when the file is open.
    void WriteLine(const QString& text);
    // Writes the closing line and closes the file.
    void Close();
    bool Opened() const;

private:
    mutable std::mutex FLock;
    std::FILE* FFile = nullptr;
};

// The process-wide trace file.
TTraceFile& TraceFile();
