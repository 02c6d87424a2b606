#include "ExifReader.h"

#include "platform/PRegularFile.h"

#include <QFile>
#include <cstring>
#include <libexif/exif-data.h>
#include <vector>

namespace {

// Walks the JPEG segments up to the start of scan; calls found(data, size) with the
// payload of the first APP1 "Exif" segment. Works on any byte source through read(n).
template <class Reader> bool FindExifSegment(Reader&& read, std::vector<uchar>& payload) {
    uchar b[4];
    if (!read(b, 2) || b[0] != 0xFF || b[1] != 0xD8)
        return false;
    for (;;) {
        if (!read(b, 1))
            return false;
        if (b[0] != 0xFF)
            return false; // not at a marker: damaged header
        uchar marker;
        do { // fill bytes
            if (!read(&marker, 1))
                return false;
        } while (marker == 0xFF);
        if (marker == 0xDA || marker == 0xD9 || marker == 0x00)
            return false; // start of scan or end of image: no block before the picture
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue; // markers without a length
        if (!read(b, 2))
            return false;
        const size_t len = (size_t(b[0]) << 8) | b[1];
        if (len < 2)
            return false;
        payload.resize(len - 2);
        if (!payload.empty() && !read(payload.data(), payload.size()))
            return false;
        if (marker == 0xE1 && payload.size() >= 6 && std::memcmp(payload.data(), "Exif", 4) == 0)
            return true;
    }
}

} // namespace

TExifReader::TExifReader() = default;

TExifReader::~TExifReader() {
    Clear();
}

void TExifReader::Clear() {
    if (FData)
        exif_data_unref(static_cast<ExifData*>(FData));
    FData = nullptr;
}

bool TExifReader::Parse(const uchar* app1, size_t size) {
    ExifData* ed = exif_data_new();
    if (!ed)
        return false;
    // Read what is there: no "fixing" that would invent missing tags (with today's date).
    exif_data_unset_option(ed, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    // Keep tags found outside the directory the standard gives them (a shooting date in
    // IFD 0 is common enough): the dates are looked for in every directory.
    exif_data_unset_option(ed, EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_load_data(ed, app1, unsigned(size));
    FData = ed;
    return true;
}

bool TExifReader::Read(const QString& fileName) {
    Clear();
    QFile f;
    if (!POpenRegularFile(f, fileName))
        return false;
    std::vector<uchar> payload;
    auto read = [&](uchar* dst, size_t n) {
        return f.read(reinterpret_cast<char*>(dst), qint64(n)) == qint64(n);
    };
    return FindExifSegment(read, payload) && Parse(payload.data(), payload.size());
}

bool TExifReader::ReadData(const uchar* data, size_t size) {
    Clear();
    size_t pos = 0;
    std::vector<uchar> payload;
    auto read = [&](uchar* dst, size_t n) {
        if (n > size - pos)
            return false;
        std::memcpy(dst, data + pos, n);
        pos += n;
        return true;
    };
    return FindExifSegment(read, payload) && Parse(payload.data(), payload.size());
}

QString TExifReader::TagText(uint16_t tag) const {
    if (!FData)
        return {};
    ExifData* ed = static_cast<ExifData*>(FData);
    for (int i = 0; i < EXIF_IFD_COUNT; ++i) {
        ExifEntry* e = exif_content_get_entry(ed->ifd[i], ExifTag(tag));
        if (!e)
            continue;
        if (e->format == EXIF_FORMAT_ASCII || e->format == EXIF_FORMAT_UNDEFINED) {
            // The raw text up to its first NUL: no formatting of libexif's own.
            const char* s = reinterpret_cast<const char*>(e->data);
            size_t n = 0;
            while (s && n < e->size && s[n])
                ++n;
            return QString::fromLatin1(s, qsizetype(n));
        }
        char buf[1024];
        exif_entry_get_value(e, buf, sizeof buf);
        return QString::fromUtf8(buf);
    }
    return {};
}

int TExifReader::Orientation() const {
    if (!FData)
        return 0;
    ExifData* ed = static_cast<ExifData*>(FData);
    // IFD 0 only: the embedded preview's directory may carry a tag of its own.
    ExifEntry* e = exif_content_get_entry(ed->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!e || e->format != EXIF_FORMAT_SHORT || e->components < 1 || e->size < 2 || !e->data)
        return 0;
    return int(exif_get_short(e->data, exif_data_get_byte_order(ed)));
}
