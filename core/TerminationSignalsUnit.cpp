// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminationSignalsUnit.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only do async-signal-safe work: it writes one byte into
// a socket whose other end the main thread's event loop watches.
int SignalSocket[2] = {-1, -1};
constexpr std::array<int, 3> HandledSignals = {SIGTERM, SIGINT, SIGHUP};
struct sigaction PreviousActions[HandledSignals.size()];

extern "C" void OnTerminationSignal(int) {
    const int SavedErrno = errno;
    const char Byte = 1;
    [[maybe_unused]] const ssize_t Ignored = ::write(SignalSocket[0], &Byte, 1);
    errno = SavedErrno;
}

} // namespace

TTerminationSignals::TTerminationSignals(std::function<void()> AOnSignal) : OnSignal(std::move(AOnSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, SignalSocket) != 0)
        throw std::runtime_error("cannot create the signal socket");
    Notifier = std::make_unique<QSocketNotifier>(SignalSocket[1], QSocketNotifier::Read);
    QObject::connect(Notifier.get(), &QSocketNotifier::activated, this, [this] {
        char Bytes[16];
        while (::read(SignalSocket[1], Bytes, sizeof Bytes) > 0) {
        }
        OnSignal();
    });
    struct sigaction Action = {};
    Action.sa_handler = OnTerminationSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (std::size_t I = 0; I < HandledSignals.size(); ++I)
        ::sigaction(HandledSignals[I], &Action, &PreviousActions[I]);
}

TTerminationSignals::~TTerminationSignals() {
    for (std::size_t I = 0; I < HandledSignals.size(); ++I)
        ::sigaction(HandledSignals[I], &PreviousActions[I], nullptr);
    Notifier.reset();
    ::close(SignalSocket[0]);
    ::close(SignalSocket[1]);
    SignalSocket[0] = SignalSocket[1] = -1;
}
