// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "JournalWriterUnit.h"

#include "JournalSchemaUnit.h"

#include <QFile>
#include <algorithm>
#include <unistd.h>

namespace {

constexpr auto RetentionInterval = std::chrono::hours(1);

// One more reading that could not be kept, counted where it stood, so the
// session's numbering shows the gap.
void CountNotKept(std::deque<TJournalItem>& Items) {
    if (auto* Gap = Items.empty() ? nullptr : std::get_if<TJournalGap>(&Items.back()))
        ++Gap->Readings;
    else
        Items.push_back(TJournalGap{1});
}

} // namespace

TJournalWriter::TJournalWriter(TJournalOptions AOptions, TReport AReport)
    : Options(std::move(AOptions)), Report(std::move(AReport)) {
    Thread = std::thread([this] { Run(); });
}

TJournalWriter::~TJournalWriter() {
    {
        std::lock_guard Guard(Lock);
        Stopping = true;
    }
    Wake.notify_all();
    Room.notify_all();
    Thread.join();
}

bool TJournalWriter::Post(TJournalItem Item, bool Wait) {
    std::unique_lock Guard(Lock);
    if (Queue.size() >= Options.QueueCapacity && std::holds_alternative<TJournalReading>(Item)) {
        if (!Wait) {
            CountNotKept(Queue);
            return false;
        }
        Wake.notify_one();
        Room.wait(Guard, [this] { return Queue.size() < Options.QueueCapacity || Stopping; });
    }
    Queue.push_back(std::move(Item));
    ++PostedCount;
    if (Queue.size() == 1 || Queue.size() >= Options.QueueCapacity / 2)
        Wake.notify_one();
    return true;
}

void TJournalWriter::Flush() {
    std::unique_lock Guard(Lock);
    const std::uint64_t Target = PostedCount;
    ++FlushWanted;
    Wake.notify_one();
    Written.wait(Guard, [&] { return WrittenCount >= Target; });
    --FlushWanted;
}

void TJournalWriter::Run() {
    // At once, so that sessions a crash left open are ended at the start.
    EnsureOpen();
    std::unique_lock Guard(Lock);
    auto LastCommit = TClock::now() - Options.CommitInterval;
    std::deque<TJournalItem> Batch;
    for (;;) {
        // Gather for a commit interval unless asked to hurry.
        Wake.wait_until(Guard, LastCommit + Options.CommitInterval, [this] {
            return Stopping || Queue.size() >= Options.QueueCapacity / 2 || (FlushWanted > 0 && !Queue.empty());
        });
        if (Queue.empty()) {
            if (Stopping)
                break;
            // Nothing new: a failed journal is still tried again when its
            // time comes, so that what it holds is written and its return told.
            const bool Idle =
                !Wake.wait_for(Guard, Options.RetryInterval, [this] { return Stopping || !Queue.empty(); });
            if (Idle && Failing) {
                Guard.unlock();
                Write(Batch);
                Guard.lock();
            }
            continue;
        }
        Batch.swap(Queue);
        const std::uint64_t Upto = PostedCount;
        Room.notify_all();
        Guard.unlock();
        Write(Batch);
        Batch.clear();
        LastCommit = TClock::now();
        Guard.lock();
        WrittenCount = Upto;
        Written.notify_all();
    }
}

void TJournalWriter::Hold(std::deque<TJournalItem>& Batch) {
    for (TJournalItem& Item : Batch) {
        if (std::holds_alternative<TJournalReading>(Item) && HeldReadings >= Options.QueueCapacity) {
            CountNotKept(Held);
            continue;
        }
        HeldReadings += std::holds_alternative<TJournalReading>(Item) ? 1 : 0;
        Held.push_back(std::move(Item));
    }
}

// What cannot be written yet is held, up to a queue's worth of readings,
// and written when the journal returns; beyond that readings are counted.
void TJournalWriter::Write(std::deque<TJournalItem>& Batch) {
    Hold(Batch);
    if (!EnsureOpen())
        return;
    try {
        WriteItems(Held);
        Held.clear();
        HeldReadings = 0;
    } catch (const std::exception& Failure) {
        Fault(Failure);
    }
    SessionRowShown = SessionRow;
    if (Db && TClock::now() >= NextRetention) {
        try {
            KeepRetention();
        } catch (const std::exception& Failure) {
            Fault(Failure);
        }
    }
}

