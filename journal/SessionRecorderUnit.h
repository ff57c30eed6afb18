// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingConsumerUnit.h"
#include "SessionSinkUnit.h"

#include <string>
#include <vector>

class TSessionSink;

// Turns what the reading consumer tells into sessions, readings and events
// for the journal and the publisher. The window and every tool that keeps
// sessions use one; without sinks (the journal and publishing switched off)
// it keeps nothing.
class TSessionRecorder final : public TReadingObserver {
  public:
    explicit TSessionRecorder(std::vector<TSessionSink*> ASinks = {}) : Sinks(std::move(ASinks)) {}
    void AddSink(TSessionSink& Sink) { Sinks.push_back(&Sink); }

    // A live connection names the port as the user knows it ("COM3") and
    // the device; a replay names the capture and may go at the journal's
    // pace rather than drop readings.
    void BeginLive(const std::string& Port, const std::string& Device);
    void BeginReplay(const std::string& Capture);
    // "closed" or "disconnected"; nothing when no session is open.
    void End(const std::string& Reason);
    // Lines of the Errors pane, kept with the session being recorded.
    void Error(const std::string& Text) { Note("error", Text); }
    // An event of another kind: "alarm", or "disconnect" and "reconnect"
    // around a gap in a live session that goes on.
    void Note(const std::string& Kind, const std::string& Text);
    bool Recording() const { return Open; }
    // Keeps nothing more: the sinks are going away.
    void Detach() {
        Sinks.clear();
        Open = false;
    }

    void ReadingConsumed(const TReadingRecord& Reading) override;

  private:
    void Begin(const std::string& Source, const std::string& Device, const std::string& Kind, const std::string& Text);
    void Event(const std::string& Kind, const std::string& Text, double IntervalSeconds = 0.0);
    void Post(const TJournalItem& Item, bool Wait = false);

    std::vector<TSessionSink*> Sinks;
    bool Open = false;
    bool Replay = false;
    bool LinkDown = false;
};
