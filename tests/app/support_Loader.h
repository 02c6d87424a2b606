#pragma once
// Helpers for the loader tests: a controllable picture source, event-loop waiting and a grid
// with its loader.
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"

#include <QAction>
#include <QImage>
#include <QSet>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>

// Spins the window thread's event loop until pred holds or the time is up.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 20000);

// A source answering from memory: every path gives facts and a 400 x 300 picture unless it
// is listed as broken (the thumbnail raises) or missing (no facts, no picture).
class TFakeSource : public TThumbnailSource {
public:
    QSet<QString> Broken, Missing;
    int DelayUs = 0;               // time a thumbnail takes
    std::atomic<int> Refreshes{0}; // RefreshThumbnail calls

    void SetBox(int, int) override {}
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override;
    bool GetThumbnail(const QString& path, QImage& bitmap) override;
    bool RefreshThumbnail(const QString& path, QImage& bitmap) override;
    QStringList Requests() const; // GetThumbnail calls in order

private:
    mutable std::mutex FLock;
    QStringList FRequests;
};

QStringList NumberedPaths(const QString& folder, int count, const QString& ext = "jpg");

// A grid of 3 columns and 2 rows on screen, and its loader once Start gives it a source; every
// report is collected and passed on to OnReport.
struct TLoaderRig {
    TThumbListView Grid;
    QAction Reload{"Reload this image"};
    std::unique_ptr<TImageListThread> Thread;
    QList<int> Reports;
    std::function<void(int)> OnReport;

    TLoaderRig();
    // The loader over this source, at the medium size.
    void Start(std::unique_ptr<TThumbnailSource> source);
    // The loader is idle after the end or a stop.
    bool Settled() const;
    // Reports cleared, the request made, then waits until settled.
    bool Await(const std::function<void()>& request, int timeoutMs = 60000);
    bool Load(const QStringList& list) {
        return Await([&] { Thread->SetFileList(list); });
    }
    int Pictures() const; // cells with a picture
};
