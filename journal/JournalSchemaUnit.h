// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SqliteUnit.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>

inline constexpr const char* JournalFileName = "PackMonSessions.sqlite";

// The journal beside the settings file, wherever the program keeps that.
std::string JournalPathBeside(const QString& IniFileName);

// How long a reader (the browser, an export) waits for the writer's lock.
inline constexpr int JournalReaderBusyMs = 2000;

// Opens the journal, creating it and its tables when missing, in WAL mode.
// A file that is not a database raises an ESqliteError that says Corrupt().
std::unique_ptr<TSqliteDatabase> OpenJournal(const std::string& FileName, int BusyTimeoutMs);

// The first and last key of a session's rows in reading_rows.
constexpr std::int64_t FirstReadingKey(std::int64_t Session) { return Session << 32; }
constexpr std::int64_t LastReadingKey(std::int64_t Session) { return (Session << 32) | 0xFFFFFFFF; }

// Milliseconds since 1970 in UTC, and the ISO-8601 form the tables hold:
// "2026-12-09T10:15:00.250Z".
std::int64_t UtcNowMs();
std::string IsoUtc(std::int64_t UtcMs);
// "2026-12-09 11:15:00" in the local time zone, as messages give times.
std::string LocalTimeText(std::int64_t UtcMs);
// "1200 readings could not be kept" (one "reading"), or with none "no
// readings were lost".
std::string NotKeptText(std::int64_t NotKept);
// "<What> resumed at 2026-12-09 10:20:00; <NotKeptText>", as the journal
// and the publisher say it when they can write again.
std::string ResumedText(const std::string& What, std::int64_t NotKept);
// "1:02:03" (hours, minutes, seconds); days show as hours.
std::string DurationText(std::int64_t Milliseconds);
