// The single-instance rule: a second start asks the first to show and ends, a crashed
// holder's leftovers are taken over, and a lock in doubt keeps a second copy out.
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
// A name of its own for each use; its lock files go when the program ends.
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
    cleanup.Files << PSingleInstance::RuntimeDir() + "/" + name + ".lock";
    return name;
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
TEST(SingleInstance, AFreedOrStaleNameIsTakenOverAndNobodyToAskIsNoWait) {
    // What a crashed holder leaves: a server name nobody listens on; and once a holder is
    // gone the name is free again.
    const QString stale = UniqueName(), freed = UniqueName();
    {
        PSingleInstance gone(freed);
        ASSERT_TRUE(gone.Acquire());
        EXPECT_TRUE(gone.Acquire()) << "taking it again is harmless";
    }
    EXPECT_TRUE(PSingleInstance(freed).Acquire());
    WriteRaw(PSingleInstance::RuntimeDir() + "/" + stale, "");
    PSingleInstance next(stale);
    ASSERT_TRUE(next.Acquire());
    int requests = 0;
    QObject::connect(&next, &PSingleInstance::ShowRequested, [&] { ++requests; });
    EXPECT_TRUE(Beside([&] { return PSingleInstance(stale).AskToShow(2000); }));
    EXPECT_EQ(requests, 1);
    EXPECT_FALSE(PSingleInstance(UniqueName()).AskToShow(200)) << "nobody to ask";
}

TEST(SingleInstance, TheLockLivesInAPrivateFolderAndADoubtfulOneKeepsASecondCopyOut) {
    QTemporaryDir tmp;
    ScopedEnv tmpEnv("TMPDIR", tmp.path().toUtf8());
    const QString own = tmp.path() + "/velmora-" + QString::number(::getuid());
    auto folder = [&](const char* name, mode_t mode) {
        QDir().mkpath(tmp.path() + name);
        ::chmod(QFile::encodeName(tmp.path() + name).constData(), mode);
        return QFile::encodeName(tmp.path() + name);
    };
    const std::tuple<const char*, std::function<QByteArray()>, QString> cases[] = {
        {"the runtime folder", [&] { return folder("/run", 0700); }, tmp.path() + "/run"},
        {"no runtime folder", [] { return QByteArray(); }, own},
        {"a runtime folder others may enter", [&] { return folder("/open", 0755); }, own},
        {"a private folder others may enter",
         [&] {
             folder(own.mid(tmp.path().size()).toUtf8().constData(), 0777);
             return QByteArray();
         },
         QString()},
    };
    for (const auto& [label, runtime, expected] : cases) {
        SCOPED_TRACE(label);
        const QByteArray dir = runtime();
        ScopedEnv env("XDG_RUNTIME_DIR", dir);
        if (dir.isEmpty())
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

TEST(SingleInstance, ALockThatCannotBeTakenOrALiveServerMeansAnotherCopy) {
    const QString dir = PSingleInstance::RuntimeDir();
    ASSERT_FALSE(dir.isEmpty());
    const QString blocked = UniqueName(); // the lock cannot even be opened
    ASSERT_TRUE(QDir().mkpath(dir + "/" + blocked + ".lock"));
    EXPECT_FALSE(PSingleInstance(blocked).Acquire(100));
    QDir().rmdir(dir + "/" + blocked + ".lock");

    // A copy that listens without holding the lock keeps its server.
    const QString name = UniqueName();
    QLocalServer live;
    live.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(live.listen(dir + "/" + name));
    EXPECT_FALSE(Beside([&] { return PSingleInstance(name).Acquire(300); }));
    QLocalSocket probe;
    probe.connectToServer(dir + "/" + name);
    EXPECT_TRUE(probe.waitForConnected(1000)) << "the live server's socket was removed";
}
