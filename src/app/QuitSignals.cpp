#include "app/QuitSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quendle2 {

namespace {

// The handler may only write to a descriptor; the event loop reads it and quits on the main thread.
int pipeEnds[2] = {-1, -1};
constexpr std::array<int, 3> quitSignals{SIGTERM, SIGINT, SIGHUP};

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0) {
        return;
    }
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);
    struct sigaction action = {};
    action.sa_handler = &QuitSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : quitSignals) {
        ::sigaction(number, &action, nullptr);
    }
}

QuitSignals::~QuitSignals() {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : quitSignals) {
        ::sigaction(number, &action, nullptr);
    }
    for (int& end : pipeEnds) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
}

void QuitSignals::handle(int signalNumber) {
    // The interrupted code may be about to read errno; write() must not change it under its feet.
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(pipeEnds[0], &byte, 1);
    errno = savedErrno;
}

void QuitSignals::drain() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipeEnds[1], &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0) {
        Q_EMIT quitRequested(last);
    }
}

} // namespace quendle2
