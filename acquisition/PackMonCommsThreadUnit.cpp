// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackMonCommsThreadUnit.h"

#include "FieldConversionUnit.h"
#include "SerialPortReaderUnit.h"

#include <QMetaObject>
#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#ifdef __linux__
#include <sys/prctl.h>
#endif

TPackMonRecordSink::~TPackMonRecordSink() = default;

// ---------------------------------------------------------------------------
// Parser

namespace {

std::string_view ReadField(std::string_view Line, std::size_t& Pos) {
    std::string_view Field;
    NextField(Line, Pos, Field);
    return Field;
}

double MilliToUnits(std::int32_t Milli) { return static_cast<double>(Milli) / 1000.0; }

void ResetDecodeState(TPackMonDecodeState& State) { State = TPackMonDecodeState{}; }

double StampData(TPackMonDecodeState& State, const TPackMonClock& Clock) {
    // With an interval the clock is not read per record: a converter runs
    // millions through here. The comms thread notes the time per pass.
    if (State.SampleInterval != 0.0)
        return State.SampleCount * State.SampleInterval / SecondsPerDay;
    const double Monotonic = Clock.MonotonicNow();
    State.LastDataMonotonic = Monotonic;
    if (State.SampleCount == 0) {
        State.StartTime = Clock.LocalNow();
        State.StartMonotonic = Monotonic;
    }
    return Monotonic - State.StartMonotonic;
}

void DecodeRecord(std::string_view Line, TReadingRecord& Reading, TPackMonDecodeState& State,
                  const TPackMonClock& Clock) {
    std::size_t Pos = 1;
    const std::string_view Type = ReadField(Line, Pos);
    if (Type == "1")
        DecodeData(Line, Pos, Reading, State, Clock);
    else if (Type == "TIMEVALUE")
        DecodeTimeValue(Line, Pos, Reading, State);
    else if (Type == "STARTBULK")
        DecodeStartBulk(Line, Pos, Reading, State);
    else if (Type == "ENDBULK")
        DecodeEndBulk(Line, Pos, Reading);
}

} // namespace

void ResumeDecodeState(TPackMonDecodeState& State, const TPackMonClock& Clock) {
    if (State.SampleInterval <= 0.0 || State.SampleCount == 0)
        return;
    const double AwaySeconds = (Clock.MonotonicNow() - State.LastDataMonotonic) * SecondsPerDay;
    // The last record stood at count - 1; the next one arrives about now.
    const double Missed = std::floor(AwaySeconds / State.SampleInterval + 0.5);
    if (Missed > 1)
        State.SampleCount += static_cast<std::uint32_t>(std::min(Missed - 1, 4.0e9 - State.SampleCount));
}

void NextField(std::string_view Line, std::size_t& Pos, std::string_view& Field) {
    const std::size_t Start = Pos - 1;
    if (Start >= Line.size()) {
        Field = {};
        Pos += 1;
        return;
    }
    const std::size_t Semicolon = Line.find(';', Start);
    const std::size_t End = Semicolon == std::string_view::npos ? Line.size() : Semicolon;
    Field = Line.substr(Start, End - Start);
    Pos = End + 2;
}

void DecodeData(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading, TPackMonDecodeState& State,
                const TPackMonClock& Clock) {
    ReadField(Line, Pos);
    ReadField(Line, Pos);
    double Cells[CellCount];
    for (double& Cell : Cells)
        Cell = MilliToUnits(StrToInt(ReadField(Line, Pos)));
    const double Battery = MilliToUnits(StrToInt(ReadField(Line, Pos)));

    // Everything converted: only now may the record touch the decode state.
    for (int I = 0; I < CellCount; ++I)
        Reading.CellVolts[I] = Cells[I];
    Reading.BatteryVolts = Battery;
    Reading.Time = StampData(State, Clock);
    State.SampleCount += 1;
    Reading.Kind = rkData;
}

void DecodeTimeValue(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading, TPackMonDecodeState& State) {
    ResetDecodeState(State);
    State.SampleInterval = DeviceStrToFloat(ReadField(Line, Pos)) / 1000.0;
    Reading.Interval = State.SampleInterval;
    Reading.Kind = rkTimeValue;
}

void DecodeStartBulk(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading, TPackMonDecodeState& State) {
    ResetDecodeState(State);
    const double Count = StrToInt(ReadField(Line, Pos));
    const double Interval = DeviceStrToFloat(ReadField(Line, Pos)) / 1000.0;
    Reading.Time = Count;
    State.SampleInterval = Interval;
    Reading.Interval = Interval;
    Reading.Kind = rkBulkStart;
}

