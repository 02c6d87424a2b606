#pragma once
// Helpers for the loader tests: event-loop waiting, picture paths, a grid with its loader.
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"

#include <QAction>
#include <QStringList>
#include <functional>

// Spins the window thread's event loop until pred holds or the time is up.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 20000);

// folder/img0000.ext, folder/img0001.ext, ...
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
    // Reports cleared, the list handed over, then waits until settled.
    bool Load(const QStringList& list, int timeoutMs = 60000);
    int Pictures() const; // cells with a picture
};
