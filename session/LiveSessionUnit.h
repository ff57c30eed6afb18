// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AlarmsUnit.h"
#include "CellBalanceUnit.h"
#include "LiveLinkUnit.h"
#include "PackMonCommsThreadUnit.h"
#include "ReadingConsumerUnit.h"
#include "SessionKeepingUnit.h"
#include "StaleReadingsUnit.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// One source of readings end to end: a monitor on a port (or a paced
// replay of a capture), its link and reconnecting, the comms thread, the
// reading consumer with the balance figures, the alarms and stale readings,
// and the keeping of the session in the journal and on the broker, with
// the one reason it ended. The window and packmon-log both build one and
// attach only what shows things.
class TLiveSession final {
  public:
    // What shows the session; each may be empty.
    struct TViews {
        // A record line as it came, for the Comms pane.
        std::function<void(const std::string& Line)> CommsLine;
        // A line for the Errors pane at Time (local date-time); it is kept
        // with the session already.
        std::function<void(const std::string& Line, double Time, bool Beeps)> ErrorLine;
        // A reading from the comms thread; whoever shows it hands it back to
        // Consume. Without one it is consumed at once.
        std::function<void(const TReadingRecord& Reading)> Reading;
        // Every TLiveLink::TickMilliseconds, after the link has been looked at.
        std::function<void()> Tick;
        // An alarm was raised or cleared.
        std::function<void(const TAlarmEvent& Event)> Alarm;
    };

    // The consumer fills Store, which outlives the session.
    TLiveSession(const TSessionKeeping::TPlace& Place, TSeriesStore& Store, TViews AViews);
    ~TLiveSession();
    TLiveSession(const TLiveSession&) = delete;
    TLiveSession& operator=(const TLiveSession&) = delete;

    // The alarm limits from the settings file; each problem is said once.
    void LoadAlarmLimits();
    void SetAlarmLimits(TAlarmLimits Limits);

    // Ends what runs and logs from COM n; raises the port's own failure.
    void Connect(std::uint8_t Number);
    // The same for a name from a command line ("COM3" or a device path; see
    // PortNumberFor); Source names it in the journal, by default as given.
    // Raises ENoSuchPort, or "<port> cannot be opened: <why>".
    void ConnectTo(const std::string& Given, const std::string& Source = {});
    // Ends what runs and replays a capture at the monitor's pace.
    void StartReplay(std::string Text, const std::string& CaptureName);
    // Ends the source: the session "disconnected" when the line was down at
    // the end, else "closed".
    void Stop();

    // A reading, as the comms thread hands it over.
    void Consume(const TReadingRecord& Reading);
    // An Errors-pane line, kept with the session as Kind.
    void Say(const std::string& Line, const char* Kind, bool Beeps);
    // Kept with the session, not shown.
    void Note(const std::string& Kind, const std::string& Text);

    bool Live() const { return Link.Active(); }
    const TLiveLink& LinkState() const { return Link; }
    const TPackMonCommsThread* Thread() const { return Link.Thread() != nullptr ? Link.Thread() : ReplayThread.get(); }
    TReadingConsumer& LiveConsumer() { return ReadingConsumer; }
    const TReadingConsumer& LiveConsumer() const { return ReadingConsumer; }
    const TCellBalance& Balance() const { return Figures; }
    const TAlarmMonitor& Alarms() const { return Monitor; }
    const TStaleReadings& Stale() const { return StaleReadings; }
    TSessionRecorder& Recorder() { return Keeping->Recorder(); }
    // Null when the settings switch the journal off.
    TJournalWriter* Journal() const { return Keeping->Journal(); }
    TMqttPublisher* Publisher() const { return Keeping->Publisher(); }
    // The journal's id of the session last recorded, once it has ended.
    std::int64_t LastSession() const { return LastSessionId; }

  private:
    // Opens the port and starts its session; raises the port's failure.
    void Begin(std::uint8_t Number, const std::string& Path, const std::string& Source);
    void Tick();
    // What the comms thread hands over, on this thread.
    TCommsSink MakeCommsSink();
    void TakeErrorLine(const std::string& Text, double Time, const char* Kind);
    void Display(const std::string& Line, double Time, bool Beeps);

    QString SettingsFile;
    TViews Views;
    QObject Hop; // brings lines said on other threads to this one
    TReadingConsumer ReadingConsumer;
    TCellBalance Figures;
    TAlarmMonitor Monitor{Figures};
    TStaleReadings StaleReadings;
    std::unique_ptr<TSessionKeeping> Keeping;
    TLiveLink Link;
    std::unique_ptr<TPackMonCommsThread> ReplayThread;
    QTimer LinkTimer;
    std::int64_t LastSessionId = 0;
};
