// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingConsumerUnit.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One cell over the session. A cell that reads zero or less (not fitted)
// is left out of every figure.
struct TCellFigures {
    std::uint64_t Count = 0;
    double Latest = 0, Lowest = 0, Highest = 0, Sum = 0;
    // Readings in which this cell was the lowest of the fitted cells.
    std::uint64_t LowestCount = 0;
    bool Fitted() const { return Count > 0; }
    double Average() const { return Count > 0 ? Sum / static_cast<double>(Count) : 0.0; }
};

// What a pack builder watches for, kept up to date at a constant cost per
// reading: each cell's latest, lowest, highest and average value, the
// spread between the highest and the lowest cell and its largest value,
// which cells are lowest and highest, how often each has been the lowest,
// and the battery field against the sum of the cells (a loose sense lead
// shows there). Emptied with the series, so it describes what is shown.
class TCellBalance : public TReadingObserver {
  public:
    static constexpr int NoCell = -1;

    void SeriesCleared() override { *this = TCellBalance(); }
    void ReadingConsumed(const TReadingRecord& Reading) override;
    void Take(const TReadingRecord& Reading);

    std::uint64_t Readings() const { return Count; }
    const TCellFigures& Cell(int Index) const { return Cells.at(static_cast<std::size_t>(Index)); }
    // Spread of the latest reading, volts; 0 with fewer than two cells.
    double Spread() const { return SpreadNow; }
    double LargestSpread() const { return SpreadMost; }
    double LargestSpreadTime() const { return SpreadMostTime; } // days, as readings are timed
    // Cells 0 to 7 of the latest reading, or NoCell.
    int LowestCell() const { return LowNow; }
    int HighestCell() const { return HighNow; }
    // Share of the readings in which the cell was the lowest, 0 to 1.
    double LowestShare(int Index) const;
    // Battery field minus the sum of the fitted cells, for the latest
    // reading with both; and the largest such difference either way.
    bool HasSumCheck() const { return SumChecks > 0; }
    double Battery() const { return BatteryNow; }
    double CellSum() const { return CellSumNow; }
    double SumDifference() const { return BatteryNow - CellSumNow; }
    double LargestSumDifference() const { return SumMost; }
    double LargestSumDifferenceTime() const { return SumMostTime; }

  private:
    std::array<TCellFigures, CellCount> Cells{};
    std::uint64_t Count = 0;
    std::uint64_t SumChecks = 0;
    double SpreadNow = 0, SpreadMost = 0, SpreadMostTime = 0;
    int LowNow = NoCell, HighNow = NoCell;
    double BatteryNow = 0, CellSumNow = 0, SumMost = 0, SumMostTime = 0;
};

// The figures as lines of text, for the converter's summary and reports:
// one line per fitted cell, then the spread and the sum check.
std::vector<std::string> BalanceSummaryLines(const TCellBalance& Balance);
// "0.032 V"
std::string VoltsText(double Value);
