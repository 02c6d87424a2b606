#include "CThImageBase.h"

#include "platform/PFileSystem.h"
#include "services/CCommon.h"
#include "services/CException.h"
#include "services/CThDebug.h"
#include "services/CThDebugLog.h"

#include <QDateTime>
#include <QVarLengthArray>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

const char* const IndexHeaderLine =
    "*RecID,LastAccess,OrgFileName,SaveID,ReqWidth,ReqHeight,OrgWidth,OrgHeight,"
    "OrgCreateTime,OrgUpdateTime,OrgFileTime,OrgFileSize,OrgVolLabel,OrgVolSer,ThFileTime,"
    "ThFileSize";

// ---- cache location ----

QString TThCacheFileName::CacheDir() const {
    if (BaseDir.isEmpty())
        throw Exception(QStringLiteral("キャッシュディレクトリが未設定です"));
    return JoinPath(BaseDir, QStringLiteral("_TDB") + Version);
}

QString TThCacheFileName::IndexFile() const {
    return JoinPath(CacheDir(), QStringLiteral("_TDBCache.dat"));
}

QString TThCacheFileName::BitmapName(int32_t id) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "A%.7d", id);
    return QString::fromLatin1(buf);
}

QString TThCacheFileName::BitmapDir(int32_t id) const {
    return JoinPath(CacheDir(), BitmapName(id).left(6));
}

QString TThCacheFileName::BitmapFile(int32_t id) const {
    return JoinPath(BitmapDir(id), BitmapName(id) + QStringLiteral(".bmp"));
}

// The limits are computed in 64 bits: a limit of 2 GB or more must not wrap round to a
// negative count, which would empty the cache at every store.
int64_t TThCacheFileName::UpperLimit() const {
    return int64_t(std::nearbyint(double(int64_t(MaxSizeKB) * 1024) * 0.9));
}

int64_t TThCacheFileName::LowerLimit() const {
    return int64_t(std::nearbyint(double(int64_t(MaxSizeKB) * 1024) * 0.8));
}

// ---- index line fields ----

namespace {

inline bool IsBlank(unsigned char c) {
    return c >= 1 && c <= 32;
}

std::string& NextField(std::vector<std::string>& fields, size_t& count) {
    if (count == fields.size())
        fields.emplace_back();
    std::string& f = fields[count++];
    f.clear();
    return f;
}

// Names keep the bytes they have on disk, also those that are not UTF-8 (see PDecodeName).
inline QString Text(const std::string& s) {
    return PDecodeName(s.data(), qsizetype(s.size()));
}

} // namespace

// UTF-8 continuation and lead bytes are all 0x80 or above, so a multi-byte character never
// holds a delimiter byte: stepping byte by byte keeps every character whole.
void SplitIndexLine(const char* s, qsizetype n, std::vector<std::string>& fields, size_t& count) {
    count = 0;
    qsizetype i = 0;
    while (i < n && IsBlank(uchar(s[i])))
        ++i;
    while (i < n) {
        const qsizetype before = i;
        std::string& f = NextField(fields, count);
        if (s[i] == '"') {
            ++i;
            while (i < n) {
                if (s[i] == '"') {
                    if (i + 1 < n && s[i + 1] == '"') {
                        f += '"';
                        i += 2;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    const void* q = std::memchr(s + i, '"', size_t(n - i));
                    const qsizetype end = q ? static_cast<const char*>(q) - s : n;
                    f.append(s + i, size_t(end - i));
                    i = end;
                }
            }
        } else {
            const qsizetype start = i;
            while (i < n && s[i] != ',' && uchar(s[i]) > 32)
                ++i;
            f.assign(s + start, size_t(i - start));
        }
        while (i < n && IsBlank(uchar(s[i])))
            ++i;
        if (i < n && s[i] == ',') {
            ++i;
            while (i < n && IsBlank(uchar(s[i])))
                ++i;
            if (i >= n) {
                NextField(fields, count);
                break;
            }
        }
        if (i == before)
            ++i; // a NUL outside quotes ends a field by itself
    }
}

void AppendIndexField(QByteArray& line, const char* data, qsizetype size) {
    bool quote = false;
    for (qsizetype i = 0; i < size && !quote; ++i) {
        const uchar c = uchar(data[i]);
        quote = c <= 32 || c == '"' || c == ',';
    }
    if (!quote) {
        line.append(data, size);
        return;
    }
    line += '"';
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == '"')
            line += '"';
        line += data[i];
    }
    line += '"';
}

