// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program: live logging from the simulated monitor through a
// pseudo-terminal into the real window, which it runs on the X server it is
// given (scripts/under-xvfb.sh starts one). By default at the full line
// rate (about 220 records a second) for 60 seconds. The environment changes
// that:
//   PACKMON_LIVE_RATE=N      N records a second instead (a long run compressed)
//   PACKMON_LIVE_SECONDS=S   run about S seconds
//   PACKMON_LIVE_RECORDS=N   or exactly N records
//   PACKMON_LIVE_WINDOW=S    the first and last stretch compared, in seconds (60)
// It prints the records sent and received, the CPU per 1,000 records and
// the share of a core in the first and in the last stretch, the memory per
// record, the latency from the simulator's write to HandleReading, and the
// longest the main thread was ever blocked.

#include "BenchSupport.h"
#include "FileStreamUnit.h"
#include "MainFormUnit.h"
#include "PackMonApplicationUnit.h"
#include "SerialCommUnit.h"

#include <QEventLoop>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

long long NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// The window, noting when each record's echo and reading arrive.
class TTimedForm : public TPackMonMainForm {
  public:
    using TPackMonMainForm::TPackMonMainForm;
    std::size_t DataRecords = 0;
    std::size_t Errors = 0;
    long long LastStamp = 0;
    // Latencies by whole milliseconds: millions of records must not cost
    // the memory the run measures.
    std::vector<std::size_t> LatencyMs = std::vector<std::size_t>(10001);

    void LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError) override {
        if (IsError)
            ++Errors;
        // "$1;<sample>;<sent at>;..."
        else if (Text.rfind("$1;", 0) == 0)
            LastStamp = std::atoll(Text.c_str() + Text.find(';', 3) + 1);
        TPackMonMainForm::LogLine(Memo, Text, Time, IsError);
    }
    void HandleReading(const TReadingRecord& Reading) override {
        if (Reading.Kind == rkData) {
            ++DataRecords;
            const long long Ms = (NowMicros() - LastStamp) / 1000;
            ++LatencyMs[static_cast<std::size_t>(std::clamp(Ms, 0LL, 10000LL))];
        }
        TPackMonMainForm::HandleReading(Reading);
    }
    void Beep() override {}
};

struct TSample {
    double Wall;
    double Cpu;
    std::size_t Records;
    long Kb;
};

double Percentile(const std::vector<std::size_t>& Histogram, double P) {
    std::size_t Total = 0;
    for (const std::size_t N : Histogram)
        Total += N;
    std::size_t Seen = 0;
    for (std::size_t Ms = 0; Ms < Histogram.size(); ++Ms)
        if ((Seen += Histogram[Ms]) > static_cast<std::size_t>(P * static_cast<double>(Total)))
            return static_cast<double>(Ms);
    return 0;
}

// The samples at the start and the end of the stretch of Window seconds
// that begins (or, from the end, finishes) at the sample At.
std::pair<TSample, TSample> Stretch(const std::vector<TSample>& Samples, std::size_t At, double Window, bool Forward) {
    const TSample& Edge = Samples[At];
    if (Forward) {
        for (std::size_t I = At; I < Samples.size(); ++I)
            if (Samples[I].Wall - Edge.Wall >= Window)
                return {Edge, Samples[I]};
        return {Edge, Samples.back()};
    }
    for (std::size_t I = At + 1; I-- > 0;)
        if (Edge.Wall - Samples[I].Wall >= Window)
            return {Samples[I], Edge};
    return {Samples.front(), Edge};
}

void PrintStretch(const char* Name, const std::pair<TSample, TSample>& Range) {
    const double Records = static_cast<double>(Range.second.Records - Range.first.Records);
    const double Cpu = Range.second.Cpu - Range.first.Cpu;
    std::printf("live CPU, %s:  %.0f s, %.0f records, %.2f ms of CPU per 1,000 records, %.1f %% of one core\n", Name,
                Range.second.Wall - Range.first.Wall, Records, Records > 0 ? 1e6 * Cpu / Records : 0.0,
                100.0 * Cpu / std::max(Range.second.Wall - Range.first.Wall, 1e-9));
}

} // namespace

