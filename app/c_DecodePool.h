#pragma once
// The decode-ahead pool of the thumbnail loader. Making a thumbnail is mostly decoding the
// photograph, and that part needs nothing of the thumbnail database; so while the loading
// thread stores and hands out one picture, worker threads make the thumbnails of the next
// ones in the loader's order, each with a maker (and decoder memory) of its own.
//
// The loading thread is the only client. It adds the pictures it will come to next, takes
// each result when it comes to that picture, and makes a picture itself when no worker has
// started on it yet; while a worker is still making the picture it wants, it makes the next
// queued one meanwhile. So the loading thread decodes too and seldom waits. The database and its
// index stay with the loading thread alone. Finished pictures waiting to be taken are bounded in
// bytes; what the loader no longer wants is dropped, and a picture being made then is thrown away
// when done.
#include "app/c_ImageListThread.h"
#include "cache/CThumbnailDB.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TDecodePool {
public:
    // Starts a worker for each maker. Workers start no picture while the finished ones
    // waiting hold byteBudget bytes or more.
    TDecodePool(std::vector<std::unique_ptr<TThumbnailMaker>> makers, qint64 byteBudget);
    // Drops all work and waits for the workers to finish the pictures they are making.
    ~TDecodePool();
    TDecodePool(const TDecodePool&) = delete;
    TDecodePool& operator=(const TDecodePool&) = delete;

    int Workers() const { return int(FWorkers.size()); }
    // Queues a picture after those queued before.
    void Add(const QString& path);
    // Whether the picture is queued, being made or made and waiting.
    bool Holds(const QString& path) const;
    // How many pictures are queued, being made or waiting.
    int Outstanding() const;
    // The finished picture of path, waiting for it while a worker makes it; false when no
    // worker has it (a queued one is taken off the queue): the caller makes it itself.
    // Meanwhile the caller makes queued pictures with helper, when given.
    bool Take(const QString& path, TMadeThumbnail& made, TThumbnailMaker* helper = nullptr);
    // Drops the queue and the waiting pictures not in wanted; pictures being made that are
    // not in it are thrown away when done.
    void Retain(const QSet<QString>& wanted);
    // Drops everything not yet taken.
    void Drop() { Retain({}); }
    // Pictures the workers made, thrown away ones included (for tests and the bench).
    int MadeCount() const;

private:
    struct TBusy {
        QString Path;
        bool Wanted = true;
    };

    std::vector<std::unique_ptr<TThumbnailMaker>> FMakers;
    std::vector<std::thread> FWorkers;
    const qint64 FByteBudget;

    mutable std::mutex FLock;
    std::condition_variable FWork; // something queued, room made, or stopping
    std::condition_variable FDone; // a picture finished
    std::deque<QString> FQueue;
    std::vector<TBusy> FBusy;
    QHash<QString, TMadeThumbnail> FReady;
    qint64 FReadyBytes = 0;
    int FMadeCount = 0;
    bool FStopping = false;

    void Work(TThumbnailMaker& maker);
    static void MakeOne(TThumbnailMaker& maker, const QString& path, TMadeThumbnail& made);
    void Finish(const QString& path, TMadeThumbnail& made); // under the lock
    bool BusyWith(const QString& path) const;               // under the lock
};

// Decode workers for this machine: VELMORA_DECODE_WORKERS when set (0 makes every picture
// on the loading thread), else the core count less one, at least one, at most eight.
int DefaultDecodeWorkers();
