// The single-instance rule: a crashed holder's leftovers are taken over, and a lock in doubt
// or a live server keeps a second copy out.
#include "platform/PSingleInstance.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// A name of its own for each use (the lock files lie in the tests' own temporary folders).
QString UniqueName() {
    static int n = 0;
    return QString("VelmoraTest%1").arg(++n);
}

// Runs what a second process would do beside this thread's event loop; gives its result.
bool Beside(const std::function<bool()>& other) {
    std::atomic<int> result{-1};
    std::thread second([&] { result = other() ? 1 : 0; });
    QElapsedTimer t;
    t.start();
    while (result < 0 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    second.join();
    return result == 1;
}
} // namespace

// (A second start while the first runs is shown by the browsing window's hand-over test.)
TEST(SingleInstance, StaleOrFreedNamesAreTakenOverABlockedLockOrALiveServerMeanAnother) {
    QTemporaryDir runtime;
    ScopedEnv env("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString dir = PSingleInstance::RuntimeDir();
    ASSERT_EQ(dir, runtime.path());
    const QString stale = UniqueName(), freed = UniqueName(), blocked = UniqueName();
    auto listening = [&](const QString& name) {
        QLocalSocket probe;
        probe.connectToServer(dir + "/" + name);
        return probe.waitForConnected(1000);
    };
    {
        PSingleInstance gone(freed);
        ASSERT_TRUE(gone.Acquire() && gone.Acquire()) << "taking it again is harmless";
    }
    EXPECT_TRUE(PSingleInstance(freed).Acquire());
    WriteRaw(dir + "/" + stale, ""); // what a crashed holder leaves: a server nobody runs
    PSingleInstance next(stale);
    EXPECT_TRUE(next.Acquire() && listening(stale));
    ASSERT_TRUE(QDir().mkpath(dir + "/" + blocked + ".lock")); // cannot even be opened
    EXPECT_FALSE(PSingleInstance(blocked).Acquire(100));
    QDir().rmdir(dir + "/" + blocked + ".lock");
    // A copy that listens without holding the lock keeps its server.
    const QString name = UniqueName();
    QLocalServer live;
    live.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(live.listen(dir + "/" + name));
    EXPECT_FALSE(Beside([&] { return PSingleInstance(name).Acquire(300); }));
    EXPECT_TRUE(listening(name)) << "the live server's socket was removed";
}

TEST(SingleInstance, TheLockLivesInAPrivateFolderAndADoubtfulOneKeepsASecondCopyOut) {
    QTemporaryDir tmp;
    ScopedEnv tmpEnv("TMPDIR", tmp.path().toUtf8());
    const QString ownSub = "/velmora-" + QString::number(::getuid()), own = tmp.path() + ownSub;
    // label, folder made, its mode, whether it is the runtime folder, the lock's folder
    const std::tuple<const char*, QString, mode_t, bool, QString> cases[] = {
        {"the runtime folder", "/run", 0700, true, tmp.path() + "/run"},
        {"no runtime folder", "", 0, false, own},
        {"a runtime folder others may enter", "/open", 0755, true, own},
        {"a private folder others may enter", ownSub, 0777, false, ""},
    };
    for (const auto& [label, sub, mode, runtime, expected] : cases) {
        SCOPED_TRACE(label);
        QDir().mkpath(tmp.path() + sub);
        ::chmod(QFile::encodeName(tmp.path() + sub).constData(), mode ? mode : 0700);
        ScopedEnv env("XDG_RUNTIME_DIR", QFile::encodeName(tmp.path() + sub));
        if (!runtime)
            qunsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(PSingleInstance::RuntimeDir(), expected);
        PSingleInstance instance(UniqueName());
        EXPECT_EQ(instance.Acquire(100), !expected.isEmpty());
        EXPECT_TRUE(expected.isEmpty() ||
                    QFileInfo::exists(expected + "/" + instance.Name() + ".lock"));
    }
    EXPECT_TRUE(QDir(tmp.path()).entryList({"*.lock"}, QDir::Files).isEmpty())
        << "nothing in the shared temporary folder";
}