void AppendIndexField(QByteArray& line, const QString& text) {
    // ASCII fields (all but names with other letters) are written straight from the
    // string, quoted when they must be, with no intermediate UTF-8 copy.
    const char16_t* u = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    bool quote = false;
    qsizetype quotes = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = u[i];
        if (c >= 0x80) {
            const QByteArray bytes = PEncodeName(text);
            AppendIndexField(line, bytes.constData(), bytes.size());
            return;
        }
        if (c <= 32 || c == u',')
            quote = true;
        else if (c == u'"')
            ++quotes;
    }
    quote = quote || quotes > 0;
    const qsizetype at = line.size();
    line.resize(at + n + (quote ? 2 + quotes : 0));
    char* out = line.data() + at;
    if (quote)
        *out++ = '"';
    for (qsizetype i = 0; i < n; ++i) {
        if (u[i] == u'"')
            *out++ = '"';
        *out++ = char(u[i]);
    }
    if (quote)
        *out = '"';
}

void AppendIndexField(QByteArray& line, int32_t value) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    line.append(buf, qsizetype(r.ptr - buf));
}

int32_t IndexFieldToInt(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t value = 0;
    bool ok = i < text.size();
    for (; ok && i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9' || value > int64_t(INT32_MAX) + 1) {
            ok = false;
            break;
        }
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        throw Exception(
            ThFormat(QStringLiteral("%1形式不正。\"%2\""), QStringLiteral("Integer"), Text(text)));
    return int32_t(value);
}

// ---- the record ----

TThImage::TThImage(TThImageBase* owner) : TThEntry(owner) {}

TThImageBase* TThImage::Images() const {
    return static_cast<TThImageBase*>(Owner());
}

void TThImage::Assign(const TThEntry& source) {
    OrgFileName = static_cast<const TThImage&>(source).OrgFileName;
}

bool TThImage::IsMatch(const TThEntry& key) const {
    const TThImage& k = static_cast<const TThImage&>(key);
    // File names compare the platform's way: byte for byte on Linux.
    if (OrgFileName != k.OrgFileName)
        return false;
    if (ReqWidth != k.ReqWidth || ReqHeight != k.ReqHeight)
        return false;
    if (!SameFileTimeAndSize(OrgFileName, OrgFileTime, OrgFileSize))
        return false;
    return SameVolume(OrgFileName, OrgVolLabel, OrgVolSer);
}

void TThImage::ToText(QByteArray& line) const {
    line.resize(0);
    line += 'T';
    const auto text = [&line](const QString& s) {
        line += ',';
        AppendIndexField(line, s);
    };
    const auto number = [&line](int32_t v) {
        line += ',';
        AppendIndexField(line, v);
    };
    text(LastAccess);
    text(OrgFileName);
    number(SaveID);
    number(ReqWidth);
    number(ReqHeight);
    number(OrgWidth);
    number(OrgHeight);
    text(OrgCreateTime);
    text(OrgUpdateTime);
    text(OrgFileTime);
    number(OrgFileSize);
    text(OrgVolLabel);
    text(OrgVolSer);
    text(ThFileTime);
    number(ThFileSize);
}

