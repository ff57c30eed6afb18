// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionsUnit.h"

#include "FileStreamUnit.h"
#include "JournalSchemaUnit.h"
#include "PackMonClockUnit.h"
#include "ReadingConsumerUnit.h"

#include <QDateTime>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

namespace {

constexpr const char* StartedMs = "started_utc_ms";

bool ProcessAlive(std::int64_t Pid) { return Pid > 0 && (::kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM); }

std::optional<std::int64_t> OptionalInteger(const TSqliteStatement& Row, int Column) {
    return Row.IsNull(Column) ? std::nullopt : std::optional(Row.Integer(Column));
}

std::string Volts(std::int32_t Millivolts) {
    char Text[24];
    std::snprintf(Text, sizeof Text, "%s%d.%03d", Millivolts < 0 ? "-" : "", std::abs(Millivolts) / 1000,
                  std::abs(Millivolts) % 1000);
    return Text;
}

std::string Seconds(std::int64_t Milliseconds) {
    char Text[32];
    std::snprintf(Text, sizeof Text, "%s%lld.%03lld", Milliseconds < 0 ? "-" : "",
                  static_cast<long long>(std::llabs(Milliseconds) / 1000),
                  static_cast<long long>(std::llabs(Milliseconds) % 1000));
    return Text;
}

// A note's text as one CSV field: quoted when it holds a comma, a quote or
// a line end.
std::string CsvText(const std::string& Text) {
    if (Text.find_first_of(",\"\r\n") == std::string::npos)
        return Text;
    std::string Quoted = "\"";
    for (char C : Text) {
        Quoted += C;
        if (C == '"')
            Quoted += '"';
    }
    return Quoted + '"';
}

struct TKeptNote {
    std::int64_t UtcMs;
    std::string Text;
};

std::vector<TKeptNote> KeptNotes(TSqliteDatabase& Db, std::int64_t Session) {
    TSqliteStatement Query(Db, "SELECT utc, text FROM events WHERE session = ? AND kind = 'note' ORDER BY rowid");
    Query.Bind(1, Session);
    std::vector<TKeptNote> Notes;
    while (Query.Step())
        Notes.push_back(
            {QDateTime::fromString(QString::fromStdString(Query.Text(0)), Qt::ISODateWithMs).toMSecsSinceEpoch(),
             Query.Text(1)});
    std::stable_sort(Notes.begin(), Notes.end(),
                     [](const TKeptNote& A, const TKeptNote& B) { return A.UtcMs < B.UtcMs; });
    return Notes;
}

} // namespace

std::vector<TSessionSummary> ListSessions(TSqliteDatabase& Db) {
    const std::string Sql = std::string("SELECT id, ") + StartedMs +
                            ", coalesce(last_utc_ms, 0), source, coalesce(end_reason, ''), readings,"
                            " lowest_cell_mv, highest_cell_mv FROM sessions ORDER BY id DESC";
    TSqliteStatement Query(Db, Sql.c_str());
    std::vector<TSessionSummary> Sessions;
    while (Query.Step()) {
        TSessionSummary Session;
        Session.Id = Query.Integer(0);
        Session.StartedUtcMs = Query.Integer(1);
        Session.DurationMs = std::max<std::int64_t>(Query.Integer(2) - Session.StartedUtcMs, 0);
        Session.Source = Query.Text(3);
        Session.EndReason = Query.Text(4);
        Session.Readings = Query.Integer(5);
        Session.LowestCellMv = OptionalInteger(Query, 6);
        Session.HighestCellMv = OptionalInteger(Query, 7);
        Sessions.push_back(std::move(Session));
    }
    return Sessions;
}

namespace {

template <typename Each> void ForEachReading(TSqliteDatabase& Db, std::int64_t Session, Each&& Take) {
    TSqliteStatement Start(Db, "SELECT started_utc_ms FROM sessions WHERE id = ?");
    Start.Bind(1, Session);
    const std::int64_t StartedUtcMs = Start.Step() ? Start.Integer(0) : 0;
    Start.Reset();
    TSqliteStatement Query(Db, "SELECT received_offset_ms + ?3, elapsed_ms, battery_mv, cell1_mv, cell2_mv, cell3_mv,"
                               " cell4_mv, cell5_mv, cell6_mv, cell7_mv, cell8_mv FROM reading_rows"
                               " WHERE key BETWEEN ?1 AND ?2 ORDER BY key");
    Query.Bind(1, FirstReadingKey(Session)).Bind(2, LastReadingKey(Session)).Bind(3, StartedUtcMs);
    TSessionReading Reading;
    while (Query.Step()) {
        Reading.ReceivedUtcMs = Query.Integer(0);
        Reading.ElapsedMs = Query.Integer(1);
        for (int Value = 0; Value <= CellCount; ++Value)
            Reading.Millivolts[Value] = static_cast<std::int32_t>(Query.Integer(2 + Value));
        Take(Reading);
    }
}

} // namespace

