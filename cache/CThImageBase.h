#pragma once
// The thumbnail cache's records: where the cache lies (TThCacheFileName), one record per
// stored bitmap (TThImage) with its index-line form, and the record list (TThImageBase)
// in least-recently-used order with the ID and size bookkeeping.
#include "CThEntryBase.h"

#include <QHash>
#include <QString>
#include <QVarLengthArray>
#include <cstdint>
#include <string>
#include <vector>

// Cache location: BaseDir joined with "_TDB" + Version holds the index file and one
// subfolder per hundred bitmaps (A0001234.bmp lies in A00012).
class TThCacheFileName {
public:
    QString BaseDir;
    int32_t MaxSizeKB = 0;
    const QString Version = QStringLiteral("0100");

    // Raises "キャッシュディレクトリが未設定です" while BaseDir is empty.
    QString CacheDir() const;
    QString IndexFile() const;
    // "A%.7d" of the ID.
    static QString BitmapName(int32_t id);
    QString BitmapFile(int32_t id) const;
    QString BitmapDir(int32_t id) const;

    // Eviction starts above UpperLimit (90 % of MaxSizeKB) and stops at LowerLimit (80 %).
    int64_t UpperLimit() const;
    int64_t LowerLimit() const;
};

// The index line's field splitting and quoting, shared by the record and its checks.
// Splits one line into its fields (reusing the vector's strings).
void SplitIndexLine(const char* data, qsizetype size, std::vector<std::string>& fields,
                    size_t& count);
// Appends one field, quoted when it holds a character 0 to 32, a double quote or a comma.
void AppendIndexField(QByteArray& line, const char* data, qsizetype size);
void AppendIndexField(QByteArray& line, const QString& text);
void AppendIndexField(QByteArray& line, int32_t value);
// A 32-bit decimal integer; raises "Integer形式不正。"...""" otherwise.
int32_t IndexFieldToInt(const std::string& text);

class TThImageBase;

class TThImage : public TThEntry {
public:
    explicit TThImage(TThImageBase* owner);

    QString OrgFileName;
    int32_t LineNo = 0;
    QString LastAccess;
    int32_t SaveID = 0;
    int32_t ReqWidth = 0, ReqHeight = 0;
    int32_t OrgWidth = 0, OrgHeight = 0;
    QString OrgCreateTime;
    QString OrgUpdateTime;
    QString OrgFileTime;
    int32_t OrgFileSize = 0;
    QString OrgVolLabel;
    QString OrgVolSer;
    QString ThFileTime;
    int32_t ThFileSize = 0;
    int32_t FilePos = -1;

    void Assign(const TThEntry& source) override;
    // The cache-hit test: same file name and box, and the source file still has the
    // stored time, size and volume.
    bool IsMatch(const TThEntry& key) const override;
    void ToText(QByteArray& line) const override;
    // Raises on a malformed record line; false when the line isn't a record ("T").
    bool FromText(const QByteArray& line) override;

    TThImageBase* Images() const;
};

// The column names, written as the first line of the index when DebugTitle is on.
extern const char* const IndexHeaderLine;

class TThImageBase : public TThEntryBase {
public:
    TThImageBase();
    ~TThImageBase() override;

    // Also resets LatestID, LatestTime, TotalBytes, Disabled and Dirty.
    void Clear() override;
    // The record the most-recently-used-first walk would find, looked up among the
    // records of the key's file only. SearchSteps is counted only while DebugFindTime is
    // on.
    TThEntry* Find(const TThEntry& key) override;
    // The plain walk over every record.
    TThEntry* FindLinear(const TThEntry& key) { return TThEntryBase::Find(key); }
    // Stamps the record with the current time and makes it the most recently used.
    void MoveToEnd(TThImage* image);
    // A record from an index line, added and handed to the latest-ID rule; none when the
    // line holds no valid record.
    TThImage* AddFromText(const QByteArray& line);
    // Continues the ID numbering after the most recently written bitmap.
    void TakeLatestID(int32_t id, const QString& time);

    TThImage* First() { return static_cast<TThImage*>(TThEntryBase::First()); }
    TThImage* Last() { return static_cast<TThImage*>(TThEntryBase::Last()); }

    TThCacheFileName& Location() { return FLocation; }
    const TThCacheFileName& Location() const { return FLocation; }
    TThImage& SearchKey() { return *FSearchKey; }

    int32_t LatestID = -1;
    QString LatestTime;
    const int32_t MaxID = 1000000;
    const int32_t IDBlock = 1000;
    const int32_t HalfID = MaxID / 2;
    int64_t TotalBytes = 0;
    bool Disabled = false;
    bool Dirty = false;

protected:
    void Added(TThEntry* entry) override;
    void Removing(TThEntry* entry) override;

private:
    TThCacheFileName FLocation;
    TThImage* FSearchKey;
    // Records by source file name (the same comparison as the hit test's).
    QHash<QString, QVarLengthArray<TThImage*, 2>> FByName;
};

class TThImageIterator : public TThEntryIterator {
public:
    explicit TThImageIterator(TThImageBase& list) : TThEntryIterator(list) {}
    TThImage* CurrentItem() const {
        return static_cast<TThImage*>(TThEntryIterator::CurrentItem());
    }
};

class TThImageReverseIterator : public TThEntryReverseIterator {
public:
    explicit TThImageReverseIterator(TThImageBase& list) : TThEntryReverseIterator(list) {}
    TThImage* CurrentItem() const {
        return static_cast<TThImage*>(TThEntryReverseIterator::CurrentItem());
    }
};
