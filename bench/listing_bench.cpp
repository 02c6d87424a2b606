// The window thread's disk and sort work when a folder of 5,000 pictures opens: the folder
// listing, the volume part of the cache's hit test, and the sort by each key, each against
// the way it was done before and against a bare reference, measured in the same run
// (median of the rounds):
//   - listing: ListImageFiles (one pass) against a pass per extension with an attribute
//     lookup per match (as before); reference: one bare readdir pass over the folder;
//   - volume: GetVolumeLabelAndSerial per call (label cached per device) against the scan of
//     /dev/disk/by-label it used to make on every call; reference: one stat of the file;
//   - sort: the grid's sort by keys made once against the pairwise sort that made and
//     compared both keys for every pair; reference: std::sort of the same keys.
//
//   build*/bench/listing_bench [count] [--rounds N]
#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "platform/PFileSystem.h"
#include "services/CCommon.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <functional>
#include <sys/stat.h>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeMs(const std::function<void()>& f, int rounds) {
    std::vector<double> t;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer e;
        e.start();
        f();
        t.push_back(e.nsecsElapsed() / 1e6);
    }
    return Median(t);
}

// The listing as it was: a pass per extension, each match looked up.
QStringList ListPerExtension(const QString& dir, const QStringList& extensions) {
    QStringList names;
    for (const QString& ext : extensions) {
        PDirSearch search;
        if (!search.Open(dir, "*." + ext))
            continue;
        PFileEntry entry;
        while (search.Next(entry))
            if (!entry.IsDir && GetLowerExt(entry.Name) == ext)
                names.append(entry.Name);
    }
    return names;
}