void DecodeEndBulk(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading) {
    StrToInt(ReadField(Line, Pos));
    ReadField(Line, Pos);
    Reading.Kind = rkBulkEnd;
}

namespace {

std::uint64_t LineBreaks(std::string_view Text) {
    return static_cast<std::uint64_t>(std::count(Text.begin(), Text.end(), '\n'));
}

} // namespace

void ProcessRxedString(TRxedBuffer& Buffer, bool Echo, TPackMonParserContext& Context) {
    if (Buffer.Length() > MaxRxedStringLength) {
        Buffer.Clear();
        throw EPackMonException("RxedString too long");
    }
    std::size_t Start = Buffer.FindRecordStart();
    for (int Count = 0; Count < MaxRecordsPerPass && Start != TRxedBuffer::npos; ++Count) {
        if (Context.Lines != nullptr && !Echo)
            *Context.Lines += LineBreaks(Buffer.View().substr(0, Start));
        Buffer.DeleteFront(Start);
        const std::size_t LineEnd = Buffer.FindLineEnd();
        const std::size_t Next = Buffer.FindNextRecordStart();
        const bool Cut = Next != TRxedBuffer::npos && (LineEnd == TRxedBuffer::npos || Next < LineEnd);
        if (!Cut && LineEnd == TRxedBuffer::npos)
            return;
        TReadingRecord Reading;
        const std::string_view RecordLine = Buffer.View().substr(0, Cut ? Next : LineEnd);
        if (Echo)
            Context.Sink.PostCommsLine(RecordLine);
        // RecordLine stays readable: the buffer only moves its read position.
        Buffer.DeleteFront(Cut ? Next : LineEnd + 2);
        std::uint64_t Line = 0;
        if (Context.Lines != nullptr) {
            Line = *Context.Lines + 1;
            *Context.Lines += (Cut ? 0 : 1) + (Echo ? (Cut ? 1 : 0) : LineBreaks(RecordLine));
        }
        Context.Whole += Cut ? 0 : 1;
        try {
            if (Cut)
                throw EPackMonException(CutRecordMessage);
            DecodeRecord(RecordLine.substr(1), Reading, Context.State, Context.Clock);
        } catch (const EPackMonException& Failure) {
            if (Line == 0)
                throw;
            throw ERecordFailure(Failure.Message(), Line);
        }
        Context.Sink.PostReading(Reading);
        Start = Buffer.FindRecordStart();
    }
}

bool CompleteLastRecord(TRxedBuffer& Buffer) {
    if (Buffer.FindRecordStart() == TRxedBuffer::npos || Buffer.FindLineEnd() != TRxedBuffer::npos)
        return false;
    Buffer.Append("\r\n", 2);
    return true;
}

// ---------------------------------------------------------------------------
// Comms thread

TPackMonCommsThread::TPackMonCommsThread(TSerialPortReader* APort, std::string Text, TCommsSink ASink,
                                         const TPackMonClock& AClock, const TPackMonDecodeState* Resume)
    : RxedString(std::move(Text)), LinePort(APort), Sink(std::move(ASink)), Clock(AClock), HandOver(this) {
    if (Resume != nullptr) {
        DecodeState = *Resume;
        ResumeDecodeState(DecodeState, Clock);
    }
    start();
}

TPackMonCommsThread::~TPackMonCommsThread() {
    // Never leave a running thread behind, whoever frees it.
    if (isRunning()) {
        Terminate();
        WaitFor();
    }
}

std::unique_ptr<TPackMonCommsThread> TPackMonCommsThread::Live(TSerialPortReader& Port, TCommsSink Sink,
                                                               const TPackMonDecodeState* Resume) {
    return std::make_unique<TPackMonCommsThread>(&Port, std::string(), std::move(Sink), SystemClock(), Resume);
}

std::unique_ptr<TPackMonCommsThread> TPackMonCommsThread::Replay(std::string Text, TCommsSink Sink) {
    return std::make_unique<TPackMonCommsThread>(nullptr, std::move(Text), std::move(Sink), SystemClock());
}

void TPackMonCommsThread::Terminate() {
    {
        std::lock_guard Guard(PauseLock);
        TerminateRequested = true;
    }
    PauseWake.notify_all();
}

void TPackMonCommsThread::WaitFor() {
    HandOver.ServeUntilFinished();
    wait();
}

void TPackMonCommsThread::run() {
#ifdef __linux__
    // The default 50 us of timer slack, on top of a virtual machine's own
    // wake-up delay, would stretch every 20 ms pause and slow a replay.
    prctl(PR_SET_TIMERSLACK, 1000UL);
#endif
    try {
        Execute();
    } catch (...) {
        // Something other than a reported failure: end this thread, not the
        // program, and say so while the window still takes hand-overs.
        ReportParseFailure(UnknownFailureMessage, UnknownFailureMessage);
    }
    HandOver.MarkFinished();
}

