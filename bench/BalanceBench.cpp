// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for the reading path without a screen: the cost of one
// reading through the reading consumer into the series store, and the cost
// the cell-balance figures and the alarm checks add to it.

#include "AlarmsUnit.h"
#include "CellBalanceUnit.h"
#include "ReadingConsumerUnit.h"
#include "SeriesStoreUnit.h"

#include <chrono>
#include <cstdio>
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

} // namespace

int main() {
    const std::vector<TReadingRecord> All = Readings();
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
    return 0;
}
