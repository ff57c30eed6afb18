// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <string>

// The simulated monitor's behaviour: what it sends and which faults it has.
struct TSimulatorOptions {
    std::string Device;
    long IntervalMs = 1000;
    bool Fast = false;
    long Bulk = 0;
    long Records = -1;
    long HangUpAfter = -1;
    long MalformedEvery = 0;
    long DropLineEndEvery = 0;
    bool Noise = false;
    bool Stamp = false;
    bool Hold = false;
    std::string MapIni;
    long MapCom = 0;
};

// Speaks the monitor's record protocol on the open line Fd until the
// options' records are sent (or for ever with Hold) or Stop is set. False
// when the line failed.
bool RunSimulatedMonitor(int Fd, const TSimulatorOptions& Options, const std::atomic<bool>& Stop);