int main(int Argc, char** Argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "run it on an X server: sh scripts/under-xvfb.sh %s\n", Argv[0]);
        return 2;
    }
    TPackMonApplication App(Argc, Argv);
    const int Rate = EnvironmentInt("PACKMON_LIVE_RATE", 0);
    const int Seconds = EnvironmentInt("PACKMON_LIVE_SECONDS", 60);
    const int Records = EnvironmentInt("PACKMON_LIVE_RECORDS", Seconds * (Rate > 0 ? Rate : 220));
    const double Window = EnvironmentInt("PACKMON_LIVE_WINDOW", 60);
    QTemporaryDir Dir;
    const TPackMonFileLocations Files = LocateFiles(Dir.filePath("PackMon"), true, {}, {});

    QStringList Arguments = {"--stamp",   "--hold",          "--records", QString::number(Records),
                             "--map-ini", Files.IniFileName, "--com",     "222"};
    Arguments << (Rate > 0 ? QStringList{"--rate", QString::number(Rate)} : QStringList{"--fast"});
    QProcess Simulator;
    Simulator.start(QString::fromUtf8(PACKMON_SIMULATOR), Arguments);
    if (!Simulator.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    Simulator.readLine();

    TTimedForm Form(Files);
    Form.resize(1280, 800);
    Form.show();
    Form.COMPortClick();
    QAction* Port = nullptr;
    for (QAction* Item : Form.findChild<QMenu*>("COMPort")->actions())
        if (Item->text() == "COM222")
            Port = Item;
    if (Port == nullptr) {
        std::fprintf(stderr, "COM222 is not listed\n");
        return 1;
    }
    // The main thread's longest stall: a timer that should fire every 10 ms.
    double LongestStallMs = 0;
    auto LastTick = Clock::now();
    QTimer Watchdog;
    QObject::connect(&Watchdog, &QTimer::timeout, [&] {
        const auto Now = Clock::now();
        LongestStallMs =
            std::max(LongestStallMs, std::chrono::duration<double, std::milli>(Now - LastTick).count() - 10);
        LastTick = Now;
    });
    const auto Start = Clock::now();
    const auto Sample = [&] {
        return TSample{std::chrono::duration<double>(Clock::now() - Start).count(), CpuSeconds(), Form.DataRecords,
                       ResidentKb()};
    };
    std::vector<TSample> Samples{Sample()};
    Port->trigger();
    Watchdog.start(10);

    QEventLoop Loop;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, &Loop, [&] {
        Samples.push_back(Sample());
        const bool Done = Form.DataRecords >= static_cast<std::size_t>(Records);
        const double Expected = Rate > 0 ? static_cast<double>(Records) / Rate : Records / 220.0;
        const bool Stalled = Samples.back().Wall > Expected * 2 + 10;
        if (Done || Stalled)
            Loop.quit();
    });
    Poll.start(1000);
    Loop.exec();
    Samples.push_back(Sample());

    // The run proper starts with the first reading; the memory baseline a
    // few seconds later, once the window has settled.
    std::size_t First = 0;
    while (First + 1 < Samples.size() && Samples[First].Records == 0)
        ++First;
    const TSample& Baseline = Samples[std::min(First + 3, Samples.size() - 1)];
    const TSample& End = Samples.back();
    std::printf("live logging:         %d records sent at %s over %.0f s, %zu received, %lld lost  (target 0)\n",
                Records, Rate > 0 ? (std::to_string(Rate) + " a second").c_str() : "the line rate",
                End.Wall - Samples[First].Wall, Form.DataRecords,
                static_cast<long long>(Records) - static_cast<long long>(Form.DataRecords));
    const auto Early = Stretch(Samples, First, Window, true);
    const auto Late = Stretch(Samples, Samples.size() - 1, Window, false);
    PrintStretch("first", Early);
    PrintStretch("last ", Late);
    const auto PerRecord = [](const std::pair<TSample, TSample>& R) {
        return (R.second.Cpu - R.first.Cpu) /
               std::max<double>(static_cast<double>(R.second.Records - R.first.Records), 1);
    };
    std::printf("live CPU growth:      last / first per record %.2f  (target <= 1.25)\n",
                PerRecord(Late) / std::max(PerRecord(Early), 1e-12));
    const double Grown = static_cast<double>(End.Records - Baseline.Records);
    std::printf("live memory:          %.0f MB resident at the end, %.1f bytes a record over the last %.0f records"
                "  (target <= 110)\n",
                static_cast<double>(End.Kb) / 1024.0,
                Grown > 0 ? static_cast<double>(End.Kb - Baseline.Kb) * 1024.0 / Grown : 0.0, Grown);
    std::printf("live latency:         median %.0f ms, 99th percentile %.0f ms from the write to HandleReading\n",
                Percentile(Form.LatencyMs, 0.5), Percentile(Form.LatencyMs, 0.99));
    std::printf("main thread:          blocked at most %.0f ms at a time  (target <= 100 ms)\n", LongestStallMs);
    Simulator.terminate();
    Simulator.waitForFinished(5000);
    return Form.Errors == 0 ? 0 : 1;
}
