#pragma once
// Helpers for the loader tests: a controllable picture source and event-loop waiting.
#include "app/c_ImageListThread.h"

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
