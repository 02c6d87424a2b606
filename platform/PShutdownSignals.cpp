#include "PShutdownSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int Signals[] = {SIGTERM, SIGINT, SIGHUP};
int GPipe[2] = {-1, -1};
volatile sig_atomic_t GReceived = 0;

void OnSignal(int signal) {
    if (GReceived) {
        // Asked twice: the clean way is taking too long.
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigaction(signal, &dfl, nullptr);
        raise(signal);
        return;
    }
    GReceived = 1;
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = write(GPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

PShutdownSignals::PShutdownSignals(QObject* parent) : QObject(parent) {
    if (pipe2(GPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    GReceived = 0;
    FNotifier = new QSocketNotifier(GPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &PShutdownSignals::Drain);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : Signals)
        sigaction(s, &sa, nullptr);
}

PShutdownSignals::~PShutdownSignals() {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int s : Signals)
        sigaction(s, &dfl, nullptr);
    delete FNotifier;
    for (int& fd : GPipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void PShutdownSignals::Drain() {
    unsigned char byte = 0;
    int last = 0;
    while (read(GPipe[0], &byte, 1) == 1)
        last = byte;
    if (last)
        emit Requested(last);
}
