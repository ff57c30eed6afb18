// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

// What a session is made of, as the journal keeps it. Times are UTC milliseconds.
struct TJournalReading {
    std::int64_t ReceivedUtcMs = 0;
    std::int64_t ElapsedMs = 0;
    // The pack, then cells 1 to 8, in millivolts.
    std::int32_t Millivolts[1 + CellCount] = {};
};
struct TJournalEvent {
    std::int64_t UtcMs = 0;
    std::string Kind;
    std::string Text;
    // A time-value or bulk start also sets the session's interval.
    std::optional<std::int64_t> IntervalMs;
};
struct TJournalSessionStart {
    std::int64_t UtcMs = 0;
    std::string Source;
    std::string Device;
};
struct TJournalSessionEnd {
    std::int64_t UtcMs = 0;
    std::string Reason;
};
// Readings that found no room: their numbers are skipped and counted.
struct TJournalGap {
    std::int64_t Readings = 0;
};
using TJournalItem =
    std::variant<TJournalReading, TJournalEvent, TJournalSessionStart, TJournalSessionEnd, TJournalGap>;

// Where a session's items go: the journal keeps them, a publisher sends
// them on. Post never waits for a disk or a network.
class TSessionSink {
  public:
    virtual ~TSessionSink() = default;
    // Any thread. A reading that finds no room is dropped, counted and false
    // returned, unless Wait asks to wait for room (a replay, which may go at
    // the sink's pace and so never loses a reading).
    virtual bool Post(TJournalItem Item, bool Wait = false) = 0;
};
