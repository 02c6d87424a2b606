// libFuzzer target for the cache index line parser: any line either yields a record or is
// refused, a record writes back to a line that reads back the same, and any list of fields
// survives quoting and splitting unchanged.
#include "cache/CThImageBase.h"
#include "services/CException.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// False when one of the properties above fails for the line.
inline bool CheckIndexLine(const uint8_t* data, size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<std::string> fields, again;
    size_t count = 0, againCount = 0;
    SplitIndexLine(line.constData(), line.size(), fields, count);
    if (count > size + 1)
        return false;
    // A lone empty field is written as an empty line, which holds none.
    if (!(count == 1 && fields[0].empty())) {
        QByteArray joined;
        for (size_t i = 0; i < count; ++i) {
            joined += i ? "," : "";
            AppendIndexField(joined, fields[i].data(), qsizetype(fields[i].size()));
        }
        SplitIndexLine(joined.constData(), joined.size(), again, againCount);
        if (againCount != count ||
            !std::equal(fields.begin(), fields.begin() + count, again.begin()))
            return false;
    }
    TThImageBase list;
    TThImage* image = list.AddFromText(line);
    if (!image)
        return true;
    QByteArray written, rewritten;
    image->ToText(written);
    TThImage copy(&list);
    try {
        if (!copy.FromText(written))
            return false;
    } catch (const Exception&) {
        return false;
    }
    copy.ToText(rewritten);
    return rewritten == written && list.Count() == 1 && list.TotalBytes == image->ThFileSize;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckIndexLine(data, size))
        std::abort();
    return 0;
}