void TJournalWriter::WriteItems(const std::deque<TJournalItem>& Batch) {
    // Rolled back whole on failure, and what it changed in memory undone,
    // so that the same items can be written again.
    const auto SavedOpen = SessionOpen;
    const auto SavedSession = Session;
    const auto SavedInterval = SessionInterval;
    const auto SavedSeq = NextSeq;
    const auto SavedRow = SessionRow;
    const auto SavedNotKept = NotKept;
    try {
        TSqliteTransaction Transaction(*Db);
        for (const TJournalItem& Item : Batch)
            std::visit([this](const auto& Each) { Apply(Each); }, Item);
        SaveSessionSummary();
        if (NotKept > 0 && SessionOpen)
            Apply(TJournalEvent{UtcNowMs(), "journal", NotKeptText(NotKept), {}});
        Transaction.Commit();
    } catch (...) {
        SessionOpen = SavedOpen, Session = SavedSession, SessionInterval = SavedInterval;
        NextSeq = SavedSeq, SessionRow = SavedRow, NotKept = SavedNotKept, Pending = {};
        throw;
    }
    if (std::exchange(Failing, false))
        Report(ResumedText("Session journal", NotKept));
    else if (NotKept > 0)
        Report("Session journal fell behind; " + NotKeptText(NotKept));
    NotKept = 0;
}

bool TJournalWriter::EnsureOpen() {
    if (Db)
        return true;
    if (Failing && TClock::now() < NextAttempt)
        return false;
    try {
        Open();
        return true;
    } catch (const std::exception& Failure) {
        Fault(Failure);
        return false;
    }
}

void TJournalWriter::Open() {
    try {
        Db = OpenJournal(Options.FileName, Options.BusyTimeoutMs);
    } catch (const ESqliteError& Failure) {
        if (!Failure.Corrupt())
            throw;
        Close();
        MoveAside();
        Db = OpenJournal(Options.FileName, Options.BusyTimeoutMs);
    }
    for (const std::string& Line : RecoverInterruptedSessions(*Db, getpid(), SessionRow))
        Report(Line);
    // The session's row went with a failed commit or a damaged file.
    if (SessionRow != 0 && !SessionRowExists(*Db, SessionRow))
        SessionRow = 0;
    KeepRetention();
}

void TJournalWriter::Fault(const std::exception& Failure) {
    Close();
    const auto* Sqlite = dynamic_cast<const ESqliteError*>(&Failure);
    if (Sqlite != nullptr && Sqlite->Corrupt()) {
        // Moved aside now; the next batch starts a new file at once.
        try {
            MoveAside();
            return;
        } catch (const std::exception& Moving) {
            return Fault(Moving);
        }
    }
    NextAttempt = TClock::now() + Options.RetryInterval;
    if (std::exchange(Failing, true))
        return;
    const auto Seconds = std::chrono::duration_cast<std::chrono::seconds>(Options.RetryInterval).count();
    Report("Session journal " + Options.FileName + " cannot be written: " + FailureMessage(Failure) +
           ". Readings are still shown; trying again every " + std::to_string(std::max<long long>(Seconds, 1)) + " s");
}

void TJournalWriter::Close() {
    InsertReading.reset();
    Db.reset();
}

void TJournalWriter::MoveAside() {
    const std::string Aside = Options.FileName + ".corrupt-" + IsoUtc(UtcNowMs());
    const QString From = QString::fromStdString(Options.FileName);
    if (!QFile::rename(From, QString::fromStdString(Aside)))
        throw EPackMonException("Session journal " + Options.FileName + " is damaged and cannot be moved aside");
    // The log belongs to the damaged file; a new journal must not take it.
    QFile::rename(From + QStringLiteral("-wal"), QString::fromStdString(Aside + "-wal"));
    QFile::remove(From + QStringLiteral("-shm"));
    SessionRow = 0;
    Report("Session journal " + Options.FileName + " was damaged; it was moved aside to " + Aside +
           " and a new journal started");
}

void TJournalWriter::EnsureSessionRow() {
    if (SessionRow != 0 || !SessionOpen)
        return;
    TSqliteStatement Insert(*Db, "INSERT INTO sessions(started_utc, source, device, interval_ms, app_version, pid,"
                                 " started_utc_ms) VALUES(?, ?, ?, ?, ?, ?, ?)");
    Insert.Bind(1, IsoUtc(Session.UtcMs)).Bind(2, Session.Source).Bind(3, Session.Device);
    Insert.Bind(4, SessionInterval).Bind(5, Options.AppVersion).Bind(6, static_cast<std::int64_t>(getpid()));
    Insert.Bind(7, Session.UtcMs);
    Insert.Run();
    SessionRow = Db->LastInsertId();
}

