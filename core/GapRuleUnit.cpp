// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GapRuleUnit.h"

#include <algorithm>

double TGapRule::Observe(const TReadingRecord& Reading) {
    if (Reading.Kind == rkTimeValue || Reading.Kind == rkBulkStart) {
        IntervalSeconds = Reading.Interval;
        return 0.0;
    }
    if (Reading.Kind != rkData)
        return 0.0;
    double Gap = 0.0;
    if (Last) {
        const double Step = (Reading.Time - *Last) * SecondsPerDay;
        if (Step > ThresholdSeconds())
            Gap = Step;
        else if (Step > 0)
            IntervalSeconds = Step;
    }
    Last = Reading.Time;
    return Gap;
}

void TGapRule::Restart() { Last.reset(); }

double TGapRule::ThresholdSeconds() const { return std::max(Intervals * IntervalSeconds, MinimumSeconds); }
