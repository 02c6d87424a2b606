#include "c_DecodePool.h"

#include <QtGlobal>
#include <algorithm>
#include <exception>

TDecodePool::TDecodePool(std::vector<std::unique_ptr<TThumbnailMaker>> makers, qint64 byteBudget)
    : FMakers(std::move(makers)), FByteBudget(byteBudget) {
    FWorkers.reserve(FMakers.size());
    for (auto& maker : FMakers)
        FWorkers.emplace_back([this, m = maker.get()] { Work(*m); });
}

TDecodePool::~TDecodePool() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
        FQueue.clear();
    }
    FWork.notify_all();
    for (std::thread& worker : FWorkers)
        worker.join();
}

void TDecodePool::Add(const QString& path) {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FQueue.push_back(path);
    }
    FWork.notify_one();
}

bool TDecodePool::BusyWith(const QString& path) const {
    return std::any_of(FBusy.begin(), FBusy.end(),
                       [&](const TBusy& b) { return b.Wanted && b.Path == path; });
}

bool TDecodePool::Holds(const QString& path) const {
    std::lock_guard<std::mutex> lock(FLock);
    return FReady.contains(path) || BusyWith(path) ||
           std::find(FQueue.begin(), FQueue.end(), path) != FQueue.end();
}

int TDecodePool::Outstanding() const {
    std::lock_guard<std::mutex> lock(FLock);
    const auto busy = std::count_if(FBusy.begin(), FBusy.end(), [](auto& b) { return b.Wanted; });
    return int(FQueue.size() + FReady.size() + size_t(busy));
}

int TDecodePool::MadeCount() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FMadeCount;
}

bool TDecodePool::Take(const QString& path, TMadeThumbnail& made, TThumbnailMaker* helper) {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        const auto ready = FReady.find(path);
        if (ready != FReady.end()) {
            made = std::move(*ready);
            FReady.erase(ready);
            FReadyBytes -= made.Thumbnail.sizeInBytes();
            lock.unlock();
            FWork.notify_all(); // room for the workers again
            return true;
        }
        if (!BusyWith(path)) {
            const auto queued = std::find(FQueue.begin(), FQueue.end(), path);
            if (queued != FQueue.end())
                FQueue.erase(queued);
            return false;
        }
        // A worker is making it: rather than wait idle, make the next queued picture.
        if (helper && !FQueue.empty() && FReadyBytes < FByteBudget) {
            const QString next = FQueue.front();
            FQueue.pop_front();
            FBusy.push_back({next, true});
            lock.unlock();
            TMadeThumbnail other;
            MakeOne(*helper, next, other);
            lock.lock();
            Finish(next, other);
            continue;
        }
        FDone.wait(lock);
    }
}

void TDecodePool::Retain(const QSet<QString>& wanted) {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FQueue.clear();
        for (auto it = FReady.begin(); it != FReady.end();) {
            if (wanted.contains(it.key())) {
                ++it;
                continue;
            }
            FReadyBytes -= it->Thumbnail.sizeInBytes();
            it = FReady.erase(it);
        }
        for (TBusy& busy : FBusy)
            busy.Wanted = busy.Wanted && wanted.contains(busy.Path);
    }
    FWork.notify_all();
}

void TDecodePool::Work(TThumbnailMaker& maker) {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FWork.wait(lock,
                   [this] { return FStopping || (!FQueue.empty() && FReadyBytes < FByteBudget); });
        if (FStopping)
            return;
        const QString path = FQueue.front();
        FQueue.pop_front();
        FBusy.push_back({path, true});
        lock.unlock();

        TMadeThumbnail made;
        MakeOne(maker, path, made);
        lock.lock();
        Finish(path, made);
    }
}

void TDecodePool::MakeOne(TThumbnailMaker& maker, const QString& path, TMadeThumbnail& made) {
    // A failure travels with the result, so the loader reports it as its own make would.
    try {
        maker.Make(path, made);
    } catch (const std::exception& e) {
        made = TMadeThumbnail();
        made.Error = QString::fromUtf8(e.what());
    } catch (...) {
        made = TMadeThumbnail();
        made.Error = QStringLiteral("The picture could not be read.");
    }
}

void TDecodePool::Finish(const QString& path, TMadeThumbnail& made) {
    ++FMadeCount;
    // The maker's entry: the first with the path that is still wanted, else any (a path
    // dropped and queued again may be made twice at once; either picture is the same).
    auto busy = std::find_if(FBusy.begin(), FBusy.end(),
                             [&](const TBusy& b) { return b.Path == path && b.Wanted; });
    if (busy == FBusy.end())
        busy = std::find_if(FBusy.begin(), FBusy.end(),
                            [&](const TBusy& b) { return b.Path == path; });
    const bool wanted = busy->Wanted && !FReady.contains(path);
    FBusy.erase(busy);
    if (wanted) {
        FReadyBytes += made.Thumbnail.sizeInBytes();
        FReady.insert(path, std::move(made));
    }
    FDone.notify_all();
}

int DefaultDecodeWorkers() {
    bool ok = false;
    const int set = qEnvironmentVariableIntValue("VELMORA_DECODE_WORKERS", &ok);
    if (ok)
        return std::clamp(set, 0, 64);
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores - 1, 1, 8);
}
