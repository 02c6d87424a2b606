#pragma once
// Opening a file for reading without ever waiting on something that is not a file. A named
// pipe opened for reading waits for a writer for good, and a device may do anything on
// open; a folder of pictures, a settings file or a cache index can be either. So the path is
// looked at first (a link to a regular file counts as one), then opened without blocking,
// checked again on the open descriptor (so nothing swapped in meanwhile gets through), and
// only then switched to ordinary blocking reads.
#include <QString>

class QFile;

// The descriptor of the regular file at path, opened read-only, or -1 with a readable
// reason in error ("not a regular file", or the system's text).
int POpenRegularFile(const QString& path, QString* error = nullptr);

// The same, handing the descriptor to file (which closes it); false with the reason.
bool POpenRegularFile(QFile& file, const QString& path, QString* error = nullptr);
