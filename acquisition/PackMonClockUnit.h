// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Where the comms thread takes its times from; tests substitute their own.
// Both readings are date-time doubles in days.
class TPackMonClock {
  public:
    virtual ~TPackMonClock();
    // The local date and time (days since 1899-12-30), for time stamps.
    virtual double LocalNow() const = 0;
    // A clock that never jumps, for elapsed times: daylight-saving changes
    // and clock corrections must not move points already being plotted.
    virtual double MonotonicNow() const = 0;
};

const TPackMonClock& SystemClock();

// A moment given in milliseconds since 1970 UTC as a local date-time (days
// since 1899-12-30), in this machine's time zone at that moment.
double LocalDateTimeOfUtc(std::int64_t UtcMs);
