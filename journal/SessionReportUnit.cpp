// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionReportUnit.h"

#include "JournalSchemaUnit.h"
#include "SessionsUnit.h"

#include <QDateTime>

namespace {

std::int64_t CountEvents(TSqliteDatabase& Db, std::int64_t Session, const char* Kind) {
    TSqliteStatement Query(Db, "SELECT count(*) FROM events WHERE session = ? AND kind = ?");
    Query.Bind(1, Session);
    Query.Bind(2, std::string(Kind));
    return Query.Step() ? Query.Integer(0) : 0;
}

// Numbers the writer skipped for readings that found no room.
std::int64_t ReadingsNotKept(TSqliteDatabase& Db, std::int64_t Session) {
    TSqliteStatement Query(Db, "SELECT count(*), coalesce(max(key & 4294967295) + 1, 0) FROM reading_rows"
                               " WHERE key BETWEEN ? AND ?");
    Query.Bind(1, FirstReadingKey(Session));
    Query.Bind(2, LastReadingKey(Session));
    return Query.Step() ? Query.Integer(1) - Query.Integer(0) : 0;
}

std::vector<TReportMoment> KeptEvents(TSqliteDatabase& Db, std::int64_t Session, const char* Kind,
                                      std::int64_t FirstUtcMs) {
    TSqliteStatement Query(Db, "SELECT utc, text FROM events WHERE session = ? AND kind = ? ORDER BY rowid");
    Query.Bind(1, Session);
    Query.Bind(2, std::string(Kind));
    std::vector<TReportMoment> Moments;
    while (Query.Step()) {
        const QDateTime At = QDateTime::fromString(QString::fromStdString(Query.Text(0)), Qt::ISODateWithMs);
        Moments.push_back({static_cast<double>(At.toMSecsSinceEpoch() - FirstUtcMs) / 1000.0, Query.Text(1)});
    }
    return Moments;
}

} // namespace

std::int64_t LatestSession(TSqliteDatabase& Db) {
    TSqliteStatement Query(Db, "SELECT coalesce(max(id), 0) FROM sessions");
    return Query.Step() ? Query.Integer(0) : 0;
}

TRunReport ReportSession(TSqliteDatabase& Db, std::int64_t Session, TSeriesStore& Store) {
    TSqliteStatement Row(Db, "SELECT source, coalesce(device, ''), coalesce(end_reason, ''), started_utc_ms,"
                             " coalesce(last_utc_ms, started_utc_ms) FROM sessions WHERE id = ?");
    Row.Bind(1, Session);
    if (!Row.Step())
        throw EPackMonException("No session " + std::to_string(Session) + " in the journal");
    TRunReport Report;
    Report.Source = Row.Text(0);
    Report.Device = Row.Text(1);
    Report.EndReason = Row.Text(2);
    Report.StartUtcMs = Row.Integer(3);
    Report.EndUtcMs = Row.Integer(4);

    const std::vector<TSessionReading> Readings = LoadSessionReadings(Db, Session);
    TReadingConsumer Consumer(Store);
    TRunReportBuilder Builder;
    Consumer.AddObserver(Builder);
    ShowSessionReadings(Consumer, Readings);
    Builder.Fill(Report);
    Report.Disconnects = CountEvents(Db, Session, "disconnect");
    Report.ReadingsNotKept = ReadingsNotKept(Db, Session);
    const std::int64_t FirstUtcMs = Readings.empty() ? *Report.StartUtcMs : Readings.front().ReceivedUtcMs;
    Report.Alarms = KeptEvents(Db, Session, "alarm", FirstUtcMs);
    Report.Notes = KeptEvents(Db, Session, "note", FirstUtcMs);
    return Report;
}
