// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"

#include <optional>

// When readings have stopped: more than three sample intervals, and at
// least 5 s, without one. The interval is the one announced (a time-value
// record or a bulk start), else the step last seen between readings. The
// report counts such gaps, the chart draws no line across them and the
// window greys readings that are this old.
class TGapRule {
  public:
    static constexpr double MinimumSeconds = 5.0;
    static constexpr int Intervals = 3;

    // Every reading in order: the length in seconds of the gap a data
    // reading follows, 0 when it follows none.
    double Observe(const TReadingRecord& Reading);
    // A new run: the series were emptied.
    void Restart();
    double ThresholdSeconds() const;

  private:
    std::optional<double> Last; // days
    double IntervalSeconds = 0.0;
};
