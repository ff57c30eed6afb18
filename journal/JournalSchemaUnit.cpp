// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "JournalSchemaUnit.h"

#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

// Integers as the monitor sent them, in rows keyed by session and number
// and timed from the session's start, keep a reading under 48 bytes; the
// readings view gives them back as absolute times. The summary columns of
// sessions are kept up to date with every commit, so the browser never
// scans the readings.
constexpr const char* Schema = R"(
CREATE TABLE IF NOT EXISTS sessions(
  id INTEGER PRIMARY KEY,
  started_utc TEXT NOT NULL,
  ended_utc TEXT,
  end_reason TEXT,
  source TEXT NOT NULL,
  device TEXT,
  interval_ms INTEGER,
  app_version TEXT NOT NULL,
  readings INTEGER NOT NULL DEFAULT 0,
  lowest_cell_mv INTEGER,
  highest_cell_mv INTEGER,
  started_utc_ms INTEGER NOT NULL,
  last_utc_ms INTEGER,
  pid INTEGER);
CREATE TABLE IF NOT EXISTS reading_rows(
  key INTEGER PRIMARY KEY,
  received_offset_ms INTEGER NOT NULL,
  elapsed_ms INTEGER NOT NULL,
  battery_mv INTEGER NOT NULL,
  cell1_mv INTEGER NOT NULL, cell2_mv INTEGER NOT NULL, cell3_mv INTEGER NOT NULL, cell4_mv INTEGER NOT NULL,
  cell5_mv INTEGER NOT NULL, cell6_mv INTEGER NOT NULL, cell7_mv INTEGER NOT NULL, cell8_mv INTEGER NOT NULL);
CREATE VIEW IF NOT EXISTS readings AS
  SELECT r.key >> 32 AS session, r.key & 4294967295 AS seq, s.started_utc_ms + r.received_offset_ms AS received_utc_ms,
         r.elapsed_ms, r.battery_mv, r.cell1_mv, r.cell2_mv, r.cell3_mv, r.cell4_mv, r.cell5_mv, r.cell6_mv,
         r.cell7_mv, r.cell8_mv
  FROM reading_rows AS r JOIN sessions AS s ON s.id = r.key >> 32;
CREATE TABLE IF NOT EXISTS events(
  session INTEGER,
  utc TEXT NOT NULL,
  kind TEXT NOT NULL,
  text TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS events_by_session ON events(session);
)";

} // namespace

std::string JournalPathBeside(const QString& IniFileName) {
    return QFileInfo(IniFileName).absoluteDir().filePath(QString::fromLatin1(JournalFileName)).toStdString();
}

std::unique_ptr<TSqliteDatabase> OpenJournal(const std::string& FileName, int BusyTimeoutMs) {
    auto Db = std::make_unique<TSqliteDatabase>(FileName, true, BusyTimeoutMs);
    // Incremental vacuum only takes effect on a new file; deleting a
    // session then gives its space back to the disk.
    Db->Execute("PRAGMA auto_vacuum=INCREMENTAL");
    Db->Execute("PRAGMA journal_mode=WAL");
    // In WAL mode a commit survives the process being killed; a power cut
    // can cost the last commits, never the file's consistency.
    Db->Execute("PRAGMA synchronous=NORMAL");
    Db->Execute(Schema);
    return Db;
}

std::int64_t UtcNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {

std::tm Broken(std::int64_t UtcMs, bool Local) {
    const std::time_t Seconds = static_cast<std::time_t>(UtcMs >= 0 ? UtcMs / 1000 : (UtcMs - 999) / 1000);
    std::tm Parts{};
    if (Local)
        localtime_r(&Seconds, &Parts);
    else
        gmtime_r(&Seconds, &Parts);
    return Parts;
}

} // namespace

std::string IsoUtc(std::int64_t UtcMs) {
    const std::tm T = Broken(UtcMs, false);
    const int Millis = static_cast<int>(((UtcMs % 1000) + 1000) % 1000);
    char Text[96];
    std::snprintf(Text, sizeof Text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", T.tm_year + 1900, T.tm_mon + 1, T.tm_mday,
                  T.tm_hour, T.tm_min, T.tm_sec, Millis);
    return Text;
}

std::string LocalTimeText(std::int64_t UtcMs) {
    const std::tm T = Broken(UtcMs, true);
    char Text[96];
    std::snprintf(Text, sizeof Text, "%04d-%02d-%02d %02d:%02d:%02d", T.tm_year + 1900, T.tm_mon + 1, T.tm_mday,
                  T.tm_hour, T.tm_min, T.tm_sec);
    return Text;
}

std::string NotKeptText(std::int64_t NotKept) {
    if (NotKept == 0)
        return "no readings were lost";
    return std::to_string(NotKept) + (NotKept == 1 ? " reading" : " readings") + " could not be kept";
}

std::string ResumedText(const std::string& What, std::int64_t NotKept) {
    return What + " resumed at " + LocalTimeText(UtcNowMs()) + "; " + NotKeptText(NotKept);
}

std::string DurationText(std::int64_t Milliseconds) {
    const std::int64_t Seconds = std::max<std::int64_t>(Milliseconds, 0) / 1000;
    char Text[96];
    std::snprintf(Text, sizeof Text, "%lld:%02lld:%02lld", static_cast<long long>(Seconds / 3600),
                  static_cast<long long>(Seconds / 60 % 60), static_cast<long long>(Seconds % 60));
    return Text;
}