void TPackMonCommsThread::Execute() {
    while (!Terminated()) {
        const std::size_t Before = RxedString.Length();
        const bool Failed = PortFailed;
        try {
            RunPass();
        } catch (const ERecordFailure& Failure) {
            ReportParseFailure(Failure.Message(), Failure.Reason);
        } catch (const std::exception& Failure) {
            ReportParseFailure(FailureMessage(Failure), FailureMessage(Failure));
        }
        // A port that failed is read no more; once the records it gave
        // before have all been delivered, its owner is told.
        if (Failed && RxedString.Length() == Before)
            LinkGone = true;
        for (const std::string& Summary : RepeatFilter.DueSummaries(Clock.MonotonicNow() * SecondsPerDay))
            ShowFailure(Summary);
        if (const auto Hint = FramingHint.Due(Clock.MonotonicNow() * SecondsPerDay))
            ShowFailure(*Hint);
        Pause(PassPauseMs);
        if (RxedString.Empty() || LinkGone)
            Pause(IdlePauseMs);
    }
}

void TPackMonCommsThread::ReadPort(TSerialPortReader& From) {
    char Block[ReadBlockSize];
    std::uint32_t BytesRead = 0;
    try {
        do {
            BytesRead = 0;
            From.ReadAvailable(Block, 1, ReadBlockSize, BytesRead);
            BytesRead = std::min(BytesRead, ReadBlockSize);
            if (BytesRead > 0) {
                RxedString.Append(Block, BytesRead);
                FramingHint.Arrived(std::string_view(Block, BytesRead), Clock.MonotonicNow() * SecondsPerDay);
            }
        } while (BytesRead > 0);
    } catch (const std::exception&) {
        // Records that arrived before the line went are still delivered.
        PortFailed = true;
    }
}

void TPackMonCommsThread::RunPass() {
    if (LinePort != nullptr && !PortFailed)
        ReadPort(*LinePort);
    TPackMonParserContext Context{DecodeState, *this, Clock, &LinesPassed};
    const std::size_t Before = RxedString.Length();
    // A record framed whole, good or bad, is what the framing hint waits
    // for; records cut short are what it may be about.
    struct TFramedCheck {
        TFramingHint& Hint;
        TPackMonParserContext& Context;
        ~TFramedCheck() {
            if (Context.Whole == 0)
                return;
            Hint.Framed();
            // Close enough for ResumeDecodeState: a pass takes milliseconds.
            Context.State.LastDataMonotonic = Context.Clock.MonotonicNow();
        }
    } Check{FramingHint, Context};
    ProcessRxedString(RxedString, LinePort != nullptr, Context);
    if (LinePort == nullptr && RxedString.Length() == Before && CompleteLastRecord(RxedString))
        ProcessRxedString(RxedString, false, Context);
}

void TPackMonCommsThread::ReportParseFailure(const std::string& Message, const std::string& Key) {
    if (RepeatFilter.Admit(Key, Clock.MonotonicNow() * SecondsPerDay))
        ShowFailure(Message);
}

void TPackMonCommsThread::ShowFailure(const std::string& Message) {
    LogText = Message;
    const double Time = Clock.LocalNow();
    try {
        HandOver.Synchronize([this, Time] {
            if (Sink.ErrorLine)
                Sink.ErrorLine(LogText, Time, "error");
        });
    } catch (const std::exception&) {
        // The Errors pane itself failed; there is nowhere left to report it.
    }
    // Through the hand-over, not a queued call: a thread stopped right after
    // the failure would take a queued beep away with it.
    try {
        HandOver.Synchronize([this] {
            if (Sink.FailureBeep)
                Sink.FailureBeep();
        });
    } catch (...) {
        // A beep that cannot sound is not worth another report.
    }
}

void TPackMonCommsThread::Pause(int Milliseconds) {
    std::unique_lock Guard(PauseLock);
    PauseWake.wait_for(Guard, std::chrono::milliseconds(Milliseconds), [this] { return Terminated(); });
}

void TPackMonCommsThread::PostReading(const TReadingRecord& Record) {
    Reading = Record;
    HandOver.Synchronize([this] {
        if (Sink.Reading)
            Sink.Reading(Reading);
    });
}

void TPackMonCommsThread::PostCommsLine(std::string_view Line) {
    LogText.assign(Line);
    HandOver.Synchronize([this] {
        if (Sink.CommsLine)
            Sink.CommsLine(LogText);
    });
}
