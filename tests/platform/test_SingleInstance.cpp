#include "platform/PSingleInstance.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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
    const QString dir = PSingleInstance::RuntimeDir();
    cleanup.Files << dir + "/" + name + ".lock" << dir + "/" + name + "b.lock";
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
    const QString socketPath = PSingleInstance::RuntimeDir() + "/" + name;
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

TEST(SingleInstance, TheLockLivesInAPrivateFolderAndADoubtfulOneKeepsASecondCopyOut) {
    QTemporaryDir tmp;
    ScopedEnv tmpEnv("TMPDIR", tmp.path().toUtf8());
    const QString own = tmp.path() + "/velmora-" + QString::number(::getuid());
    struct TCase {
        const char* Name;
        std::function<QByteArray()> Runtime; // XDG_RUNTIME_DIR
        QString Expected;                    // the folder used; empty: none
    };
    const TCase cases[] = {
        {"the runtime folder",
         [&] {
             QDir().mkpath(tmp.path() + "/run");
             ::chmod(QFile::encodeName(tmp.path() + "/run").constData(), 0700);
             return QFile::encodeName(tmp.path() + "/run");
         },
         tmp.path() + "/run"},
        {"no runtime folder", [] { return QByteArray(); }, own},
        {"a runtime folder others may enter",
         [&] {
             QDir().mkpath(tmp.path() + "/open");
             ::chmod(QFile::encodeName(tmp.path() + "/open").constData(), 0755);
             return QFile::encodeName(tmp.path() + "/open");
         },
         own},
        {"a private folder others may enter",
         [&] {
             ::chmod(QFile::encodeName(own).constData(), 0777);
             return QByteArray();
         },
         QString()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray runtime = c.Runtime();
        ScopedEnv env("XDG_RUNTIME_DIR", runtime);
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(PSingleInstance::RuntimeDir(), c.Expected);
        PSingleInstance instance(UniqueName());
        EXPECT_EQ(instance.Acquire(100), !c.Expected.isEmpty());
        if (!c.Expected.isEmpty()) {
            EXPECT_TRUE(QFileInfo::exists(c.Expected + "/" + instance.Name() + ".lock"));
        }
    }
    EXPECT_TRUE(QDir(tmp.path()).entryList({"*.lock"}, QDir::Files).isEmpty())
        << "nothing in the shared temporary folder";
}

TEST(SingleInstance, ALockThatCannotBeTakenOrALiveServerMeansAnotherCopy) {
    const QString dir = PSingleInstance::RuntimeDir();
    ASSERT_FALSE(dir.isEmpty());

    // The lock cannot even be opened.
    const QString blocked = UniqueName();
    ASSERT_TRUE(QDir().mkpath(dir + "/" + blocked + ".lock"));
    {
        PSingleInstance second(blocked);
        EXPECT_FALSE(second.Acquire(100));
        EXPECT_FALSE(second.IsHolder());
    }
    QDir().rmdir(dir + "/" + blocked + ".lock");

    // A copy that listens without holding the lock keeps its server.
    const QString name = UniqueName();
    QLocalServer live;
    live.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(live.listen(dir + "/" + name));
    std::atomic<int> result{-1};
    std::thread second([&] {
        PSingleInstance other(name);
        result = other.Acquire(300) ? 1 : 0;
    });
    EXPECT_TRUE(PumpUntil([&] { return result.load() >= 0; }));
    second.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_TRUE(live.isListening());
    QLocalSocket probe;
    probe.connectToServer(dir + "/" + name);
    EXPECT_TRUE(probe.waitForConnected(1000)) << "the live server's socket was removed";
}
