// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "JournalWriterUnit.h"
#include "MqttPublisherUnit.h"
#include "SessionRecorderUnit.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>

// Where a program's sessions go, as its settings file asks: the session
// journal, the broker, or both, fed by one recorder that the program adds
// to its reading consumer. The window and packmon-log keep sessions alike.
class TSessionKeeping {
  public:
    // Lines to show in the Errors pane; called on any thread.
    using TReport = std::function<void(const std::string& Line)>;
    struct TPlace {
        QString IniFileName;
        // Empty: beside the settings file, when the settings allow a journal.
        std::string JournalFile;
        std::string AppVersion;
    };
    TSessionKeeping(const TPlace& Place, TReport Report);
    // The recorder stops first; the publisher sends what it can, the journal
    // writes all that is queued.
    ~TSessionKeeping();

    TSessionRecorder& Recorder() { return SessionRecorder; }
    TJournalWriter* Journal() const { return Writer.get(); }
    TMqttPublisher* Publisher() const { return Broker.get(); }

  private:
    std::unique_ptr<TJournalWriter> Writer;
    std::unique_ptr<TMqttPublisher> Broker;
    TSessionRecorder SessionRecorder;
};