std::vector<TSessionReading> LoadSessionReadings(TSqliteDatabase& Db, std::int64_t Session) {
    std::vector<TSessionReading> Readings;
    ForEachReading(Db, Session, [&](const TSessionReading& Reading) { Readings.push_back(Reading); });
    return Readings;
}

std::vector<double> SessionRunTimes(const std::vector<TSessionReading>& Readings) {
    std::vector<double> Times;
    Times.reserve(Readings.size());
    std::int64_t Offset = 0;
    const TSessionReading* Previous = nullptr;
    for (const TSessionReading& Reading : Readings) {
        if (Previous != nullptr && Reading.ElapsedMs < Previous->ElapsedMs)
            Offset += Previous->ElapsedMs - Reading.ElapsedMs +
                      std::max<std::int64_t>(Reading.ReceivedUtcMs - Previous->ReceivedUtcMs, 0);
        Times.push_back(static_cast<double>(Offset + Reading.ElapsedMs) / (SecondsPerDay * 1000.0));
        Previous = &Reading;
    }
    return Times;
}

void ShowSessionReadings(TReadingConsumer& Consumer, const std::vector<TSessionReading>& Readings) {
    const std::vector<double> Times = SessionRunTimes(Readings);
    Consumer.ClearSeries();
    Consumer.SetBulkInProgress(true);
    TReadingRecord Record;
    Record.Kind = rkData;
    for (std::size_t I = 0; I < Readings.size(); ++I) {
        Record.Time = Times[I];
        Record.BatteryVolts = Readings[I].Millivolts[0] / 1000.0;
        for (int Cell = 0; Cell < CellCount; ++Cell)
            Record.CellVolts[Cell] = Readings[I].Millivolts[1 + Cell] / 1000.0;
        Consumer.Consume(Record);
    }
    Consumer.Series().ActivateSeriesWithData(true, TReadingConsumer::ActivationThreshold);
    Consumer.SetBulkInProgress(false);
}

TSessionView SessionViewOf(TSqliteDatabase& Db, std::int64_t Session, const std::vector<TSessionReading>& Readings) {
    TSessionView View;
    if (Readings.empty())
        return View;
    const TSessionReading& Last = Readings.back();
    const double LastRunTime = SessionRunTimes(Readings).back();
    View.ClockStart = LocalDateTimeOfUtc(Last.ReceivedUtcMs) - LastRunTime;
    for (const TKeptNote& Note : KeptNotes(Db, Session))
        View.Notes.push_back(
            {LastRunTime + static_cast<double>(Note.UtcMs - Last.ReceivedUtcMs) / (SecondsPerDay * 1000.0), Note.Text});
    return View;
}

void ExportSessionCsv(TSqliteDatabase& Db, std::int64_t Session, const QString& FileName) {
    TReplacingFile File(FileName, TReplacingFile::TMessages::SystemText);
    const std::vector<TKeptNote> Notes = KeptNotes(Db, Session);
    std::size_t NextNote = 0;
    // Each note goes with the first reading at or after it; one after the
    // last reading gets a row of its own.
    const auto NotesUpTo = [&](std::int64_t UtcMs) {
        std::string Field;
        for (; NextNote < Notes.size() && Notes[NextNote].UtcMs <= UtcMs; ++NextNote)
            Field += (Field.empty() ? "" : "; ") + Notes[NextNote].Text;
        return CsvText(Field);
    };
    std::string Text = "utc_time,elapsed_s,battery_V";
    for (int Cell = 1; Cell <= CellCount; ++Cell)
        Text += ",cell" + std::to_string(Cell) + "_V";
    Text += ",note\r\n";
    ForEachReading(Db, Session, [&](const TSessionReading& Reading) {
        Text += IsoUtc(Reading.ReceivedUtcMs);
        Text += ',';
        Text += Seconds(Reading.ElapsedMs);
        for (std::int32_t Millivolts : Reading.Millivolts) {
            Text += ',';
            Text += Volts(Millivolts);
        }
        Text += ',';
        Text += NotesUpTo(Reading.ReceivedUtcMs);
        Text += "\r\n";
        if (Text.size() >= 1 << 16) {
            File.Write(Text);
            Text.clear();
        }
    });
    for (; NextNote < Notes.size(); ++NextNote)
        Text += IsoUtc(Notes[NextNote].UtcMs) + std::string(2 + CellCount + 1, ',') + CsvText(Notes[NextNote].Text) +
                "\r\n";
    File.Write(Text);
    File.Commit();
}

