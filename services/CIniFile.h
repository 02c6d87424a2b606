#pragma once
// A sectioned settings file ("[Section]" lines, then "Key=Value" lines), read and written
// key by key. The object keeps only the file name: every read goes to the file, and every
// write rewrites the whole file through a temporary file in the same folder that is flushed
// to disk and renamed over the old one, so the file on disk is always either the old or the
// new version, never a torn one.
//
// Sections and keys match without regard to letter case; the file is UTF-8; values are
// read with surrounding blanks removed and at most MaxValueLength characters. Reads never
// fail: a missing or unreadable file, section or key gives the default. A write to a file
// this process may not write raises Exception naming the file.
#include <QString>
#include <QStringList>

class TIniFile {
public:
    // The longest value a read returns: the value buffer holds 2048 characters including
    // its terminator.
    static constexpr int MaxValueLength = 2047;

    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else gives the default.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // True when the stored integer is not 0.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    // "1" for true, "0" for false.
    void WriteBool(const QString& section, const QString& key, bool value);

    // Removes every "[section]" block with all its keys.
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    // The keys of a section, in file order.
    QStringList ReadSection(const QString& section) const;
    // The section names, in file order.
    QStringList ReadSections() const;

    // Parses an integer the way ReadInteger does; false when the text is not an integer.
    static bool ParseInteger(const QString& text, int& value);

private:
    QString FFileName;
};
