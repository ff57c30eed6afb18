// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program: live logging from the simulated monitor at the full line
// rate (about 200 records a second) through a pseudo-terminal into the
// window, for 60 seconds (PACKMON_LIVE_SECONDS to change it; 1800 makes the
// 30-minute soak run). Prints records lost, the latency from the
// simulator's write to HandleReading, the CPU the window's process used,
// its memory growth and the longest the main thread was ever blocked.

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

long BaselineKb = 0;

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
    std::vector<double> LatencyMs;

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
            LatencyMs.push_back(static_cast<double>(NowMicros() - LastStamp) / 1000.0);
        }
        TPackMonMainForm::HandleReading(Reading);
    }
    void Beep() override {}
};

} // namespace

int main(int Argc, char** Argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TPackMonApplication App(Argc, Argv);
    const int Seconds =
        qEnvironmentVariableIsSet("PACKMON_LIVE_SECONDS") ? qEnvironmentVariableIntValue("PACKMON_LIVE_SECONDS") : 60;
    const int Records = Seconds * 220;
    QTemporaryDir Dir;
    const TPackMonFileLocations Files = LocateFiles(Dir.filePath("PackMon"), true, {}, {});

    QProcess Simulator;
    Simulator.start(QString::fromUtf8(PACKMON_SIMULATOR),
                    {"--fast", "--stamp", "--hold", "--records", QString::number(Records), "--map-ini",
                     Files.IniFileName, "--com", "222"});
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
    const double CpuBefore = CpuSeconds();
    const auto Start = Clock::now();
    Port->trigger();
    QTimer::singleShot(2000, [&] { BaselineKb = ResidentKb(); });
    Watchdog.start(10);

    QEventLoop Loop;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, &Loop, [&] {
        const bool Done = Form.DataRecords >= static_cast<std::size_t>(Records);
        const bool Stalled = Clock::now() - Start > std::chrono::seconds(Seconds * 2 + 10);
        if (Done || Stalled)
            Loop.quit();
    });
    Poll.start(100);
    Loop.exec();
    const double Wall = std::chrono::duration<double>(Clock::now() - Start).count();
    const double Cpu = CpuSeconds() - CpuBefore;
    const long EndKb = ResidentKb();

    std::vector<double> Sorted = Form.LatencyMs;
    std::sort(Sorted.begin(), Sorted.end());
    const auto Percentile = [&](double P) {
        return Sorted.empty() ? 0.0
                              : Sorted[std::min(Sorted.size() - 1,
                                                static_cast<std::size_t>(P * static_cast<double>(Sorted.size())))];
    };
    std::printf("live logging:         %d records sent at the line rate over %.0f s, %zu delivered, %lld lost"
                "  (target 0)\n",
                Records, Wall, Form.DataRecords,
                static_cast<long long>(Records) - static_cast<long long>(Form.DataRecords));
    std::printf("live latency:         median %.0f ms, 99th percentile %.0f ms, longest %.0f ms from the write to"
                " HandleReading  (target p99 <= 300 ms)\n",
                Percentile(0.5), Percentile(0.99), Sorted.empty() ? 0.0 : Sorted.back());
    std::printf("live CPU:             %.1f %% of one core for the window and its comms thread  (target <= 5 %%)\n",
                100.0 * Cpu / Wall);
    std::printf("live memory:          %+.1f MB over the run after the first 2 s, %+.1f MB an hour"
                " (the chart and the Comms pane keep every record)\n",
                static_cast<double>(EndKb - BaselineKb) / 1024.0,
                static_cast<double>(EndKb - BaselineKb) / 1024.0 * 3600.0 / std::max(Wall - 2.0, 1.0));
    std::printf("main thread:          blocked at most %.0f ms at a time  (target <= 100 ms)\n", LongestStallMs);
    Simulator.terminate();
    Simulator.waitForFinished(5000);
    return Form.Errors == 0 ? 0 : 1;
}
