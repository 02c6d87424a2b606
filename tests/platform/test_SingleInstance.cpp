#include "platform/PSingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A name of its own for each test; its lock files go when the program ends.
QString UniqueName() {
    static int n = 0;
    static struct TCleanup {
        QStringList Files;
        ~TCleanup() {
            for (const QString& f : Files)
                QFile::remove(f);
        }
    } cleanup;
    const QString name =
        QString("VelmoraTest%1x%2").arg(QCoreApplication::applicationPid()).arg(++n);
    cleanup.Files << QDir::tempPath() + "/" + name + ".lock"
                  << QDir::tempPath() + "/" + name + "b.lock";
    return name;
}

bool PumpUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace

TEST(SingleInstance, SecondStartAsksTheFirstToShow) {
    const QString name = UniqueName();
    PSingleInstance first(name);
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.IsHolder());
    EXPECT_TRUE(first.Acquire()) << "taking it again is harmless";
    int requests = 0;
    QObject::connect(&first, &PSingleInstance::ShowRequested, [&] { ++requests; });

    // The second start runs beside the first's event loop, as another process would.
    std::atomic<int> result{-1};
    std::atomic<bool> confirmed{false};
    std::thread second([&] {
        PSingleInstance other(name);
        result = other.Acquire(2000) ? 1 : 0;
        confirmed = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return confirmed.load(); }));
    second.join();
    EXPECT_EQ(result.load(), 0) << "the second start must not become an instance";
    EXPECT_EQ(requests, 1);

    // The name is free again once the holder is gone.
    {
        PSingleInstance gone(name + "b");
        ASSERT_TRUE(gone.Acquire());
    }
    PSingleInstance after(name + "b");
    EXPECT_TRUE(after.Acquire());
}

TEST(SingleInstance, StaleServerNameIsTakenOver) {
    const QString name = UniqueName();
    // What a crashed holder leaves: a server name nobody listens on.
    const QString socketPath = QDir::tempPath() + "/" + name;
    {
        QFile stale(socketPath);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    PSingleInstance next(name);
    ASSERT_TRUE(next.Acquire());
    int requests = 0;
    QObject::connect(&next, &PSingleInstance::ShowRequested, [&] { ++requests; });
    std::atomic<bool> done{false};
    std::atomic<bool> ok{false};
    std::thread asker([&] {
        PSingleInstance other(name);
        ok = other.AskToShow(2000);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    asker.join();
    EXPECT_TRUE(ok.load());
    EXPECT_EQ(requests, 1);
}

TEST(SingleInstance, NobodyToAskGivesUpInTime) {
    PSingleInstance lonely(UniqueName());
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(lonely.AskToShow(200));
    EXPECT_LT(t.elapsed(), 1500);
    EXPECT_TRUE(PSingleInstance::DefaultName().startsWith("Velmora"));
}
