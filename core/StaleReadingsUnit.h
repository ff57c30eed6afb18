// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GapRuleUnit.h"
#include "PackMonClockUnit.h"
#include "ReadingConsumerUnit.h"

#include <optional>
#include <string>

// Whether the latest values on show are old: no data record has arrived
// on a live link for longer than the gap rule allows (three sample
// intervals, at least 5 s). Counted on the monotonic clock from the last
// record's arrival, or from the moment the link was opened.
class TStaleReadings final : public TReadingObserver {
  public:
    explicit TStaleReadings(const TPackMonClock& AClock = SystemClock()) : Clock(AClock) {}

    // A live link was opened: records are expected from now on.
    void Expect();
    // No live link: nothing is awaited, so nothing is stale.
    void Forget() { Expecting = false; }
    // Whole seconds since the last record once they pass the threshold.
    std::optional<long> StaleSeconds() const;

    void ReadingConsumed(const TReadingRecord& Reading) override;
    void SeriesCleared() override { Rule.Restart(); }

  private:
    const TPackMonClock& Clock;
    TGapRule Rule;
    bool Expecting = false;
    double LastArrival = 0.0; // days, monotonic
};

// "No data for 12 s", as the status line says it.
std::string NoDataText(long Seconds);
