// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoredReadingsUnit.h"

#include "FieldConversionUnit.h"
#include "NumberFormatUnit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int ReadingSeries = 1 + CellCount;

bool HoldsReadings(const TSeriesStore& Store) { return Store.SeriesCount() >= ReadingSeries; }

void SetValue(TReadingRecord& Reading, int Series, double Value) {
    if (Series == 0)
        Reading.BatteryVolts = Value;
    else
        Reading.CellVolts[Series - 1] = Value;
}

// Walks the nine series side by side in time from Low, one reading per time
// that any series holds, up to High.
template <typename Visit> void WalkReadings(const TSeriesStore& Store, double Low, double High, Visit&& Take) {
    std::array<std::size_t, ReadingSeries> At{}, End{};
    for (int S = 0; S < ReadingSeries; ++S) {
        const TSeriesData& Data = Store.Data(S);
        At[static_cast<std::size_t>(S)] = Data.FirstAtOrAfter(Low);
        End[static_cast<std::size_t>(S)] = Data.FirstAtOrAfter(std::nextafter(High, High + 1));
    }
    for (;;) {
        double Time = std::numeric_limits<double>::infinity();
        for (int S = 0; S < ReadingSeries; ++S)
            if (At[static_cast<std::size_t>(S)] < End[static_cast<std::size_t>(S)])
                Time = std::min(Time, Store.Data(S).X(At[static_cast<std::size_t>(S)]));
        if (Time == std::numeric_limits<double>::infinity())
            return;
        TReadingRecord Reading;
        Reading.Kind = rkData;
        Reading.Time = Time;
        for (int S = 0; S < ReadingSeries; ++S) {
            std::size_t& I = At[static_cast<std::size_t>(S)];
            const TSeriesData& Data = Store.Data(S);
            if (I < End[static_cast<std::size_t>(S)] && Data.X(I) == Time)
                SetValue(Reading, S, Data.Y(I++));
        }
        Take(Reading);
    }
}

} // namespace

std::optional<TReadingRecord> ReadingNear(const TSeriesStore& Store, double Time) {
    if (!HoldsReadings(Store))
        return std::nullopt;
    for (int S = 0; S < ReadingSeries; ++S) {
        const TSeriesData& Data = Store.Data(S);
        if (Data.Count() == 0)
            continue;
        std::size_t Near = std::min(Data.FirstAtOrAfter(Time), Data.Count() - 1);
        if (Near > 0 && Time - Data.X(Near - 1) <= Data.X(Near) - Time)
            --Near;
        const double At = Data.X(Near);
        std::optional<TReadingRecord> Found;
        WalkReadings(Store, At, At, [&](const TReadingRecord& Reading) {
            if (!Found)
                Found = Reading;
        });
        return Found;
    }
    return std::nullopt;
}

TCellBalance BalanceBetween(const TSeriesStore& Store, double Low, double High) {
    TCellBalance Balance;
    if (HoldsReadings(Store) && Low <= High)
        WalkReadings(Store, Low, High, [&](const TReadingRecord& Reading) { Balance.Take(Reading); });
    return Balance;
}

std::string PointerReadingText(const TReadingRecord& Reading, int Column, std::optional<double> ClockStart) {
    if (Column == 0) {
        std::string Text = FormatElapsedLabel(Reading.Time, true);
        if (ClockStart)
            Text += " (" + FormatTimeOfDay(*ClockStart + Reading.Time) + ")";
        return Text;
    }
    const double Value = Column == 1 ? Reading.BatteryVolts : Reading.CellVolts[Column - 2];
    return Value > 0 ? FloatToStrGeneral(Value, UserDecimalSeparator()) : std::string();
}

TCellExtremes CellExtremeColumns(const TReadingRecord& Reading) {
    TCellExtremes Found;
    for (int Cell = 0; Cell < CellCount; ++Cell) {
        const double Value = Reading.CellVolts[Cell];
        if (!(Value > 0))
            continue;
        if (Found.Lowest < 0 || Value < Reading.CellVolts[Found.Lowest - 2])
            Found.Lowest = Cell + 2;
        if (Found.Highest < 0 || Value > Reading.CellVolts[Found.Highest - 2])
            Found.Highest = Cell + 2;
    }
    return Found;
}
