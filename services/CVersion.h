#pragma once
// The version information of a program file. On Linux there is no version resource in
// the file itself: the values come from the version the program was built with, and a
// file that cannot be read has none.
#include <QString>
#include <QStringList>

class TVersionInfo {
public:
    // Reads the version information of the file; raises Exception when the file has none
    // (it does not exist or cannot be read).
    explicit TVersionInfo(const QString& fileName);

    // The value of the name in the string table ("FileVersion", "ProductVersion",
    // "ProductName", ...); empty when there is no such value.
    QString GetValue(const QString& name) const;

    const QString& FileName() const { return FFileName; }

private:
    QString FFileName;
    QStringList FBuffer; // name, value, name, value, ...
};

// Full path of the running program file.
QString ProgramFileName();
