// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CellBalanceUnit.h"
#include "SeriesStoreUnit.h"

#include <optional>

// The readings that the consumer put into a store, read back out of it: the
// pack is series 0 and the cells series 1 to 8, each reading's values at
// one time. A value that was never plotted (zero or less) reads as 0, as a
// cell that is not fitted does.

// The reading nearest to Time, by the times of the first series that holds
// points; nothing while the store holds none.
std::optional<TReadingRecord> ReadingNear(const TSeriesStore& Store, double Time);

// Each cell's lowest, highest and average and the largest spread over the
// readings from Low to High, by the balance figures' own rules.
TCellBalance BalanceBetween(const TSeriesStore& Store, double Low, double High);

// A reading as the value grid shows it at the pointer: column 0 its elapsed
// time (past a day "1d 02:00:05"), with the time of day after it when the
// run's start (ClockStart, a local date-time) is known; 1 the pack, 2 to 9
// the cells, in the general format with the user's decimal separator, empty
// for a value not plotted.
std::string PointerReadingText(const TReadingRecord& Reading, int Column, std::optional<double> ClockStart);

// The columns (2 to 9) of the lowest and highest fitted cell, -1 for none.
struct TCellExtremes {
    int Lowest = -1, Highest = -1;
};
TCellExtremes CellExtremeColumns(const TReadingRecord& Reading);
