// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for the reading path without a screen: the cost of one
// reading through the reading consumer into the series store, and the cost
// the cell-balance figures and the alarm checks add to it. Also what
// listing this machine's ports for the COMPort menu costs, which reads the
// open files of every process.

#include "AlarmsUnit.h"
#include "CellBalanceUnit.h"
#include "PortDiscoveryUnit.h"
#include "ReadingConsumerUnit.h"
#include "SeriesStoreUnit.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ReadingCount = 2000000;

std::vector<TReadingRecord> Readings() {
    std::vector<TReadingRecord> All(ReadingCount);
    for (int I = 0; I < ReadingCount; ++I) {
        TReadingRecord& R = All[static_cast<std::size_t>(I)];
        R.Kind = rkData;
        R.Time = I / 86400.0;
        R.BatteryVolts = 0;
        for (int C = 0; C < CellCount; ++C) {
            R.CellVolts[C] = 3.3 + 0.001 * ((I + C * 7) % 23);
            R.BatteryVolts += R.CellVolts[C];
        }
    }
    return All;
}

template <typename Setup> double NanosecondsPerReading(const std::vector<TReadingRecord>& All, Setup&& Attach) {
    TProgramSeriesStore Store;
    TReadingConsumer Consumer(Store);
    TCellBalance Balance;
    TAlarmMonitor Alarms(Balance);
    Attach(Consumer, Balance, Alarms);
    const auto Start = std::chrono::steady_clock::now();
    for (const TReadingRecord& R : All)
        Consumer.Consume(R);
    const std::chrono::duration<double, std::nano> Took = std::chrono::steady_clock::now() - Start;
    return Took.count() / static_cast<double>(All.size());
}

double MillisecondsPerListing(std::size_t& Ports) {
    int Monitor = -1, Device = -1;
    char Name[256] = {};
    ::openpty(&Monitor, &Device, Name, nullptr, nullptr);
    TPortTable Table;
    int Number = 1;
    for (const std::string& Path : SerialDevicesPresent())
        if (Number < 255)
            Table.Pin(static_cast<std::uint8_t>(Number++), Path);
    Table.Pin(255, Name);
    constexpr int Rounds = 50;
    const auto Start = std::chrono::steady_clock::now();
    for (int I = 0; I < Rounds; ++I)
        Ports = ListPorts(Table, Name).size();
    const std::chrono::duration<double, std::milli> Took = std::chrono::steady_clock::now() - Start;
    ::close(Monitor);
    ::close(Device);
    return Took.count() / Rounds;
}

std::size_t ProcessCount() {
    std::size_t Count = 0;
    std::error_code Failed;
    for (const auto& Entry : std::filesystem::directory_iterator("/proc", Failed))
        Count += Entry.path().filename().string().find_first_not_of("0123456789") == std::string::npos ? 1 : 0;
    return Count;
}

} // namespace

int main() {
    const std::vector<TReadingRecord> All = Readings();
    // The first run pays for the store's first pages; it is not counted.
    NanosecondsPerReading(All, [](auto&, auto&, auto&) {});
    const double Plain = NanosecondsPerReading(All, [](auto&, auto&, auto&) {});
    const double WithBalance = NanosecondsPerReading(All, [](TReadingConsumer& C, TCellBalance& B, TAlarmMonitor& A) {
        TAlarmLimits Limits;
        Limits.CellLow = 3.0;
        Limits.CellHigh = 3.65;
        Limits.SpreadHigh = 0.5;
        A.SetLimits(Limits);
        C.AddObserver(B);
        C.AddObserver(A);
    });
    std::printf("reading consumer:     %.0f ns a reading into the series store (2,000,000 readings)\n", Plain);
    std::printf("balance and alarms:   %.0f ns a reading on top, every alarm on  (target <= 1,000 ns)\n",
                WithBalance - Plain);
    std::size_t Ports = 0;
    const double Listing = MillisecondsPerListing(Ports);
    std::printf("port listing:         %.1f ms for the COMPort menu (%zu ports, %zu processes looked at)\n", Listing,
                Ports, ProcessCount());
    return 0;
}
