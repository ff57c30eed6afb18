// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventLoopSupport.h"
#include "MiscellaneousRoutinesUnit.h"
#include "PackMonCommsThreadUnit.h"
#include "SerialPortReaderUnit.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A port fed by the test. It notes, at the end of each drain, how many
// readings the window had received, which marks where each pass began.
class TFakePort : public TSerialPortReader {
  public:
    explicit TFakePort(std::string Text = {}) : Queued(std::move(Text)) {}

    void ReadAvailable(void* Buffer, std::uint32_t MinBytes, std::uint32_t MaxBytes,
                       std::uint32_t& BytesRead) override {
        std::lock_guard Guard(Lock);
        ++Reads;
        ReadTimes.push_back(Clock::now());
        Changed.notify_all();
        if (ThrowForeign)
            throw 42;
        if (FailuresLeft > 0) {
            --FailuresLeft;
            throw EPackMonException("port failed");
        }
        if (HangsUpWhenEmpty && Queued.empty())
            throw EPackMonException("line gone");
        std::size_t Count = std::min<std::size_t>(MaxBytes, Queued.size());
        if (Count < MinBytes)
            Count = 0;
        std::memcpy(Buffer, Queued.data(), Count);
        Queued.erase(0, Count);
        BytesRead = static_cast<std::uint32_t>(Count);
        if (Count == 0 && DeliveredSoFar != nullptr)
            PassStarts.push_back(*DeliveredSoFar);
    }

    void WaitForReads(int Count) {
        std::unique_lock Guard(Lock);
        Changed.wait(Guard, [&] { return Reads >= Count; });
    }

    bool HangsUpWhenEmpty = false;
    std::mutex Lock;
    std::condition_variable Changed;
    std::string Queued;
    int Reads = 0;
    int FailuresLeft = 0;
    bool ThrowForeign = false;
    std::vector<Clock::time_point> ReadTimes;
    const std::atomic<std::size_t>* DeliveredSoFar = nullptr;
    std::vector<std::size_t> PassStarts;
};

struct TLogEntry {
    QObject* Memo;
    std::string Text;
    double Time;
    bool IsError;
};

class TFakeForm {
  public:
    QObject CommsPane;
    QObject ErrorsPane;
    TSerialPortReader* Port = nullptr;
    std::vector<TLogEntry> Log;
    std::vector<TReadingRecord> Readings;
    std::vector<std::string> Events; // "L <line>" and "R <index>", in arrival order
    std::atomic<std::size_t> Delivered{0};
    int Beeps = 0;
    std::function<void(const TReadingRecord&)> OnReading;

    TCommsSink Sink() {
        return {[this](const std::string& Line) { TakeCommsLine(Line); },
                [this](const std::string& Text, double Time, const char* Kind) { TakeErrorLine(Text, Time, Kind); },
                [this](const TReadingRecord& Reading) { TakeReading(Reading); }, [this] { ++Beeps; }};
    }
    void TakeCommsLine(const std::string& Line) {
        Log.push_back({&CommsPane, Line, 0.0, false});
        Events.push_back("L " + Line);
    }
    void TakeErrorLine(const std::string& Text, double Time, const char*) {
        Log.push_back({&ErrorsPane, Text, Time, true});
    }
    void TakeReading(const TReadingRecord& Reading) {
        if (OnReading)
            OnReading(Reading);
        Readings.push_back(Reading);
        Events.push_back("R " + std::to_string(RecordIndex(Reading)));
        ++Delivered;
    }

    std::vector<TLogEntry> Errors() const {
        std::vector<TLogEntry> Found;
        std::copy_if(Log.begin(), Log.end(), std::back_inserter(Found),
                     [this](const TLogEntry& E) { return E.Memo == &ErrorsPane; });
        return Found;
    }
};

// Reading Form's port, or replaying Text when it has none.
std::unique_ptr<TPackMonCommsThread> StartThread(std::string Text, TFakeForm& Form) {
    return std::make_unique<TPackMonCommsThread>(Form.Port, std::move(Text), Form.Sink());
}

void ExpectInOrder(const std::vector<TReadingRecord>& Readings, int First, int Count) {
    ASSERT_EQ(Readings.size(), static_cast<std::size_t>(Count));
    for (int I = 0; I < Count; ++I)
        ASSERT_EQ(RecordIndex(Readings[I]), First + I) << "at " << I;
}

// --- Delivery ----------------------------------------------------------------

TEST(CommsThread, ReplayIsDeliveredInOrderWithoutEchoOverSeveralPasses) {
    TFakeForm Form;
    const auto Started = Clock::now();
    auto Thread = StartThread(NumberedRecords(1, 1000), Form);
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() == 1000; }));
    const auto Took = Clock::now() - Started;
    StopAndFreeThread(Thread);

    ExpectInOrder(Form.Readings, 1, 1000);
    EXPECT_TRUE(Form.Log.empty()) << "replayed lines are already in the Comms pane";
    // Ten slices of a hundred, each followed by a 20 ms pause.
    EXPECT_GE(Took, 9 * 20ms);
}

