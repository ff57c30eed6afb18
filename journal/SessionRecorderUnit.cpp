// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionRecorderUnit.h"

#include "JournalSchemaUnit.h"

#include <cmath>

namespace {

std::int32_t Millivolts(double Volts) { return static_cast<std::int32_t>(std::lround(Volts * 1000.0)); }

std::int64_t Milliseconds(double Value, double PerUnit) { return std::llround(Value * PerUnit); }

} // namespace

void TSessionRecorder::BeginLive(const std::string& Port, const std::string& Device) {
    Replay = false;
    Begin(Port, Device, "connect", "Connected to " + Port + " (" + Device + ")");
}

void TSessionRecorder::BeginReplay(const std::string& Capture) {
    Replay = true;
    Begin(Capture, {}, "replay", "Replaying " + Capture);
}

void TSessionRecorder::Begin(const std::string& Source, const std::string& Device, const std::string& Kind,
                             const std::string& Text) {
    End("closed");
    if (Sinks.empty())
        return;
    Post(TJournalSessionStart{UtcNowMs(), Source, Device});
    Open = true;
    Event(Kind, Text);
}

void TSessionRecorder::End(const std::string& Reason) {
    if (!Open)
        return;
    // A line already recorded as down is one disconnect, not two.
    Event(Reason == "disconnected" && !LinkDown ? "disconnect" : "close", "Session " + Reason);
    Post(TJournalSessionEnd{UtcNowMs(), Reason});
    Open = false;
    LinkDown = false;
}

void TSessionRecorder::Note(const std::string& Kind, const std::string& Text) {
    if (Kind == "disconnect" || Kind == "reconnect")
        LinkDown = Kind == "disconnect";
    Post(TJournalEvent{UtcNowMs(), Kind, Text, {}});
}

void TSessionRecorder::Post(const TJournalItem& Item, bool Wait) {
    for (TSessionSink* Sink : Sinks)
        Sink->Post(Item, Wait);
}

void TSessionRecorder::Event(const std::string& Kind, const std::string& Text, double IntervalSeconds) {
    TJournalEvent Item{UtcNowMs(), Kind, Text, {}};
    if (IntervalSeconds > 0)
        Item.IntervalMs = Milliseconds(IntervalSeconds, 1000.0);
    Post(Item);
}

void TSessionRecorder::ReadingConsumed(const TReadingRecord& Reading) {
    if (!Open)
        return;
    switch (Reading.Kind) {
    case rkData: {
        TJournalReading Item;
        Item.ReceivedUtcMs = UtcNowMs();
        Item.ElapsedMs = Milliseconds(Reading.Time, SecondsPerDay * 1000.0);
        Item.Millivolts[0] = Millivolts(Reading.BatteryVolts);
        for (int Cell = 0; Cell < CellCount; ++Cell)
            Item.Millivolts[1 + Cell] = Millivolts(Reading.CellVolts[Cell]);
        Post(Item, Replay);
        break;
    }
    case rkTimeValue:
        Event("time-value", "Sample interval " + std::to_string(Milliseconds(Reading.Interval, 1000.0)) + " ms",
              Reading.Interval);
        break;
    case rkBulkStart:
        Event("bulk-start",
              "Bulk transfer of " + std::to_string(std::llround(Reading.Time)) + " records, interval " +
                  std::to_string(Milliseconds(Reading.Interval, 1000.0)) + " ms",
              Reading.Interval);
        break;
    case rkBulkEnd:
        Event("bulk-end", "Bulk transfer ended");
        break;
    case rkNone:
        break;
    }
}
