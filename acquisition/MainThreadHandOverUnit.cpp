// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainThreadHandOverUnit.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The main thread watches for the worker's next call about as long as the
// worker takes to decode a record; the worker waits for its call to be
// served about as long as a sleeping main thread takes to wake. Both are
// far shorter than a screen frame.
constexpr auto WatchLimit = std::chrono::microseconds(10);
constexpr auto WaitLimit = std::chrono::microseconds(20);
constexpr auto BurstBudget = std::chrono::milliseconds(4);

template <typename Predicate> bool SpinUntil(Predicate Ready, Clock::duration Limit) {
    const auto Deadline = Clock::now() + Limit;
    while (!Ready()) {
        if (Clock::now() >= Deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

TMainThreadHandOver::TMainThreadHandOver(QObject* AContext) : Context(AContext) {}

void TMainThreadHandOver::Synchronize(const std::function<void()>& Call) {
    if (QThread::currentThread() == Context->thread()) {
        Call();
        return;
    }
    Failure = nullptr;
    Done = false;
    {
        // Under the lock so that a main thread about to sleep in
        // ServeUntilFinished cannot miss the call.
        std::lock_guard Guard(Lock);
        Pending = &Call;
    }
    Changed.notify_all();
    // A main thread still watching for calls takes this one without a
    // wake-up. Otherwise it is woken through its event queue; a wake-up
    // whose call has been served by then finds nothing. Pending is set
    // before Watching is read, and the main thread clears Watching before
    // it looks at Pending one last time, so one of the two sees the call.
    if (!Watching.load())
        QMetaObject::invokeMethod(
            Context, [this] { ServePending(); }, Qt::QueuedConnection);

    if (!SpinUntil([this] { return Done.load(); }, WaitLimit)) {
        std::unique_lock Guard(Lock);
        Changed.wait(Guard, [this] { return Done.load(); });
    }
    if (Failure)
        std::rethrow_exception(std::exchange(Failure, nullptr));
}

void TMainThreadHandOver::MarkFinished() {
    // Notified under the lock: the main thread may free this object as soon
    // as it sees Finished.
    std::lock_guard Guard(Lock);
    Finished = true;
    Changed.notify_all();
}

bool TMainThreadHandOver::RunOne() {
    // Null when a wake-up arrives for a call that was already served.
    const std::function<void()>* const Call = Pending.exchange(nullptr);
    if (Call == nullptr)
        return false;
    std::exception_ptr Raised;
    try {
        (*Call)();
    } catch (...) {
        Raised = std::current_exception();
    }
    Failure = Raised;
    {
        std::lock_guard Guard(Lock);
        Done = true;
    }
    Changed.notify_all();
    return true;
}

void TMainThreadHandOver::ServePending() {
    const auto BurstEnd = Clock::now() + BurstBudget;
    while (RunOne()) {
        if (Clock::now() >= BurstEnd)
            return;
        Watching = true;
        SpinUntil([this] { return Pending.load() != nullptr || Finished.load(); }, WatchLimit);
        Watching = false;
        // A call made just as the watch ended has posted no wake-up: the
        // loop serves it now.
    }
}

void TMainThreadHandOver::ServeUntilFinished() {
    for (;;) {
        {
            std::unique_lock Guard(Lock);
            Changed.wait(Guard, [this] { return Pending.load() != nullptr || Finished.load(); });
        }
        if (!RunOne() && Finished)
            return;
    }
}
