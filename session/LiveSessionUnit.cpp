// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveSessionUnit.h"

#include "PortDiscoveryUnit.h"

#include <QCoreApplication>

TLiveSession::TLiveSession(const TSessionKeeping::TPlace& Place, TSeriesStore& Store, TViews AViews)
    : SettingsFile(Place.IniFileName), Views(std::move(AViews)), ReadingConsumer(Store),
      Link(MakeCommsSink(), [this](const std::string& Line, const char* Kind, bool Beeps) { Say(Line, Kind, Beeps); }) {
    // The figures first: the alarms read them. The recorder last, so that an
    // alarm a reading raises is kept before the reading itself.
    ReadingConsumer.AddObserver(Figures);
    ReadingConsumer.AddObserver(Monitor);
    ReadingConsumer.AddObserver(StaleReadings);
    Monitor.OnAlarm = [this](const TAlarmEvent& Event) {
        Say(Event.Text, "alarm", Event.Raised);
        if (Views.Alarm)
            Views.Alarm(Event);
    };
    // The journal and the publisher say things on their own threads; they
    // are shown and kept on this one.
    Keeping = std::make_unique<TSessionKeeping>(Place, [this](const std::string& Line) {
        QMetaObject::invokeMethod(
            &Hop, [this, Line] { Say(Line, "error", true); }, Qt::QueuedConnection);
    });
    ReadingConsumer.AddObserver(Keeping->Recorder());
    LinkTimer.setInterval(TLiveLink::TickMilliseconds);
    QObject::connect(&LinkTimer, &QTimer::timeout, &Hop, [this] { Tick(); });
    LinkTimer.start();
}

TLiveSession::~TLiveSession() {
    LinkTimer.stop();
    Stop();
    // What is queued is written; what the journal and the publisher said
    // while ending is still shown.
    Keeping.reset();
    QCoreApplication::sendPostedEvents(&Hop);
}

void TLiveSession::LoadAlarmLimits() {
    std::vector<std::string> Problems;
    Monitor.SetLimits(ReadAlarmLimits(SettingsFile, Problems));
    for (const std::string& Problem : Problems)
        Say(Problem, "alarm", true);
}

void TLiveSession::SetAlarmLimits(TAlarmLimits Limits) {
    std::vector<std::string> Problems;
    CheckAlarmLimits(Limits, Problems);
    Monitor.SetLimits(Limits);
    for (const std::string& Problem : Problems)
        Say(Problem, "alarm", true);
}

void TLiveSession::Connect(std::uint8_t Number) {
    Stop();
    if (Number != 0)
        Begin(Number, TPortTable::Load(SettingsFile).Path(Number), "COM" + std::to_string(Number));
}

void TLiveSession::ConnectTo(const std::string& Given, const std::string& Source) {
    TPortTable Table = TPortTable::Load(SettingsFile);
    const std::uint8_t Number = PortNumberFor(Table, Given);
    Stop();
    // A COM name as the window writes it ("com3" is COM3); a device by its path.
    const bool Path = Given.find('/') != std::string::npos;
    try {
        Begin(Number, Table.Path(Number), !Source.empty() ? Source : Path ? Given : "COM" + std::to_string(Number));
    } catch (const std::exception& Failure) {
        throw EPackMonException(Given + " cannot be opened: " + FailureMessage(Failure));
    }
}

void TLiveSession::Begin(std::uint8_t Number, const std::string& Path, const std::string& Source) {
    Link.Start(Number, Path, AutoReconnectEnabled(SettingsFile));
    ReadingConsumer.ClearSeries();
    Recorder().BeginLive(Source, Link.Path());
    StaleReadings.Expect();
}

void TLiveSession::StartReplay(std::string Text, const std::string& CaptureName) {
    Stop();
    ReadingConsumer.ClearSeries();
    Recorder().BeginReplay(CaptureName);
    ReplayThread = TPackMonCommsThread::Replay(std::move(Text), MakeCommsSink());
}

void TLiveSession::Stop() {
    if (ReplayThread) {
        ReplayThread->Terminate();
        ReplayThread->WaitFor();
        ReplayThread.reset();
    }
    const bool Lost = Link.Stop();
    StaleReadings.Forget();
    if (!Keeping || !Recorder().Recording())
        return;
    if (TJournalWriter* Kept = Journal()) {
        Kept->Flush();
        LastSessionId = Kept->RecordingSession();
    }
    Recorder().End(Lost ? "disconnected" : "closed");
}

void TLiveSession::Consume(const TReadingRecord& Record) { ReadingConsumer.Consume(Record); }

void TLiveSession::Say(const std::string& Line, const char* Kind, bool Beeps) {
    Note(Kind, Line);
    Display(Line, SystemClock().LocalNow(), Beeps);
}

void TLiveSession::Note(const std::string& Kind, const std::string& Text) {
    if (Keeping)
        Keeping->Recorder().Note(Kind, Text);
}

void TLiveSession::Display(const std::string& Line, double Time, bool Beeps) {
    if (Views.ErrorLine)
        Views.ErrorLine(Line, Time, Beeps);
}

void TLiveSession::Tick() {
    Link.Tick();
    if (Views.Tick)
        Views.Tick();
}

TCommsSink TLiveSession::MakeCommsSink() {
    TCommsSink To;
    To.CommsLine = [this](const std::string& Line) {
        if (Views.CommsLine)
            Views.CommsLine(Line);
    };
    To.ErrorLine = [this](const std::string& Text, double Time, const char* Kind) { TakeErrorLine(Text, Time, Kind); };
    To.Reading = [this](const TReadingRecord& Record) {
        if (Views.Reading)
            Views.Reading(Record);
        else
            Consume(Record);
    };
    // The failure's Errors line has beeped already; a second beep for the
    // same failure would only be noise.
    return To;
}

void TLiveSession::TakeErrorLine(const std::string& Text, double Time, const char* Kind) {
    Note(Kind, Text);
    Display(Text, Time, true);
}