TEST(CommsThread, ReplayDeliversALastRecordThatLacksItsLineEnd) {
    TFakeForm Form;
    std::string Text = NumberedRecords(1, 3);
    Text.resize(Text.size() - 2);
    auto Thread = StartThread(Text, Form);
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() == 3; }));
    StopAndFreeThread(Thread);
    ExpectInOrder(Form.Readings, 1, 3);
    EXPECT_TRUE(Form.Errors().empty());
}

TEST(CommsThread, LiveBurstIsEchoedBeforeEachReadingInSlicesOfAHundred) {
    TFakeForm Form;
    TFakePort Port(NumberedRecords(1, 250));
    Port.DeliveredSoFar = &Form.Delivered;
    Form.Port = &Port;
    auto Thread = StartThread({}, Form);
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() == 250; }));
    StopAndFreeThread(Thread);

    ExpectInOrder(Form.Readings, 1, 250);
    ASSERT_EQ(Form.Events.size(), 500u);
    for (int I = 0; I < 250; ++I) {
        EXPECT_EQ(Form.Events[2 * I], "L " + NumberedRecord(I + 1).substr(0, NumberedRecord(I + 1).size() - 2));
        EXPECT_EQ(Form.Events[2 * I + 1], "R " + std::to_string(I + 1));
    }
    std::lock_guard Guard(Port.Lock);
    ASSERT_GE(Port.PassStarts.size(), 3u);
    EXPECT_EQ(std::vector<std::size_t>(Port.PassStarts.begin(), Port.PassStarts.begin() + 3),
              (std::vector<std::size_t>{0, 100, 200}));
}

TEST(CommsThread, RecordArrivingInTwoPiecesIsDeliveredOnce) {
    TFakeForm Form;
    TFakePort Port;
    Form.Port = &Port;
    const std::string Record = NumberedRecord(7);
    {
        std::lock_guard Guard(Port.Lock);
        Port.Queued = Record.substr(0, 10);
    }
    auto Thread = StartThread({}, Form);
    Port.WaitForReads(3);
    {
        std::lock_guard Guard(Port.Lock);
        Port.Queued += Record.substr(10);
    }
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() == 1; }));
    ServeFor(300ms);
    StopAndFreeThread(Thread);
    ExpectInOrder(Form.Readings, 7, 1);
}

// --- Failures ----------------------------------------------------------------

TEST(CommsThread, ConversionFailureInABurstIsReportedOnceAndTheRestArriveNextPass) {
    TFakeForm Form;
    TFakeClock FakeClock;
    const std::string Text = NumberedRecords(1, 4) + "$1;0;0;bad;1;1;1;1;1;1;1;1\r\n" + NumberedRecords(5, 4);
    TPackMonCommsThread Thread(nullptr, Text, Form.Sink(), FakeClock);
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() == 8 && Form.Beeps == 1; }));
    ServeFor(100ms);
    Thread.Terminate();
    Thread.WaitFor();

    ExpectInOrder(Form.Readings, 1, 8);
    const auto Errors = Form.Errors();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0].Text, "'bad' is not a valid integer value (line 5)") << "the message first, then where";
    EXPECT_EQ(Errors[0].Time, FakeClock.Local);
    EXPECT_TRUE(Errors[0].IsError);
    EXPECT_EQ(Form.Beeps, 1) << "the thread's own beep, after the pane's";
}

TEST(CommsThread, FailureRaisedByTheWindowIsCarriedBackAndLoggingGoesOn) {
    TFakeForm Form;
    Form.OnReading = [](const TReadingRecord& Reading) {
        if (RecordIndex(Reading) == 3)
            throw EPackMonException("cannot plot");
    };
    auto Thread = StartThread(NumberedRecords(1, 6), Form);
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() == 5 && !Form.Errors().empty(); }));
    StopAndFreeThread(Thread);

    ASSERT_EQ(Form.Errors().size(), 1u);
    EXPECT_EQ(Form.Errors()[0].Text, "cannot plot");
    std::vector<int> Indexes;
    for (const auto& R : Form.Readings)
        Indexes.push_back(RecordIndex(R));
    EXPECT_EQ(Indexes, (std::vector<int>{1, 2, 4, 5, 6}));
}

