// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"
#include "SessionSinkUnit.h"
#include "SessionsUnit.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>

struct TJournalOptions {
    std::string FileName;
    std::string AppVersion;
    TJournalRetention Retention;
    std::chrono::milliseconds RetryInterval{10000};
    // Commits come at most this often, so a reading is on the disk within
    // about a quarter of a second, and at most as late as a busy lock allows.
    std::chrono::milliseconds CommitInterval{250};
    int BusyTimeoutMs = 2000;
    // About five minutes at the full line rate.
    std::size_t QueueCapacity = 65536;
};

// Keeps sessions in the journal on a thread of its own. Others post items
// into a bounded queue and never wait for the disk; the thread writes what
// has gathered in one transaction at most every CommitInterval.
//
// A journal that cannot be written (no folder, full disk, locked, damaged)
// is said once through Report and tried again every RetryInterval; what
// came meanwhile is held, up to a queue's worth of readings, and its return
// said with the number of readings it could not keep. A damaged file
// is moved aside and a new journal started. Report is called on the
// journal's thread.
class TJournalWriter final : public TSessionSink {
  public:
    using TReport = std::function<void(const std::string& Line)>;
    TJournalWriter(TJournalOptions AOptions, TReport AReport);
    // Writes what is still queued, then stops.
    ~TJournalWriter() override;
    TJournalWriter(const TJournalWriter&) = delete;
    TJournalWriter& operator=(const TJournalWriter&) = delete;

    // Any thread. A reading that finds the queue full is dropped, counted
    // and false returned, unless Wait asks to wait for room (a replay, which
    // may go at the journal's pace). Other items are always taken.
    bool Post(TJournalItem Item, bool Wait = false) override;
    // Waits until everything posted before has been written or given up.
    void Flush();
    // The session being recorded in the file, 0 when none.
    std::int64_t RecordingSession() const { return SessionRowShown.load(); }
    const std::string& FileName() const { return Options.FileName; }

  private:
    using TClock = std::chrono::steady_clock;
    void Run();
    void Write(std::deque<TJournalItem>& Batch);
    void Hold(std::deque<TJournalItem>& Batch);
    void Close();
    void WriteItems(const std::deque<TJournalItem>& Batch);
    bool EnsureOpen();
    void Open();
    void Fault(const std::exception& Failure);
    void MoveAside();
    void EnsureSessionRow();
    void Apply(const TJournalGap& Gap);
    void Apply(const TJournalReading& Reading);
    void Apply(const TJournalEvent& Event);
    void Apply(const TJournalSessionStart& Start);
    void Apply(const TJournalSessionEnd& End);
    void SaveSessionSummary();
    void KeepRetention();

    TJournalOptions Options;
    TReport Report;

    // Shared with the posting threads.
    mutable std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Room;
    std::condition_variable Written;
    std::deque<TJournalItem> Queue;
    std::uint64_t PostedCount = 0;
    std::uint64_t WrittenCount = 0;
    int FlushWanted = 0;
    bool Stopping = false;
    std::atomic<std::int64_t> SessionRowShown{0};

    // The journal's thread alone.
    std::unique_ptr<TSqliteDatabase> Db;
    // Prepared once per connection; goes before the connection does.
    std::unique_ptr<TSqliteStatement> InsertReading;
    bool Failing = false;
    std::int64_t NotKept = 0;
    std::deque<TJournalItem> Held;
    std::size_t HeldReadings = 0;
    TClock::time_point NextAttempt{};
    TClock::time_point NextRetention{};
    bool SessionOpen = false;
    TJournalSessionStart Session;
    std::optional<std::int64_t> SessionInterval;
    std::int64_t NextSeq = 0;
    std::int64_t SessionRow = 0;
    struct TSummary {
        std::int64_t Readings = 0;
        std::optional<std::int64_t> Lowest, Highest, LastUtcMs;
    } Pending;

    std::thread Thread;
};
