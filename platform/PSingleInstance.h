#pragma once
// One running copy per user. The first process takes an exclusive lock (released by the
// system however the process ends) and listens on a local server; a later start finds the
// lock taken, connects, asks the first to show its main window (handing over the folder or
// picture it was started with, if any), and ends. A server name left behind by a crash is
// removed and taken over by the next holder of the lock; a server that still answers is never
// removed. A lock that cannot be taken at all counts as taken by another copy. Lock and
// server live in the user's runtime folder (see RuntimeDir).
#include <QObject>
#include <QString>

class QLocalServer;

class PSingleInstance : public QObject {
    Q_OBJECT
public:
    // "Velmora" followed by the user id.
    static QString DefaultName();

    // $XDG_RUNTIME_DIR when it is a folder only this user may enter, else a private
    // per-user folder under the temporary folder (created 0700); empty when neither is fit.
    static QString RuntimeDir();

    explicit PSingleInstance(const QString& name = DefaultName(), QObject* parent = nullptr);
    ~PSingleInstance() override;

    // True when this process is now the one instance. False when another holds the name;
    // that one has then been asked (for up to timeoutMs) to bring its window forward.
    bool Acquire(int timeoutMs = 1000);
    bool IsHolder() const { return FLockFd >= 0; }
    const QString& Name() const { return FName; }

    // Asks the holder to show its window; true when it confirmed within the time.
    bool AskToShow(int timeoutMs);
    // The absolute folder or picture path that AskToShow hands over (empty: none).
    void SetHandOver(const QString& target) { FHandOver = target; }

signals:
    // Another start asked this instance to show, restore and raise its main window, and to
    // open target when it is not empty.
    void ShowRequested(const QString& target);

private:
    void Serve();

    QString FName;
    QString FHandOver;
    QString FLockPath, FServerName; // empty without a fit runtime folder
    int FLockFd = -1;
    QLocalServer* FServer = nullptr;
};
