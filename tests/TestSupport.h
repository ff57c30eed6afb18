// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonClockUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

// A clock the tests set by hand.
class TFakeClock : public TPackMonClock {
  public:
    double Local = 45356.5; // 2024-03-05 12:00
    double Monotonic = 1000.0;
    double LocalNow() const override { return Local; }
    double MonotonicNow() const override { return Monotonic; }
    void AdvanceSeconds(double Seconds) {
        Local += Seconds / SecondsPerDay;
        Monotonic += Seconds / SecondsPerDay;
    }
};

// "$1;...;...;cells;battery\r\n" with the given millivolts.
inline std::string DataRecord(const std::array<int, 8>& CellMilli, int BatteryMilli, const std::string& Field2 = "0",
                              const std::string& Field3 = "0") {
    std::string Line = "$1;" + Field2 + ";" + Field3;
    for (int Milli : CellMilli)
        Line += ";" + std::to_string(Milli);
    return Line + ";" + std::to_string(BatteryMilli) + "\r\n";
}

// A data record whose first cell carries Index, so tests can check order.
inline std::string NumberedRecord(int Index) {
    return DataRecord({Index, 3700, 3700, 3700, 3700, 3700, 3700, 3700}, 7 * 3700 + Index);
}

inline std::string NumberedRecords(int First, int Count) {
    std::string Text;
    for (int I = First; I < First + Count; ++I)
        Text += NumberedRecord(I);
    return Text;
}

inline int RecordIndex(const TReadingRecord& Reading) {
    return static_cast<int>(Reading.CellVolts[0] * 1000.0 + (Reading.CellVolts[0] >= 0 ? 0.5 : -0.5));
}

// The message a piece of work fails with, or "(no failure)".
inline std::string Failure(const std::function<void()>& Work) {
    try {
        Work();
    } catch (const EPackMonException& E) {
        return E.Message();
    }
    return "(no failure)";
}

// Whether the process handles Signal itself yet, from the kernel's view of
// it, so a test knows when a program is ready for the signal.
inline bool CatchesSignal(long long Pid, int Signal) {
    std::ifstream Status("/proc/" + std::to_string(Pid) + "/status");
    std::string Line;
    while (std::getline(Status, Line))
        if (Line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(Line.substr(7), nullptr, 16) >> (Signal - 1)) & 1u;
    return false;
}
