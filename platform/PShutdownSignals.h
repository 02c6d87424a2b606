#pragma once
// The signals that ask a desktop program to end (SIGTERM at log-out and shut-down, SIGINT
// from a terminal, SIGHUP when the terminal goes) end Velmora the clean way. The handler
// only writes the signal's number into a pipe; a socket notifier reads it on the window
// thread and emits Requested, so all of the ending runs there, as for a closed window. A
// second signal while the first is being handled ends the process at once, as it would
// without this.
#include <QObject>

class QSocketNotifier;

class PShutdownSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object at a time.
    explicit PShutdownSignals(QObject* parent = nullptr);
    // Puts the default handling back.
    ~PShutdownSignals() override;

signals:
    // A shutdown signal arrived (window thread).
    void Requested(int signal);

private:
    void Drain();

    QSocketNotifier* FNotifier = nullptr;
};
