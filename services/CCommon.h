#pragma once
// Small path, attribute and date-time services shared by the thumbnail cache and the log,
// and the attributes of a source image that the cache stores and later compares.
#include <QDateTime>
#include <QString>
#include <cstdint>

// "yyyy/mm/dd hh:mm:ss" (24-hour clock, fixed separators, 19 characters): comparing two
// such texts character by character orders them by time. Safe to call from several
// threads at once; no process-wide setting is read or changed.
QString FormatStdDateTime(const QDateTime& dateTime);
QString FormatStdDateTime(int year, int month, int day, int hour, int minute, int second);

// folder + "/" + name; no separator is added when the folder is empty or already ends
// with one.
QString JoinPath(const QString& folder, const QString& name);

// True when the path names an existing entry that is not a folder and the entry found
// has the extension asked for (letter case ignored).
bool FileExistsExact(const QString& path);

// Makes the entry writable for its owner (the normal attributes).
void SetNormalAttributes(const QString& path);
// Removes just the read-only attribute, when the entry has it.
void ClearReadOnly(const QString& path);

// Source-image attributes.
// Last-write time (local, odd seconds dropped, standard date-time text) and the low 32
// bits of the size. Folders count too. False, with empty time and size 0, when the entry
// doesn't exist.
bool GetFileTimeAndSize(const QString& fileName, QString& fileTime, int32_t& fileSize);
// Label and serial ("XXXX-XXXX") of the volume holding the file; both empty when the
// volume can't be queried. Always true.
bool GetVolumeLabelAndSerial(const QString& fileName, QString& volumeLabel, QString& volumeSerial);
// The file's current time and size equal the given ones exactly.
bool SameFileTimeAndSize(const QString& fileName, const QString& fileTime, int32_t fileSize);
// The current label and serial texts equal the given ones exactly.
bool SameVolume(const QString& fileName, const QString& volumeLabel, const QString& volumeSerial);