TEST(CommsThread, FailedPortIsReadNoMoreAndLeftForItsOwnerToReport) {
    TFakeForm Form;
    TFakePort Port;
    Port.FailuresLeft = 1000;
    Form.Port = &Port;
    auto Thread = StartThread({}, Form);
    ASSERT_TRUE(ServeUntil([&] { return Thread->LinkLost(); }));
    ServeFor(300ms);
    StopAndFreeThread(Thread);
    EXPECT_TRUE(Form.Errors().empty()) << "an unplugged adapter must not fill the Errors pane";
    std::lock_guard Guard(Port.Lock);
    EXPECT_EQ(Port.Reads, 1);
}

TEST(CommsThread, RecordsReadBeforeTheLineWentAreAllDeliveredBeforeTheLinkCountsAsLost) {
    TFakeForm Form;
    TFakePort Port(NumberedRecords(1, 250));
    Port.HangsUpWhenEmpty = true;
    Form.Port = &Port;
    auto Thread = StartThread({}, Form);
    std::size_t DeliveredWhenLost = 0;
    ASSERT_TRUE(ServeUntil([&] {
        DeliveredWhenLost = Form.Readings.size();
        return Thread->LinkLost();
    }));
    StopAndFreeThread(Thread);
    EXPECT_EQ(DeliveredWhenLost, 250u);
    ExpectInOrder(Form.Readings, 1, 250);
}

TEST(CommsThread, DollarInsideARecordStartsTheNextOneAndTheCutRecordIsReported) {
    TFakeForm Form;
    const std::string Cut = NumberedRecord(1).substr(0, 12);
    TFakePort Port(Cut + NumberedRecord(2) + Cut + Cut + NumberedRecord(3));
    Form.Port = &Port;
    auto Thread = StartThread({}, Form);
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() == 2 && Form.Errors().size() == 3; }));
    StopAndFreeThread(Thread);
    ExpectInOrder(Form.Readings, 2, 2);
    std::vector<std::string> Errors;
    for (const auto& Error : Form.Errors())
        Errors.push_back(Error.Text);
    const std::string Said = "Malformed record: cut short by the next \"$\" (line ";
    EXPECT_EQ(Errors, (std::vector<std::string>{Said + "1)", Said + "3)", Said + "4)"}));
    EXPECT_EQ(Form.Events.front(), "L " + Cut) << "the Comms pane shows what arrived";
}

TEST(CommsThread, ResumedRunCountsTheIntervalsTheLinkWasAway) {
    TFakeClock Time;
    TPackMonDecodeState State;
    State.SampleInterval = 1.0;
    State.SampleCount = 10;
    State.LastDataMonotonic = Time.MonotonicNow();
    Time.AdvanceSeconds(30.0);
    ResumeDecodeState(State, Time);
    EXPECT_EQ(State.SampleCount, 39u) << "the next record stands 30 s after the last, at count 39";
    TPackMonDecodeState WallClock;
    WallClock.SampleCount = 10;
    ResumeDecodeState(WallClock, Time);
    EXPECT_EQ(WallClock.SampleCount, 10u);
}

// A clock the test moves while the comms thread reads it.
class TSharedClock : public TPackMonClock {
  public:
    std::atomic<double> Monotonic{1000.0};
    double LocalNow() const override { return 45356.5; }
    double MonotonicNow() const override { return Monotonic; }
};

TEST(CommsThread, BytesThatNeverFrameARecordGiveOneHintInTheErrorsPane) {
    TFakeForm Form;
    TFakePort Port("$1;2;3\n");
    Form.Port = &Port;
    TSharedClock Time;
    TPackMonCommsThread Thread(Form.Port, {}, Form.Sink(), Time);
    Port.WaitForReads(2);
    Time.Monotonic = Time.Monotonic + 6.0 / SecondsPerDay;
    {
        std::lock_guard Guard(Port.Lock);
        Port.Queued = "$1;2;3\n";
    }
    const auto Hints = [&] {
        const auto Errors = Form.Errors();
        return std::count_if(Errors.begin(), Errors.end(),
                             [](const TLogEntry& E) { return E.Text.rfind("Bytes have arrived for 6 s", 0) == 0; });
    };
    ASSERT_TRUE(ServeUntil([&] { return Hints() == 1; })) << "records cut short do not count as framed";
    ServeFor(100ms);
    Thread.Terminate();
    Thread.WaitFor();
    EXPECT_EQ(Hints(), 1);
}

