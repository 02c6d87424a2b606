#pragma once
// Helpers for the loader tests: a controllable picture source and event-loop waiting.
#include "app/c_ImageListThread.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QStringList>
#include <functional>
#include <mutex>

// Spins the window thread's event loop until pred holds or the time is up.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 20000);

// A source answering from memory: every path gives facts and a 400 x 300 picture unless it
// is listed as broken (the thumbnail raises) or missing (no facts, no picture).
class TFakeSource : public TThumbnailSource {
public:
    QSet<QString> Broken;
    QSet<QString> Missing;
    int DelayUs = 0; // time a thumbnail takes

    void SetBox(int width, int height) override;
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override;
    bool GetThumbnail(const QString& path, QImage& bitmap) override;
    bool RefreshThumbnail(const QString& path, QImage& bitmap) override;

    QStringList Requests() const; // GetThumbnail calls in order
    int BoxSets() const;
    int Refreshes() const;

private:
    mutable std::mutex FLock;
    QStringList FRequests;
    int FBoxSets = 0;
    int FRefreshes = 0;
};

QStringList NumberedPaths(const QString& folder, int count, const QString& ext = "jpg");
