// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// Memory figures of this process from /proc/self/status, in kB.
inline long StatusKb(const char* Field) {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    const std::string Key = Field;
    while (std::getline(Status, Line))
        if (Line.rfind(Key, 0) == 0)
            return std::stol(Line.substr(Key.size()));
    return 0;
}

inline long ResidentKb() { return StatusKb("VmRSS:"); }

// Lets VmHWM measure the peak from now on (Linux 4.0 and later).
inline void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A count the environment may set, for a quicker or a longer run.
inline int EnvironmentInt(const char* Name, int Default) {
    const char* Value = std::getenv(Name);
    return Value != nullptr && *Value != '\0' ? std::atoi(Value) : Default;
}