TEST(FramingHint, BytesWithoutARecordGiveOneLineWithTheLikelyCauseAtMostOnceAMinute) {
    TFramingHint Hint;
    Hint.Arrived("$1;2;3\n$1;2;3\n", 0.0);
    EXPECT_FALSE(Hint.Due(4.0));
    Hint.Arrived("$1;2;3\n", 5.0);
    EXPECT_EQ(Hint.Due(5.0).value_or(""), "Bytes have arrived for 5 s without one record: likely the wrong line ending "
                                          "(records end with CR LF; these end with LF alone). First bytes: 24 31 3B "
                                          "32 3B 33 0A 24 31 3B 32 3B 33 0A 24 31");
    Hint.Arrived("x", 30.0);
    EXPECT_FALSE(Hint.Due(30.0));
    Hint.Framed();
    Hint.Arrived("\xf0\x83\x9e\x00", 40.0);
    Hint.Arrived("\xf0", 66.0);
    EXPECT_EQ(Hint.Due(66.0).value_or("").substr(0, 76),
              "Bytes have arrived for 26 s without one record: likely the wrong speed (the ");
    Hint.Framed();
    Hint.Arrived("x", 70.0);
    Hint.Arrived("x", 80.0);
    EXPECT_FALSE(Hint.Due(80.0)) << "a minute has not passed since the last hint";
}

TEST(CommsThread, ReplayOverTheBufferLimitDeliversNothing) {
    TFakeForm Form;
    std::string Text = NumberedRecords(1, 10);
    Text.resize(MaxRxedStringLength + 1, 'x');
    auto Thread = StartThread(std::move(Text), Form);
    ASSERT_TRUE(ServeUntil([&] { return !Form.Errors().empty(); }));
    ServeFor(300ms);
    StopAndFreeThread(Thread);
    EXPECT_TRUE(Form.Readings.empty());
    ASSERT_EQ(Form.Errors().size(), 1u);
    EXPECT_EQ(Form.Errors()[0].Text, "RxedString too long");
}

TEST(CommsThread, UnexpectedFailureEndsOnlyTheThread) {
    TFakeForm Form;
    TFakePort Port;
    Port.ThrowForeign = true;
    Form.Port = &Port;
    auto Thread = StartThread({}, Form);
    ASSERT_TRUE(ServeUntil([&] { return Thread->isFinished(); }));
    StopAndFreeThread(Thread);
    EXPECT_EQ(Thread, nullptr);
    ASSERT_EQ(Form.Errors().size(), 1u) << "the user is told the thread stopped";
    EXPECT_EQ(Form.Errors()[0].Text, UnknownFailureMessage);
    EXPECT_EQ(Form.Beeps, 1);
}

TEST(CommsThread, BeepOfAFailureIsNotLostWhenTheThreadStopsRightAfterIt) {
    TFakeForm Form;
    auto Thread = StartThread("$1;0;0;bad;1;1;1;1;1;1;1;1\r\n", Form);
    ASSERT_TRUE(ServeUntil([&] { return !Form.Errors().empty(); }));
    StopAndFreeThread(Thread);
    EXPECT_EQ(Form.Beeps, 1);
}

// --- Stopping ----------------------------------------------------------------

TEST(CommsThread, StoppingMidBurstFinishesThePassAndDeliversNothingAfterwards) {
    TFakeForm Form;
    auto Thread = StartThread(NumberedRecords(1, 1000), Form);
    ASSERT_TRUE(ServeUntil([&] { return !Form.Readings.empty(); }));
    StopAndFreeThread(Thread);

    const std::size_t AtStop = Form.Readings.size();
    EXPECT_EQ(AtStop % 100, 0u) << "a pass is never cut short";
    ServeFor(300ms);
    EXPECT_EQ(Form.Readings.size(), AtStop);
    ExpectInOrder(Form.Readings, 1, static_cast<int>(AtStop));
}

TEST(CommsThread, StoppingWhileTheThreadWaitsInAHandOverDoesNotDeadlock) {
    TFakeForm Form;
    TFakePort Port(NumberedRecords(1, 300));
    Form.Port = &Port;
    auto Thread = StartThread({}, Form);
    // The first pass has started and will block in its first hand-over,
    // because this thread serves no events before stopping it.
    Port.WaitForReads(1);
    std::this_thread::sleep_for(50ms);
    StopAndFreeThread(Thread);

    ExpectInOrder(Form.Readings, 1, 100);
    EXPECT_EQ(Form.Log.size(), 100u);
    ServeFor(100ms); // wake-ups queued for the freed thread must be dropped
    EXPECT_EQ(Form.Readings.size(), 100u);
}

TEST(CommsThread, IdleOpenPortIsPolledAboutFiveTimesASecond) {
    TFakeForm Form;
    TFakePort Port;
    Form.Port = &Port;
    auto Thread = StartThread({}, Form);
    ServeFor(500ms);
    StopAndFreeThread(Thread);
    std::lock_guard Guard(Port.Lock);
    EXPECT_GE(Port.Reads, 1);
    EXPECT_LE(Port.Reads, 3);
    EXPECT_TRUE(Form.Readings.empty());
}

TEST(StopAndFreeThread, EmptyReferenceIsLeftAlone) {
    std::unique_ptr<TPackMonCommsThread> Thread;
    StopAndFreeThread(Thread);
    EXPECT_EQ(Thread, nullptr);
}

} // namespace
