#pragma once
// The EXIF reader: finds the APP1 "Exif" block of a JPEG file (before its start of scan)
// and gives the text values of its tags.
#include <QByteArray>
#include <QString>
#include <cstdint>

class TExifReader {
public:
    TExifReader();
    ~TExifReader();
    TExifReader(const TExifReader&) = delete;
    TExifReader& operator=(const TExifReader&) = delete;

    // True only for a file that starts with the JPEG start-of-image marker and has, before
    // its start-of-scan segment, an APP1 segment whose header is "Exif". Any earlier
    // block is forgotten first.
    bool Read(const QString& fileName);
    // The same for a JPEG in memory.
    bool ReadData(const uchar* data, size_t size);

    // The text value of a tag of the last block read (any IFD); empty when it is absent.
    QString TagText(uint16_t tag) const;
    QString DateTimeOriginal() const { return TagText(0x9003); }
    QString DateTime() const { return TagText(0x0132); }
    // The orientation tag (0x0112) of the main picture's directory; 0 when it is absent.
    int Orientation() const;

    // The file the block belongs to; set by the caller after a successful Read.
    QString FileName;

private:
    void Clear();
    bool Parse(const uchar* app1, size_t size);
    void* FData = nullptr; // ExifData*
};
