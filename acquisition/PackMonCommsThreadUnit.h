// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FramingHintUnit.h"
#include "MainThreadHandOverUnit.h"
#include "PackMonClockUnit.h"
#include "PackMonConstantsAndTypesUnit.h"
#include "RepeatedMessageFilterUnit.h"
#include "RxedBufferUnit.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class TSerialPortReader;

// ---------------------------------------------------------------------------
// Record protocol: "$", fields separated by ";", CR LF. Field 1 is the type.

constexpr int MaxRecordsPerPass = 100;
constexpr std::size_t MaxRxedStringLength = 0x6400000; // 100 MiB
constexpr std::uint32_t ReadBlockSize = 255;

// Turns data records into time stamps. All zero (wall-clock mode) when a
// comms thread starts.
struct TPackMonDecodeState {
    double SampleInterval = 0.0; // seconds; 0 while no interval is known
    std::uint32_t SampleCount = 0;
    double StartTime = 0.0;         // local date-time of the first data record (wall-clock mode)
    double StartMonotonic = 0.0;    // the same moment on the monotonic clock
    double LastDataMonotonic = 0.0; // when records last arrived on a live link
};

// A live link that came back after a hang-up goes on with the run it had:
// in wall-clock mode the clock carries on by itself; with a sample interval
// the count moves on by the intervals the link was away, so the readings
// after the gap stand at their true time instead of closing it up.
void ResumeDecodeState(TPackMonDecodeState& State, const TPackMonClock& Clock);

// Where a parser pass sends what it frames and decodes.
class TPackMonRecordSink {
  public:
    virtual ~TPackMonRecordSink();
    // A live record line, from its "$" up to its CR, for the Comms pane.
    virtual void PostCommsLine(std::string_view Line) = 0;
    virtual void PostReading(const TReadingRecord& Reading) = 0;
};

struct TPackMonParserContext {
    TPackMonDecodeState& State;
    TPackMonRecordSink& Sink;
    const TPackMonClock& Clock;
    // Lines of the capture passed so far, kept by the owner across passes so
    // that a failure can say where it stood; live, the records echoed.
    std::uint64_t* Lines = nullptr;
    // Records framed whole, up to their CR LF, good or not.
    std::uint64_t Whole = 0;
};

// A record that failed to decode, located: the failure's own message, then
// " (line N)" with the record's line in the capture.
class ERecordFailure : public EPackMonException {
  public:
    ERecordFailure(const std::string& AReason, std::uint64_t ALine)
        : EPackMonException(AReason + " (line " + std::to_string(ALine) + ")"), Reason(AReason), Line(ALine) {}
    std::string Reason;
    std::uint64_t Line;
};

// One parser pass over the receive buffer: frames at most MaxRecordsPerPass
// records, echoing each to the Comms pane when Echo is set and handing each
// decoded record over. A record leaves the buffer before it is decoded, so a
// record that fails to convert is reported once and the next pass goes on
// with the records after it. A "$" before the record's CR LF starts a new
// record: the one it cut short is echoed and reported as malformed, and the
// record that follows is not lost with it.
void ProcessRxedString(TRxedBuffer& Buffer, bool Echo, TPackMonParserContext& Context);
inline constexpr const char* CutRecordMessage = "Malformed record: cut short by the next \"$\"";

// At the end of a replay the text grows no more: a last record that lacks
// only its CR LF is completed, so it is delivered like the others. True when
// there was one.
bool CompleteLastRecord(TRxedBuffer& Buffer);

// The field starting at the 1-based Pos of Line; Pos moves past its ";".
void NextField(std::string_view Line, std::size_t& Pos, std::string_view& Field);

void DecodeData(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading, TPackMonDecodeState& State,
                const TPackMonClock& Clock);
void DecodeTimeValue(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading, TPackMonDecodeState& State);
void DecodeStartBulk(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading, TPackMonDecodeState& State);
void DecodeEndBulk(std::string_view Line, std::size_t& Pos, TReadingRecord& Reading);

// ---------------------------------------------------------------------------
// The comms thread.

// Where the comms thread hands what it reads; every call is made on the
// main thread, through the blocking hand-over. Each may be empty.
struct TCommsSink {
    // A live record line, from its "$" up to its CR, for the Comms pane.
    std::function<void(const std::string& Line)> CommsLine;
    // A failure the thread met, at Time (local date-time), kept as Kind.
    std::function<void(const std::string& Text, double Time, const char* Kind)> ErrorLine;
    std::function<void(const TReadingRecord& Reading)> Reading;
    // Once for each failure, after its line.
    std::function<void()> FailureBeep;
};

// Polls the port it is given, or replays a capture, through the record
// parser, and hands every line and reading to its sink on the main thread.
// Failures are logged and the thread carries on.
// The Errors line for a failure that is not a std::exception, which ends
// the comms thread.
inline constexpr const char* UnknownFailureMessage = "Unknown exception; the comms thread has stopped";

class TPackMonCommsThread final : public QThread, private TPackMonRecordSink {
  public:
    static constexpr int PassPauseMs = 20;
    static constexpr int IdlePauseMs = 200;

    // Starts running at once: reading APort (live, its records echoed), or
    // with none replaying Text, the whole capture. The port outlives the
    // thread. Resume carries on the run of a live link that came back (see
    // ResumeDecodeState).
    TPackMonCommsThread(TSerialPortReader* APort, std::string Text, TCommsSink ASink,
                        const TPackMonClock& AClock = SystemClock(), const TPackMonDecodeState* Resume = nullptr);
    ~TPackMonCommsThread() override;

    static std::unique_ptr<TPackMonCommsThread> Live(TSerialPortReader& Port, TCommsSink Sink,
                                                     const TPackMonDecodeState* Resume = nullptr);
    static std::unique_ptr<TPackMonCommsThread> Replay(std::string Text, TCommsSink Sink);

    void Terminate();
    bool Terminated() const { return TerminateRequested.load(); }
    // The port failed (the line went: an adapter pulled out, the far end
    // hung up). Every record read before has been delivered and the port is
    // read no more; whoever owns it says so, once, and may open it again.
    bool LinkLost() const { return LinkGone.load(); }
    // Where the decoding stood; read once the thread has stopped.
    const TPackMonDecodeState& DecodeStateNow() const { return DecodeState; }
    // Main thread: waits for the thread to end, running its hand-overs.
    void WaitFor();

    void PostReading(const TReadingRecord& Reading) override;

  protected:
    void run() override;

  private:
    void Execute();
    void RunPass();
    void ReadPort(TSerialPortReader& From);
    // Key groups repeats of one failure whatever line they stand on.
    void ReportParseFailure(const std::string& Message, const std::string& Key);
    void ShowFailure(const std::string& Message);
    void Pause(int Milliseconds);
    void PostCommsLine(std::string_view Line) override;

    TRxedBuffer RxedString;
    TSerialPortReader* const LinePort;
    const TCommsSink Sink;
    TPackMonDecodeState DecodeState;
    const TPackMonClock& Clock;
    TRepeatedMessageFilter RepeatFilter;
    std::uint64_t LinesPassed = 0;

    std::string LogText;
    TReadingRecord Reading;

    bool PortFailed = false;
    std::atomic<bool> LinkGone{false};
    TFramingHint FramingHint;
    TMainThreadHandOver HandOver;
    std::atomic<bool> TerminateRequested{false};
    std::mutex PauseLock;
    std::condition_variable PauseWake;
};
