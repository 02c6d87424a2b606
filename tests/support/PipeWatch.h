#pragma once
// Named pipes for tests of code that must never open one for reading. A reader that does
// would wait for a writer for good; the watch plays that writer once the time is up (it
// opens every pipe for writing and closes it again, which ends any such wait), so a fault
// fails the test instead of hanging it.
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class TPipeWatch {
public:
    explicit TPipeWatch(int timeoutMs = 5000) : FTimeoutMs(timeoutMs) {}
    ~TPipeWatch() {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FDone = true;
        }
        FWake.notify_all();
        if (FThread.joinable())
            FThread.join();
    }

    // Makes a named pipe at path; false when it cannot.
    bool Make(const QString& path) {
        if (::mkfifo(path.toLocal8Bit().constData(), 0600) != 0)
            return false;
        std::lock_guard<std::mutex> lock(FLock);
        FPipes << path;
        return true;
    }
    // Starts the clock; once the time is up, readers are freed until the test is over (a
    // stuck loader may try again).
    void Start() {
        FThread = std::thread([this] {
            std::unique_lock<std::mutex> lock(FLock);
            for (int ms = FTimeoutMs;
                 !FWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FDone; });
                 ms = 50) {
                FFired = true;
                for (const QString& p : FPipes)
                    if (const int fd = ::open(p.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
                        fd >= 0)
                        ::close(fd);
            }
        });
    }
    // Whether some reader had to be freed.
    bool Fired() const { return FFired; }

private:
    int FTimeoutMs;
    QStringList FPipes;
    std::mutex FLock;
    std::condition_variable FWake;
    bool FDone = false;
    std::atomic<bool> FFired{false};
    std::thread FThread;
};
