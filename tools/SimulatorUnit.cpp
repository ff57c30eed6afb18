// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatorUnit.h"

#include "SampleCaptureUnit.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace {

// Writes all of Text, pacing it at 128000 baud (10 bits a byte) when Paced.
bool WriteAll(int Fd, const std::string& Text, bool Paced, const std::atomic<bool>& StopRequested) {
    std::size_t Done = 0;
    while (Done < Text.size()) {
        const ssize_t Result = ::write(Fd, Text.data() + Done, Text.size() - Done);
        if (Result < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (StopRequested)
                    return false;
                continue;
            }
            return false;
        }
        Done += static_cast<std::size_t>(Result);
    }
    if (Paced)
        std::this_thread::sleep_for(std::chrono::microseconds(Text.size() * 10 * 1000000 / 128000));
    return true;
}

std::string Damaged(std::string Record, long Index, const TSimulatorOptions& Options) {
    if (Options.MalformedEvery > 0 && Index % Options.MalformedEvery == 0) {
        const std::size_t Field = Record.find(';', Record.find(';', Record.find(';') + 1) + 1);
        Record.insert(Field + 1, "x");
    }
    if (Options.DropLineEndEvery > 0 && Index % Options.DropLineEndEvery == 0)
        Record.resize(Record.size() - 2);
    if (Options.Noise)
        Record = "\x7f~" + Record;
    return Record;
}

// In short steps, so a stop is seen within a few tens of milliseconds.
void SleepUntil(std::chrono::steady_clock::time_point Until, const std::atomic<bool>& Stop) {
    while (!Stop && std::chrono::steady_clock::now() < Until)
        std::this_thread::sleep_until(
            std::min(Until, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
}

} // namespace

bool RunSimulatedMonitor(int Fd, const TSimulatorOptions& Options, const std::atomic<bool>& Stop) {
    TPackWaveform Pack;
    const bool Paced = Options.Fast;
    const auto Interval = std::chrono::milliseconds(Options.Fast ? 0 : Options.IntervalMs);
    bool Ok = true;
    if (Options.Bulk > 0) {
        Ok = WriteAll(Fd, "$STARTBULK;" + std::to_string(Options.Bulk) + ";10000\r\n", true, Stop);
        for (long I = 0; Ok && I < Options.Bulk && !Stop; ++I)
            Ok = WriteAll(Fd,
                          DataRecordLine(static_cast<std::size_t>(I), Pack.CellsAt(static_cast<std::size_t>(I) * 10)),
                          true, Stop);
        Ok = Ok && WriteAll(Fd, "$ENDBULK;" + std::to_string(Options.Bulk) + ";\r\n", true, Stop);
    }
    Ok =
        Ok && WriteAll(Fd, "$TIMEVALUE;" + std::to_string(Options.Fast ? 0 : Options.IntervalMs) + "\r\n", Paced, Stop);
    auto Next = std::chrono::steady_clock::now();
    for (long I = 0; Ok && !Stop; ++I) {
        if (Options.Records >= 0 && I >= Options.Records)
            break;
        if (Options.HangUpAfter >= 0 && I >= Options.HangUpAfter)
            break;
        std::string Record = DataRecordLine(static_cast<std::size_t>(I), Pack.CellsAt(static_cast<std::size_t>(I)));
        if (Options.Stamp) {
            const auto Now = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            const std::size_t Field3 = Record.find(';', 3) + 1; // after "$1;<sample>;"
            Record.replace(Field3, 1, std::to_string(Now.count()));
        }
        Ok = WriteAll(Fd, Damaged(Record, I + 1, Options), Paced, Stop);
        if (!Paced) {
            Next += Interval;
            SleepUntil(Next, Stop);
        }
    }
    while (Ok && Options.Hold && !Stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return Ok;
}
