// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LiveSessionUnit.h"
#include "SeriesStoreUnit.h"
#include "SimulatorUnit.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

// The exit statuses of packmon-log, as its --help documents them.
constexpr int LogExitDone = 0;
constexpr int LogExitUsage = 2;
constexpr int LogExitPortCannotOpen = 3;
constexpr int LogExitJournalCannotBeWritten = 4;
constexpr int LogExitReportFailed = 5;

struct TLoggerOptions {
    std::string Port; // "COM3" or a device path; empty with Sim
    bool Sim = false;
    std::optional<std::chrono::milliseconds> Duration;
    std::string JournalFile; // empty: beside the settings file
    QString ReportFile;
    QString IniFileName; // empty: the window's
};

// "10s", "90m", "8h", "2d", "1h30m" or plain seconds; false for anything
// else, zero included.
bool ParseDuration(const std::string& Text, std::chrono::milliseconds& Value);
// False with Problem set for a command line that cannot be used.
bool ParseLoggerArguments(const QStringList& Words, TLoggerOptions& Options, std::string& Problem);

// "records 1234  rate 4.0/s  elapsed 0:05:08  lowest cell 5 3.197 V  highest
// cell 2 3.305 V  spread 0.108 V"
std::string LoggerStatusText(std::uint64_t Records, double Rate, double ElapsedSeconds, const TCellBalance& Balance);

// Logging without a window: the window's live session (serial layer, comms
// thread, reading consumer, balance figures, alarms, journal and
// publisher), with a status line on a terminal (at most twice a second) or
// one plain line a minute otherwise (as a service's log wants it).
// Errors-pane lines go to standard error.
class TLogger final : public QObject {
  public:
    explicit TLogger(TLoggerOptions AOptions);
    ~TLogger() override;
    // Opens the journal and the port and logs until Stop or the duration
    // ends; returns the exit status.
    int Run();
    // Ends the session cleanly (SIGINT, SIGTERM).
    void Stop();

  private:
    int Start();
    void Finish();
    int WriteReport();
    void StartSimulator();
    void ShowStatus(bool Final);
    void Say(const std::string& Line);

    TLoggerOptions Options;
    TProgramSeriesStore Store;
    std::unique_ptr<TLiveSession> Live;
    std::int64_t Session = 0;

    TSimulatedLine SimulatorLine;
    std::string SimulatorPath;
    std::atomic<bool> SimulatorStop{false};
    std::thread Simulator;

    bool Terminal = false;
    bool StatusShown = false;
    QTimer StatusTimer;
    std::chrono::steady_clock::time_point Started, LastPlainLine, LastRateTime;
    std::uint64_t Records = 0, LastRateRecords = 0;
    double Rate = 0.0;
};