bool TThImage::FromText(const QByteArray& line) {
    thread_local std::vector<std::string> f;
    size_t n = 0;
    SplitIndexLine(line.constData(), line.size(), f, n);
    if (n == 0 || f[0] != "T")
        return false;
    if (n < 16)
        throw Exception(ThFormat(QStringLiteral("レコードの項目数が不足しています。%1/16"), n));
    LastAccess = Text(f[1]);
    OrgFileName = Text(f[2]);
    SaveID = IndexFieldToInt(f[3]);
    ReqWidth = IndexFieldToInt(f[4]);
    ReqHeight = IndexFieldToInt(f[5]);
    OrgWidth = IndexFieldToInt(f[6]);
    OrgHeight = IndexFieldToInt(f[7]);
    OrgCreateTime = Text(f[8]);
    OrgUpdateTime = Text(f[9]);
    OrgFileTime = Text(f[10]);
    OrgFileSize = IndexFieldToInt(f[11]);
    OrgVolLabel = Text(f[12]);
    OrgVolSer = Text(f[13]);
    ThFileTime = Text(f[14]);
    ThFileSize = IndexFieldToInt(f[15]);
    if (IsDebugFlag(DebugRecStr)) {
        QByteArray back;
        ToText(back);
        if (back != line) {
            ThDebugLog.Write(QStringLiteral("FrStr: ") + QString::fromUtf8(line));
            ThDebugLog.Write(QStringLiteral("ToStr: ") + QString::fromUtf8(back));
            throw Exception(QStringLiteral("レコードの書き戻しが一致しません。"));
        }
    }
    return true;
}

// ---- the record list ----

TThImageBase::TThImageBase() : FSearchKey(new TThImage(this)) {}

TThImageBase::~TThImageBase() {
    TThEntryBase::Clear();
    delete FSearchKey;
}

void TThImageBase::Clear() {
    TThEntryBase::Clear();
    FByName.clear();
    LatestID = -1;
    LatestTime.clear();
    TotalBytes = 0;
    Disabled = false;
    Dirty = false;
}

void TThImageBase::Added(TThEntry* entry) {
    TThImage* image = static_cast<TThImage*>(entry);
    TotalBytes += image->ThFileSize;
    Dirty = true;
    FByName[image->OrgFileName].push_back(image);
}

void TThImageBase::Removing(TThEntry* entry) {
    TThImage* image = static_cast<TThImage*>(entry);
    TotalBytes -= image->ThFileSize;
    Dirty = true;
    const auto it = FByName.find(image->OrgFileName);
    if (it == FByName.end())
        return;
    QVarLengthArray<TThImage*, 2>& same = it.value();
    same.erase(std::remove(same.begin(), same.end(), image), same.end());
    if (same.empty())
        FByName.erase(it);
}

TThEntry* TThImageBase::Find(const TThEntry& key) {
    const TThImage& k = static_cast<const TThImage&>(key);
    TThImage* hit = nullptr;
    const auto it = FByName.constFind(k.OrgFileName);
    if (it != FByName.constEnd()) {
        // The records of this file, most recently used first, as the full walk meets them.
        QVarLengthArray<TThImage*, 8> candidates(it->begin(), it->end());
        std::sort(candidates.begin(), candidates.end(),
                  [](const TThImage* a, const TThImage* b) { return a->Slot() > b->Slot(); });
        for (TThImage* image : candidates)
            if (image->IsMatch(key)) {
                hit = image;
                break;
            }
    }
    if (IsDebugFlag(DebugFindTime))
        SearchSteps = hit ? CountAfter(hit->Slot()) : Count();
    else
        SearchSteps = 0;
    return hit;
}

void TThImageBase::MoveToEnd(TThImage* image) {
    image->LastAccess = FormatStdDateTime(QDateTime::currentDateTime());
    MoveEntryToEnd(image);
    Dirty = true;
}

void TThImageBase::TakeLatestID(int32_t id, const QString& time) {
    const int c = time.compare(LatestTime);
    if (c > 0) {
        LatestID = id;
        LatestTime = time;
    } else if (c == 0) {
        const int64_t d = std::llabs(int64_t(id) - int64_t(LatestID));
        LatestID = d < HalfID ? qMax(id, LatestID) : qMin(id, LatestID);
        LatestTime = time;
    }
}

TThImage* TThImageBase::AddFromText(const QByteArray& line) {
    TThImage* image = new TThImage(this);
    try {
        // A line that isn't a record of this kind, or names a bitmap outside the ID range,
        // or claims a negative size, would only spoil the ID and size bookkeeping.
        if (!image->FromText(line) || image->SaveID < 0 || image->SaveID >= MaxID ||
            image->ThFileSize < 0) {
            delete image;
            return nullptr;
        }
    } catch (...) {
        delete image;
        return nullptr;
    }
    Add(image);
    TakeLatestID(image->SaveID, image->ThFileTime);
    return image;
}
