// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for the acquisition side. Prints its figures; the targets
// are in the README's Performance section.
//   1. parser throughput over a 50 MB capture, hand-over discarded
//   2. cost of one pass at the start and near the end of a 100 MB buffer
//   3. round trip of a hand-over to an idle main thread

#include "MainThreadHandOverUnit.h"
#include "PackMonCommsThreadUnit.h"

#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point Start) { return std::chrono::duration<double>(Clock::now() - Start).count(); }

class TDiscardingSink : public TPackMonRecordSink {
  public:
    std::size_t Records = 0;
    double Checksum = 0.0;
    void PostCommsLine(std::string_view) override {}
    void PostReading(const TReadingRecord& Reading) override {
        ++Records;
        Checksum += Reading.BatteryVolts;
    }
};

// Records as the monitor sends them: an interval, then data lines.
std::string SyntheticCapture(std::size_t Bytes) {
    std::string Text = "$TIMEVALUE;1000\r\n";
    Text.reserve(Bytes + 128);
    unsigned Seed = 12345;
    while (Text.size() < Bytes) {
        Seed = Seed * 1103515245u + 12345u;
        Text += "$1;";
        Text += std::to_string(Text.size() % 100000);
        Text += ";0";
        int Battery = 0;
        for (int Cell = 0; Cell < 8; ++Cell) {
            const int Milli = 3600 + static_cast<int>((Seed >> (Cell * 3)) % 600);
            Battery += Milli;
            Text += ';';
            Text += std::to_string(Milli);
        }
        Text += ';';
        Text += std::to_string(Battery);
        Text += "\r\n";
    }
    return Text;
}

// Runs passes until the buffer holds no complete record; returns seconds.
double DrainAll(TRxedBuffer& Buffer, TPackMonParserContext& Context, TDiscardingSink& Sink) {
    const auto Start = Clock::now();
    std::size_t Before;
    do {
        Before = Sink.Records;
        ProcessRxedString(Buffer, false, Context);
    } while (Sink.Records != Before);
    return SecondsSince(Start);
}

void ParserThroughput() {
    const std::string Capture = SyntheticCapture(50u << 20);
    double Best = 1e9;
    std::size_t Records = 0;
    for (int Run = 0; Run < 3; ++Run) {
        TRxedBuffer Buffer(Capture);
        TPackMonDecodeState State;
        TDiscardingSink Sink;
        TPackMonParserContext Context{State, Sink, SystemClock()};
        Best = std::min(Best, DrainAll(Buffer, Context, Sink));
        Records = Sink.Records;
    }
    std::printf("parser throughput:   %.2f million records/s  (%zu records, %.1f MB/s, best of 3; target >= 2.0)\n",
                static_cast<double>(Records) / Best / 1e6, Records, static_cast<double>(Capture.size()) / Best / 1e6);
}

// Mean cost of Passes consecutive passes, in microseconds.
double TimePasses(TRxedBuffer& Buffer, TPackMonParserContext& Context, int Passes) {
    const auto Start = Clock::now();
    for (int I = 0; I < Passes; ++I)
        ProcessRxedString(Buffer, false, Context);
    return SecondsSince(Start) * 1e6 / Passes;
}

void PassCostAcrossTheBuffer() {
    std::string Capture = SyntheticCapture(MaxRxedStringLength - 4096);
    TRxedBuffer Buffer(std::move(Capture));
    TPackMonDecodeState State;
    TDiscardingSink Sink;
    TPackMonParserContext Context{State, Sink, SystemClock()};
    constexpr int Passes = 200;

    const std::size_t Total = Buffer.Length();
    const double AtStart = TimePasses(Buffer, Context, Passes);
    // Skip forward to the last percent without timing it.
    while (Buffer.Length() > Total / 100)
        ProcessRxedString(Buffer, false, Context);
    const double NearEnd = TimePasses(Buffer, Context, Passes);
    std::printf("pass cost:           %.2f us at the start, %.2f us near the end of a %.0f MB buffer"
                "  (ratio %.2f; target close to 1)\n",
                AtStart, NearEnd, static_cast<double>(Total) / 1e6, NearEnd / AtStart);
}

struct TTripFigures {
    double Median;
    double P99;
};

// Trips hand-overs that do nothing from a worker to this (main) thread,
// pausing Gap between them; a gap lets both threads fall asleep first.
TTripFigures HandOverTrips(QCoreApplication& App, int Trips, std::chrono::microseconds Gap) {
    QObject Context;
    TMainThreadHandOver HandOver(&Context);
    std::vector<double> Micros;
    Micros.reserve(Trips);

    std::thread Worker([&] {
        const std::function<void()> Nothing = [] {};
        for (int I = 0; I < Trips; ++I) {
            if (Gap.count() > 0)
                std::this_thread::sleep_for(Gap);
            const auto Start = Clock::now();
            HandOver.Synchronize(Nothing);
            Micros.push_back(SecondsSince(Start) * 1e6);
        }
        HandOver.MarkFinished();
        QMetaObject::invokeMethod(&App, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    App.exec();
    Worker.join();

    std::sort(Micros.begin(), Micros.end());
    return {Micros[Micros.size() / 2], Micros[Micros.size() * 99 / 100]};
}

void HandOverRoundTrip(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    const TTripFigures Burst = HandOverTrips(App, 20000, std::chrono::microseconds(0));
    std::printf("hand-over round trip: median %.1f us, 99th percentile %.1f us, back to back as in a replay"
                "  (target median <= 20; 5,000 records/s cost the main thread %.1f %%)\n",
                Burst.Median, Burst.P99, Burst.Median * 5000 / 1e4);
    const TTripFigures Cold = HandOverTrips(App, 1000, std::chrono::microseconds(1000));
    std::printf("hand-over round trip: median %.1f us, 99th percentile %.1f us, one at a time from idle\n", Cold.Median,
                Cold.P99);
}

} // namespace

int main(int Argc, char** Argv) {
    ParserThroughput();
    PassCostAcrossTheBuffer();
    HandOverRoundTrip(Argc, Argv);
    return 0;
}
