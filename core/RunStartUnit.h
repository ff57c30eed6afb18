// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingConsumerUnit.h"

#include <functional>
#include <optional>

// When the run being shown started on the local clock, as far as it is
// known: a reading from a monitor on the line now (not from a file, not
// from a bulk transfer of the past) tells it, as the clock now less the
// reading's elapsed time. Forgotten with the series.
class TRunStart : public TReadingObserver {
  public:
    // Now gives the local date-time in days, as the log panes stamp lines.
    explicit TRunStart(std::function<double()> ANow) : Now(std::move(ANow)) {}

    // Readings come from a monitor on the line rather than from a file.
    void SetLive(bool Value) { Live = Value; }
    std::optional<double> Start() const { return StartTime; }
    // The start became known or was forgotten.
    std::function<void()> OnChanged;

    void SeriesCleared() override;
    void BulkStateChanged(bool InProgress) override { Bulk = InProgress; }
    void ReadingConsumed(const TReadingRecord& Reading) override;

  private:
    std::function<double()> Now;
    bool Live = false;
    bool Bulk = false;
    std::optional<double> StartTime;
};
