// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "StaleReadingsUnit.h"

#include <cmath>

void TStaleReadings::Expect() {
    Expecting = true;
    LastArrival = Clock.MonotonicNow();
}

void TStaleReadings::ReadingConsumed(const TReadingRecord& Reading) {
    Rule.Observe(Reading);
    if (Reading.Kind == rkData)
        LastArrival = Clock.MonotonicNow();
}

std::optional<long> TStaleReadings::StaleSeconds() const {
    if (!Expecting)
        return std::nullopt;
    const double Age = (Clock.MonotonicNow() - LastArrival) * SecondsPerDay;
    if (Age <= Rule.ThresholdSeconds())
        return std::nullopt;
    return static_cast<long>(std::floor(Age));
}

std::string NoDataText(long Seconds) { return "No data for " + std::to_string(Seconds) + " s"; }
