// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartViewUnit.h"

#include <cstddef>
#include <vector>

// What the axes' fit needs of one series.
struct TSeriesExtent {
    bool Active = false;
    bool DateTimeX = false;
    bool RightAxis = false;
    std::size_t Count = 0;
    double FirstX = 0, LastX = 0;
    double MinY = 0, MaxY = 0;
};

// The spans the axes are fitted to, and what the shown series hold.
struct TAxisFit {
    bool DateTimeBottom = false; // an active series has date-time X values
    bool AnyPoints = false;      // an active series has a point
    TAxisSpan Time, Left, Right; // the fitted spans, margins included
    bool FitTime = false, FitLeft = false, FitRight = false;
    // What the active series hold, without margins.
    double Newest = 0;
    TAxisSpan LeftData, RightData;
};

// The time axis spans the active series' points exactly; each value axis
// their values with 5 % either side, or around a single value 1 % of it
// (at least a millivolt). With no point at all every axis spans 0 to 1
// rather than the last run's few milliseconds, whose labels would repeat
// at three decimals. Hidden series count for nothing.
TAxisFit FitAxes(const std::vector<TSeriesExtent>& Series);
