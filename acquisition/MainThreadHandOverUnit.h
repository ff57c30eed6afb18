// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

class QObject;

// A worker thread's blocking call into the main thread. The worker queues
// the call, wakes the main thread through Qt's event queue and waits until
// the call has run there; a failure raised by the call is raised again in
// the worker.
//
// The main thread normally serves calls from its event loop. While it waits
// for the worker to end (ServeUntilFinished) it serves them directly, so a
// worker blocked in a hand-over always finishes, and nothing else gets a
// chance to run inside that wait.
//
// Waking a sleeping thread on another core costs tens of microseconds on a
// virtual machine, and a replay hands over hundreds of records back to back.
// So both sides wait a few microseconds before going to sleep: the worker
// for its call to finish, the main thread for the worker's next call, which
// it then serves at once, for at most BurstBudget before it returns to its
// event loop.
class TMainThreadHandOver {
  public:
    // Wake-ups are posted to Context, which lives in the main thread; when
    // Context is destroyed Qt drops any wake-up still queued for it.
    explicit TMainThreadHandOver(QObject* AContext);
    TMainThreadHandOver(const TMainThreadHandOver&) = delete;
    TMainThreadHandOver& operator=(const TMainThreadHandOver&) = delete;

    // Worker side.
    void Synchronize(const std::function<void()>& Call);
    void MarkFinished();

    // Main-thread side.
    void ServePending();
    void ServeUntilFinished();

  private:
    bool RunOne();

    QObject* Context;
    std::mutex Lock;
    std::condition_variable Changed;
    std::atomic<const std::function<void()>*> Pending{nullptr};
    std::atomic<bool> Done{false};
    std::atomic<bool> Finished{false};
    std::atomic<bool> Watching{false}; // the main thread is looking for the next call
    std::exception_ptr Failure;        // written before Done is set, read after
};
