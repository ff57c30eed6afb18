// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainThreadHandOverUnit.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

TMainThreadHandOver::TMainThreadHandOver(QObject* AContext) : Context(AContext) {}

void TMainThreadHandOver::Synchronize(const std::function<void()>& Call) {
    if (QThread::currentThread() == Context->thread()) {
        Call();
        return;
    }
    {
        std::lock_guard Guard(Lock);
        Pending = &Call;
        Done = false;
        Failure = nullptr;
    }
    Changed.notify_all();
    QMetaObject::invokeMethod(Context, [this] { ServePending(); }, Qt::QueuedConnection);

    std::exception_ptr Raised;
    {
        std::unique_lock Guard(Lock);
        Changed.wait(Guard, [this] { return Done; });
        Raised = std::exchange(Failure, nullptr);
    }
    if (Raised)
        std::rethrow_exception(Raised);
}

void TMainThreadHandOver::MarkFinished() {
    {
        std::lock_guard Guard(Lock);
        Finished = true;
    }
    Changed.notify_all();
}

void TMainThreadHandOver::ServePending() {
    const std::function<void()>* Call = nullptr;
    {
        std::lock_guard Guard(Lock);
        Call = std::exchange(Pending, nullptr);
    }
    // Already served by ServeUntilFinished, or a wake-up for a call that a
    // nested event loop inside an earlier call has run.
    if (Call == nullptr)
        return;

    std::exception_ptr Raised;
    try {
        (*Call)();
    } catch (...) {
        Raised = std::current_exception();
    }
    {
        std::lock_guard Guard(Lock);
        Failure = Raised;
        Done = true;
    }
    Changed.notify_all();
}

void TMainThreadHandOver::ServeUntilFinished() {
    for (;;) {
        {
            std::unique_lock Guard(Lock);
            Changed.wait(Guard, [this] { return Pending != nullptr || Finished; });
            if (Pending == nullptr)
                return;
        }
        ServePending();
    }
}