// What the label lookup did on every call before.
QString ScanByLabel(dev_t dev) {
    DIR* d = opendir("/dev/disk/by-label");
    if (!d)
        return {};
    QString label;
    while (struct dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        const QByteArray p = QByteArray("/dev/disk/by-label/") + e->d_name;
        struct stat st;
        if (stat(p.constData(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == dev) {
            label = QString::fromUtf8(e->d_name);
            break;
        }
    }
    closedir(d);
    return label;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 5000, rounds = 7;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--rounds" && i + 1 < argc)
            rounds = std::max(1, atoi(argv[++i]));
        else
            count = std::max(1, atoi(argv[i]));
    }
    QTemporaryDir work;
    const QString dir = work.path() + "/";
    const char* exts[] = {"jpg", "JPG", "jpeg", "png", "tif", "bmp", "avi", "txt"};
    QRandomGenerator rng(5);
    for (int i = 0; i < count; ++i) {
        QFile f(dir + QString("IMG_%1.%2")
                          .arg(rng.bounded(100000), 5, 10, QChar('0'))
                          .arg(i % 8 == 7 ? "txt" : exts[rng.bounded(7)]));
        if (!f.exists() && f.open(QIODevice::WriteOnly))
            f.write(QByteArray(1 + rng.bounded(4000), 'x'));
    }
    std::printf("listing_bench: %d files in one folder, median of %d rounds\n\n", count, rounds);

    // Listing.
    const QStringList now = ListImageFiles(dir, ExtensionList);
    const QStringList before = ListPerExtension(dir, ExtensionList);
    const double bare = TimeMs(
        [&] {
            DIR* d = opendir(QFile::encodeName(dir).constData());
            int n = 0;
            while (readdir(d))
                ++n;
            closedir(d);
        },
        rounds);
    const double tNow = TimeMs([&] { ListImageFiles(dir, ExtensionList); }, rounds);
    const double tBefore = TimeMs([&] { ListPerExtension(dir, ExtensionList); }, rounds);
    std::printf("listing (%d pictures listed, same order as before: %s)\n", int(now.size()),
                now == before ? "yes" : "NO");
    std::printf("  bare readdir pass (reference)   %8.2f ms\n", bare);
    std::printf("  one pass (now)                  %8.2f ms  %6.1f x reference\n", tNow,
                tNow / bare);
    std::printf("  pass per extension (before)     %8.2f ms  %6.1f x reference, %.1f x now\n\n",
                tBefore, tBefore / bare, tBefore / tNow);

    // The volume part of the hit test, per file.
    const QString file = dir + now.value(0);
    struct stat st;
    stat(QFile::encodeName(file).constData(), &st);
    const int calls = 2000;
    QString label, serial;
    const double tStat = TimeMs(
        [&] {
            struct stat s;
            for (int i = 0; i < calls; ++i)
                stat(QFile::encodeName(file).constData(), &s);
        },
        rounds);
    const double tVolume = TimeMs(
        [&] {
            for (int i = 0; i < calls; ++i)
                GetVolumeLabelAndSerial(file, label, serial);
        },
        rounds);
    const double tScan = TimeMs(
        [&] {
            for (int i = 0; i < calls; ++i)
                ScanByLabel(st.st_dev);
        },
        rounds);
    std::printf("volume label and serial, per hit test\n");
    std::printf("  stat of the file (reference)    %8.2f us\n", tStat * 1000 / calls);
    std::printf("  label cached per device (now)   %8.2f us  %6.1f x reference\n",
                tVolume * 1000 / calls, tVolume / tStat);
    std::printf("  + by-label scan (before)        %8.2f us  %6.1f x reference\n\n",
                (tVolume + tScan) * 1000 / calls, (tVolume + tScan) / tStat);

    // The sort by each key, on items like the information pass leaves them.
    TThumbListView grid;
    TImageListThread loader(&grid, nullptr);
    QList<QStringList> infos;
    for (int i = 0; i < count; ++i) {
        QStringList info(9);
        info[1] = QString("IMG_%1.jpg").arg(rng.bounded(count), 5, 10, QChar('0'));
        info[2] = dir + info[1];
        info[3] = QString::number(rng.bounded(3000000));
        info[4] = FormatStdDateTime(2004 + rng.bounded(3), 1 + rng.bounded(12), 1, rng.bounded(24),
                                    rng.bounded(60), rng.bounded(30) * 2);
        info[5] = rng.bounded(2) ? info[4] : QString();
        infos << info;
    }
    auto fill = [&] {
        grid.SetCount(count);
        for (int i = 0; i < count; ++i) {
            grid.Item(i)->Info = infos[i];
            grid.Item(i)->FileName = infos[i][1];
        }
    };
    const auto ranks = grid.OnRank;
    std::printf("sort of %d items\n", count);
    for (int mode : {0, 1, 2}) {
        const char* key = mode == 0 ? "name" : mode == 1 ? "size" : "date";
        std::vector<double> tr, tp, tk;
        bool same = true;
        for (int r = 0; r < std::max(1, rounds / 2); ++r) {
            fill();
            grid.OnRank = ranks;
            QElapsedTimer e;
            e.start();
            loader.SetSortMode(mode);
            tr.push_back(e.nsecsElapsed() / 1e6);
            QStringList a;
            for (int i = 0; i < count; ++i)
                a << grid.Item(i)->Info[2] + grid.Item(i)->Info[3];
            fill();
            grid.OnRank = nullptr;
            e.start();
            grid.Sort();
            tp.push_back(e.nsecsElapsed() / 1e6);
            QStringList b;
            for (int i = 0; i < count; ++i)
                b << grid.Item(i)->Info[2] + grid.Item(i)->Info[3];
            same = same && a == b;
            e.start();
            std::vector<int> keys = loader.SortRanks();
            std::sort(keys.begin(), keys.end());
            tk.push_back(e.nsecsElapsed() / 1e6);
        }
        grid.OnRank = ranks;
        const double k = Median(tk), rk = Median(tr), pw = Median(tp);
        std::printf("  by %s: keys made once + std::sort (reference) %8.2f ms; now %8.2f ms "
                    "(%5.1f x reference); pairwise before %9.1f ms (%6.1f x reference, %.0f x "
                    "now); same order: %s\n",
                    key, k, rk, rk / k, pw, pw / k, pw / rk, same ? "yes" : "NO");
    }
    return 0;
}
