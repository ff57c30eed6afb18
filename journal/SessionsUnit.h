// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"
#include "SqliteUnit.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// How much the journal keeps; 0 keeps everything.
struct TJournalRetention {
    int KeepDays = 0;
    int MaxMegabytes = 0;
};

// One session as the browser lists it.
struct TSessionSummary {
    std::int64_t Id = 0;
    std::int64_t StartedUtcMs = 0;
    // Up to its end, or to the last thing kept while it is still open.
    std::int64_t DurationMs = 0;
    std::string Source;
    std::string EndReason; // empty while open
    std::int64_t Readings = 0;
    std::optional<std::int64_t> LowestCellMv, HighestCellMv;
};

// A kept reading, with the series time the chart plots it at.
struct TSessionReading {
    std::int64_t ReceivedUtcMs = 0;
    std::int64_t ElapsedMs = 0;
    std::int32_t Millivolts[1 + CellCount] = {};
};

// Newest first.
std::vector<TSessionSummary> ListSessions(TSqliteDatabase& Db);
std::vector<TSessionReading> LoadSessionReadings(TSqliteDatabase& Db, std::int64_t Session);

// The whole run on one time line, in days. The monitor's elapsed time
// starts again at every time-value or bulk start; each new stretch follows
// the last one after the real time that passed between them, so a bulk
// transfer of the past and the live readings after it line up.
std::vector<double> SessionRunTimes(const std::vector<TSessionReading>& Readings);

class TReadingConsumer;
// Puts a kept session into the series through the consumer's own rules, on
// its run time line, as one transfer shown when complete.
void ShowSessionReadings(TReadingConsumer& Consumer, const std::vector<TSessionReading>& Readings);

// What the chart shows of a kept session beside its readings: the local
// date-time at run time 0, and the user's notes at their run times. Told
// by the last reading, which was received as it was taken (a bulk
// transfer's first ones were not).
struct TSessionNote {
    double RunTime = 0.0; // days
    std::string Text;
};
struct TSessionView {
    std::optional<double> ClockStart;
    std::vector<TSessionNote> Notes;
};
TSessionView SessionViewOf(TSqliteDatabase& Db, std::int64_t Session, const std::vector<TSessionReading>& Readings);

// The session's readings as CSV: UTC time, elapsed seconds, then the pack
// and the cells in volts, with "." whatever the locale, and the user's
// notes. Replaces the file
// whole, so a failed export leaves no half file.
void ExportSessionCsv(TSqliteDatabase& Db, std::int64_t Session, const QString& FileName);

// Removes the session with its readings and events and gives the space back.
void DeleteSession(TSqliteDatabase& Db, std::int64_t Session);

// Removes sessions that ended more than KeepDays ago, then the oldest ended
// sessions while the file is larger than MaxMegabytes. Keep is never removed.
void ApplyRetention(TSqliteDatabase& Db, const TJournalRetention& Retention, std::int64_t Keep);

// Ends the sessions that a program no longer running left open: they get
// end_reason "interrupted" at the time of the last thing kept. One line for
// each: when it started, how long it ran, how many readings are kept.
// Recording is this program's own open session, which is left alone.
std::vector<std::string> RecoverInterruptedSessions(TSqliteDatabase& Db, pid_t Self, std::int64_t Recording);

bool SessionRowExists(TSqliteDatabase& Db, std::int64_t Session);
