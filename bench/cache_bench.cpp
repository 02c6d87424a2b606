// Thumbnail cache at scale: a 50,000-record index, 5,000 lookups mixing hits and misses.
//
// Lookups are timed with the per-file map against the plain most-recently-used-first walk
// over every record, in the same run and on the same keys (both must return the same
// record for every key). Loading and saving the index are timed against a plain read and
// a plain write-and-flush of the same bytes.
//
//   build*/bench/cache_bench [records] [lookups]
#include "cache/CThTable.h"
#include "services/CCommon.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

double Ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A plain read of the whole file into memory, 8192 bytes at a time.
double PlainRead(const QString& path) {
    QElapsedTimer t;
    t.start();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    char buf[8192];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
    ::close(fd);
    return Ms(t);
}

// A plain write of the same bytes to a new file, flushed to the disk.
double PlainWrite(const QString& path, const QByteArray& bytes) {
    QElapsedTimer t;
    t.start();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (qsizetype done = 0; done < bytes.size(); done += 8192)
        if (::write(fd, bytes.constData() + done,
                    size_t(qMin<qsizetype>(8192, bytes.size() - done))) < 0)
            break;
    ::fsync(fd);
    ::close(fd);
    return Ms(t);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 50000;
    const int lookups = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int hitFiles = lookups / 2;

    QTemporaryDir dir;
    const QString base = dir.path() + "/cache";
    const QString sources = dir.path() + "/photos";
    QDir().mkpath(sources);
    QString label, serial;
    GetVolumeLabelAndSerial(sources, label, serial);

    TThTable table;
    table.Location().BaseDir = base;
    QRandomGenerator rng(42);

    // Records: every hit file has a 512-box record (with a tiny bitmap) and an older
    // 256-box one; the rest name pictures of other folders that are not on this disk.
    std::vector<TThImage*> all;
    std::vector<QString> hitNames, goneNames;
    const QImage tiny(2, 2, QImage::Format_RGB32);
    for (int i = 0; i < records; ++i) {
        TThImage* r = new TThImage(&table.List());
        const bool hit = i < 2 * hitFiles;
        const int file = hit ? i / 2 : i;
        r->OrgFileName = hit ? QString("%1/IMG_%2.JPG").arg(sources).arg(file, 5, 10, QChar('0'))
                             : QString("/media/archive/%1/DSC_%2.JPG")
                                   .arg(2000 + file % 25)
                                   .arg(file, 6, 10, QChar('0'));
        r->ReqWidth = r->ReqHeight = hit && i % 2 ? 256 : 512;
        r->SaveID = i;
        r->LastAccess = "2024/06/01 12:00:00";
        r->OrgWidth = 4000;
        r->OrgHeight = 3000;
        r->OrgCreateTime = r->OrgUpdateTime = "2024/06/01 11:59:58";
        r->OrgVolLabel = label;
        r->OrgVolSer = serial;
        if (hit && i % 2 == 0) {
            QFile f(r->OrgFileName);
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(100 + file % 50, 'j'));
            f.close();
            hitNames.push_back(r->OrgFileName);
            const QString bmp = table.Location().BitmapFile(i);
            QDir().mkpath(table.Location().BitmapDir(i));
            tiny.save(bmp, "BMP");
            GetFileTimeAndSize(bmp, r->ThFileTime, r->ThFileSize);
        } else {
            r->ThFileTime = "2024/06/01 12:00:00";
            r->ThFileSize = 786486;
            if (!hit && goneNames.size() < size_t(lookups))
                goneNames.push_back(r->OrgFileName);
        }
        GetFileTimeAndSize(r->OrgFileName, r->OrgFileTime, r->OrgFileSize);
        if (r->OrgFileTime.isEmpty()) {
            r->OrgFileTime = "2024/06/01 11:59:58";
            r->OrgFileSize = 4000000 + i;
        }
        all.push_back(r);
    }
    // Least recently used order: shuffled, so hits lie anywhere in the list.
    std::shuffle(all.begin(), all.end(), std::mt19937(7));
    for (TThImage* r : all)
        table.List().Add(r);

    // Keys: half hits, a quarter files the cache never saw, a quarter records whose
    // picture is gone.
    struct TKey {
        QString Name;
        int Box;
    };
    std::vector<TKey> keys;
    for (int i = 0; i < lookups; ++i) {
        if (i % 2 == 0)
            keys.push_back({hitNames[size_t(rng.bounded(int(hitNames.size())))], 512});
        else if (i % 4 == 1)
            keys.push_back({QString("%1/NEW_%2.JPG").arg(sources).arg(i), 512});
        else
            keys.push_back({goneNames[size_t(rng.bounded(int(goneNames.size())))], 512});
    }

    TThImageBase& list = table.List();
    TThImage& key = list.SearchKey();
    auto setKey = [&](const TKey& k) {
        key.OrgFileName = k.Name;
        key.ReqWidth = key.ReqHeight = k.Box;
    };

    // The plain walk, once over all keys; its answers are the reference. Each kind of key
    // is timed on its own as well as the whole mix.
    const char* const kindNames[3] = {"hits", "new files", "pictures gone"};
    auto kindOf = [](size_t i) { return i % 2 == 0 ? 0 : i % 4 == 1 ? 1 : 2; };
    std::vector<TThEntry*> expected(keys.size());
    double linearKind[3] = {}, indexedKind[3] = {};
    int kindCount[3] = {};
    QElapsedTimer t;
    for (size_t i = 0; i < keys.size(); ++i) {
        setKey(keys[i]);
        t.restart();
        expected[i] = list.FindLinear(key);
        linearKind[kindOf(i)] += Ms(t);
        ++kindCount[kindOf(i)];
    }
    const double linearMs = linearKind[0] + linearKind[1] + linearKind[2];

    // The map lookup, several passes; every answer checked against the walk's.
    std::vector<double> runs;
    int mismatches = 0, hits = 0;
    for (int pass = 0; pass < 5; ++pass) {
        t.restart();
        for (size_t i = 0; i < keys.size(); ++i) {
            setKey(keys[i]);
            TThEntry* found = list.Find(key);
            if (found != expected[i])
                ++mismatches;
            if (pass == 0 && found)
                ++hits;
        }
        runs.push_back(Ms(t));
    }
    const double indexedMs = Median(runs);
    for (size_t i = 0; i < keys.size(); ++i) {
        setKey(keys[i]);
        t.restart();
        list.Find(key);
        indexedKind[kindOf(i)] += Ms(t);
    }

    // Whole table lookups: the search, the bitmap read and the move to the end.
    runs.clear();
    int tableHits = 0;
    for (int pass = 0; pass < 3; ++pass) {
        t.restart();
        for (const TKey& k : keys)
            if (table.Lookup(k.Name, k.Box, k.Box))
                ++tableHits;
        runs.push_back(Ms(t));
    }
    const double lookupMs = Median(runs);

    // Save and load of the whole index, against a plain write and read of its bytes.
    std::vector<double> saves, loads, plainWrites, plainReads;
    const QString index = table.Location().IndexFile();
    for (int pass = 0; pass < 5; ++pass) {
        table.List().Dirty = true;
        t.restart();
        table.Save();
        saves.push_back(Ms(t));
        const QByteArray bytes = [&] {
            QFile f(index);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        plainWrites.push_back(PlainWrite(dir.path() + "/plain.dat", bytes));
        TThTable other;
        other.Location().BaseDir = base;
        t.restart();
        other.Load();
        loads.push_back(Ms(t));
        if (other.List().Count() != records)
            ++mismatches;
        plainReads.push_back(PlainRead(index));
    }
    const double saveMs = Median(saves), loadMs = Median(loads);
    const double plainWriteMs = Median(plainWrites), plainReadMs = Median(plainReads);
    const double indexMB = double(QFile(index).size()) / (1024.0 * 1024.0);

    const double linearRate = lookups / (linearMs / 1000.0);
    const double indexedRate = lookups / (indexedMs / 1000.0);
    const double lookupRate = lookups / (lookupMs / 1000.0);
    std::printf("cache_bench: %d records, %d lookups (%d hits), index %.1f MB\n", records, lookups,
                hits, indexMB);
    std::printf("  search, plain walk (reference)  %12.0f lookups/s  %8.1f ms\n", linearRate,
                linearMs);
    std::printf("  search, per-file map            %12.0f lookups/s  %8.1f ms  %7.0fx the walk\n",
                indexedRate, indexedMs, indexedRate / linearRate);
    for (int k = 0; k < 3; ++k)
        std::printf("    %-14s walk %9.1f us/lookup   map %7.2f us/lookup  %8.0fx\n", kindNames[k],
                    1000.0 * linearKind[k] / kindCount[k], 1000.0 * indexedKind[k] / kindCount[k],
                    linearKind[k] / indexedKind[k]);
    std::printf("  table lookup (map, bitmap read) %12.0f lookups/s  %8.1f ms  %7.0fx the walk\n",
                lookupRate, lookupMs, lookupRate / linearRate);
    std::printf(
        "  load index  %7.1f ms   (plain read of the file %6.1f ms, %.1fx)   target < 150 ms\n",
        loadMs, plainReadMs, loadMs / plainReadMs);
    std::printf(
        "  save index  %7.1f ms   (plain write+fsync      %6.1f ms, %.1fx)   target < 250 ms\n",
        saveMs, plainWriteMs, saveMs / plainWriteMs);
    std::printf("  answers differing from the walk: %d\n", mismatches);
    return mismatches == 0 ? 0 : 1;
}