void DeleteSession(TSqliteDatabase& Db, std::int64_t Session) {
    {
        TSqliteTransaction Transaction(Db);
        TSqliteStatement(Db, "DELETE FROM reading_rows WHERE key BETWEEN ? AND ?")
            .Bind(1, FirstReadingKey(Session))
            .Bind(2, LastReadingKey(Session))
            .Run();
        for (const char* Sql : {"DELETE FROM events WHERE session = ?", "DELETE FROM sessions WHERE id = ?"})
            TSqliteStatement(Db, Sql).Bind(1, Session).Run();
        Transaction.Commit();
    }
    Db.Execute("PRAGMA incremental_vacuum");
}

namespace {

std::int64_t UsedBytes(TSqliteDatabase& Db) {
    return (Db.QueryInteger("PRAGMA page_count") - Db.QueryInteger("PRAGMA freelist_count")) *
           Db.QueryInteger("PRAGMA page_size");
}

std::vector<std::int64_t> EndedSessionsOldestFirst(TSqliteDatabase& Db, std::int64_t Keep, std::int64_t BeforeMs) {
    TSqliteStatement Query(Db, "SELECT id FROM sessions WHERE ended_utc IS NOT NULL AND id <> ?"
                               " AND coalesce(last_utc_ms, 0) < ? ORDER BY id");
    Query.Bind(1, Keep).Bind(2, BeforeMs);
    std::vector<std::int64_t> Ids;
    while (Query.Step())
        Ids.push_back(Query.Integer(0));
    return Ids;
}

} // namespace

void ApplyRetention(TSqliteDatabase& Db, const TJournalRetention& Retention, std::int64_t Keep) {
    if (Retention.KeepDays > 0) {
        const std::int64_t Before = UtcNowMs() - std::int64_t{Retention.KeepDays} * 86400000;
        for (std::int64_t Id : EndedSessionsOldestFirst(Db, Keep, Before))
            DeleteSession(Db, Id);
    }
    if (Retention.MaxMegabytes > 0) {
        const std::int64_t Limit = std::int64_t{Retention.MaxMegabytes} * 1024 * 1024;
        for (std::int64_t Id : EndedSessionsOldestFirst(Db, Keep, INT64_MAX)) {
            if (UsedBytes(Db) <= Limit)
                break;
            DeleteSession(Db, Id);
        }
    }
}

std::vector<std::string> RecoverInterruptedSessions(TSqliteDatabase& Db, pid_t Self, std::int64_t Recording) {
    const std::string Sql = std::string("SELECT id, ") + StartedMs +
                            ", coalesce(last_utc_ms, 0), source, readings, pid FROM sessions WHERE ended_utc IS NULL";
    struct TOpen {
        std::int64_t Id, Started, Last;
        std::string Source;
        std::int64_t Readings;
    };
    std::vector<TOpen> Left;
    {
        TSqliteStatement Query(Db, Sql.c_str());
        while (Query.Step()) {
            const std::int64_t Pid = Query.Integer(5);
            // Another program still recording (a second bench) keeps its own.
            // A process id can come back, so the own one only spares the
            // session being recorded.
            const std::int64_t Id = Query.Integer(0);
            if (Pid == Self ? Id == Recording : ProcessAlive(Pid))
                continue;
            Left.push_back({Query.Integer(0), Query.Integer(1), std::max(Query.Integer(2), Query.Integer(1)),
                            Query.Text(3), Query.Integer(4)});
        }
    }
    std::vector<std::string> Lines;
    for (const TOpen& Session : Left) {
        TSqliteStatement(Db, "UPDATE sessions SET ended_utc = ?, end_reason = 'interrupted', last_utc_ms = ?"
                             " WHERE id = ?")
            .Bind(1, IsoUtc(Session.Last))
            .Bind(2, Session.Last)
            .Bind(3, Session.Id)
            .Run();
        Lines.push_back("The session on " + Session.Source + " started " + LocalTimeText(Session.Started) +
                        " was interrupted after " + DurationText(Session.Last - Session.Started) + "; " +
                        std::to_string(Session.Readings) + (Session.Readings == 1 ? " reading is" : " readings are") +
                        " kept in the session journal");
    }
    return Lines;
}

bool SessionRowExists(TSqliteDatabase& Db, std::int64_t Session) {
    TSqliteStatement Query(Db, "SELECT 1 FROM sessions WHERE id = ? AND ended_utc IS NULL");
    Query.Bind(1, Session);
    const bool Found = Query.Step();
    Query.Reset();
    return Found;
}