void TJournalWriter::Apply(const TJournalGap& Gap) {
    NextSeq += Gap.Readings;
    NotKept += Gap.Readings;
}

void TJournalWriter::Apply(const TJournalReading& Reading) {
    const std::int64_t Seq = NextSeq++;
    if (!SessionOpen)
        return;
    EnsureSessionRow();
    if (!InsertReading)
        InsertReading = std::make_unique<TSqliteStatement>(
            *Db, "INSERT INTO reading_rows VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    TSqliteStatement& Statement = *InsertReading;
    Statement.Bind(1, FirstReadingKey(SessionRow) | Seq).Bind(2, Reading.ReceivedUtcMs - Session.UtcMs);
    Statement.Bind(3, Reading.ElapsedMs);
    for (int Value = 0; Value <= CellCount; ++Value)
        Statement.Bind(4 + Value, static_cast<std::int64_t>(Reading.Millivolts[Value]));
    Statement.Run();
    ++Pending.Readings;
    Pending.LastUtcMs = Reading.ReceivedUtcMs;
    for (int Cell = 1; Cell <= CellCount; ++Cell) {
        const std::int64_t Mv = Reading.Millivolts[Cell];
        if (Mv <= 0)
            continue;
        Pending.Lowest = std::min(Pending.Lowest.value_or(Mv), Mv);
        Pending.Highest = std::max(Pending.Highest.value_or(Mv), Mv);
    }
}

void TJournalWriter::Apply(const TJournalEvent& Event) {
    if (Event.IntervalMs)
        SessionInterval = Event.IntervalMs;
    EnsureSessionRow();
    TSqliteStatement Insert(*Db, "INSERT INTO events(session, utc, kind, text) VALUES(?, ?, ?, ?)");
    if (SessionRow != 0)
        Insert.Bind(1, SessionRow);
    Insert.Bind(2, IsoUtc(Event.UtcMs)).Bind(3, Event.Kind).Bind(4, Event.Text).Run();
    if (SessionRow != 0) {
        Pending.LastUtcMs = std::max(Pending.LastUtcMs.value_or(Event.UtcMs), Event.UtcMs);
        if (Event.IntervalMs)
            TSqliteStatement(*Db, "UPDATE sessions SET interval_ms = ? WHERE id = ?")
                .Bind(1, *Event.IntervalMs)
                .Bind(2, SessionRow)
                .Run();
    }
}

void TJournalWriter::Apply(const TJournalSessionStart& Start) {
    if (SessionOpen)
        Apply(TJournalSessionEnd{Start.UtcMs, "closed"});
    SessionOpen = true;
    Session = Start;
    SessionInterval.reset();
    NextSeq = 0;
    SessionRow = 0;
    EnsureSessionRow();
}

void TJournalWriter::Apply(const TJournalSessionEnd& End) {
    if (!SessionOpen)
        return;
    EnsureSessionRow();
    SaveSessionSummary();
    TSqliteStatement(*Db, "UPDATE sessions SET ended_utc = ?, end_reason = ?, last_utc_ms = ? WHERE id = ?")
        .Bind(1, IsoUtc(End.UtcMs))
        .Bind(2, End.Reason)
        .Bind(3, End.UtcMs)
        .Bind(4, SessionRow)
        .Run();
    SessionOpen = false;
    SessionRow = 0;
}

void TJournalWriter::SaveSessionSummary() {
    const TSummary Summary = std::exchange(Pending, {});
    if (SessionRow == 0 || (Summary.Readings == 0 && !Summary.LastUtcMs))
        return;
    TSqliteStatement(*Db, "UPDATE sessions SET readings = readings + ?1,"
                          " lowest_cell_mv = min(coalesce(lowest_cell_mv, ?2), coalesce(?2, lowest_cell_mv)),"
                          " highest_cell_mv = max(coalesce(highest_cell_mv, ?3), coalesce(?3, highest_cell_mv)),"
                          " last_utc_ms = max(coalesce(last_utc_ms, ?4), coalesce(?4, last_utc_ms)) WHERE id = ?5")
        .Bind(1, Summary.Readings)
        .Bind(2, Summary.Lowest)
        .Bind(3, Summary.Highest)
        .Bind(4, Summary.LastUtcMs)
        .Bind(5, SessionRow)
        .Run();
}

void TJournalWriter::KeepRetention() {
    NextRetention = TClock::now() + RetentionInterval;
    ApplyRetention(*Db, Options.Retention, SessionRow);
}
