// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CellBalanceUnit.h"

#include "NumberFormatUnit.h"

#include <cmath>
#include <cstdio>

void TCellBalance::ReadingConsumed(const TReadingRecord& Reading) {
    if (Reading.Kind == rkData)
        Take(Reading);
}

void TCellBalance::Take(const TReadingRecord& Reading) {
    int Low = NoCell, High = NoCell;
    double Sum = 0;
    for (int I = 0; I < CellCount; ++I) {
        const double V = Reading.CellVolts[I];
        if (!(V > 0))
            continue;
        TCellFigures& C = Cells[static_cast<std::size_t>(I)];
        C.Lowest = C.Count == 0 ? V : std::min(C.Lowest, V);
        C.Highest = C.Count == 0 ? V : std::max(C.Highest, V);
        C.Latest = V;
        C.Sum += V;
        ++C.Count;
        Sum += V;
        if (Low == NoCell || V < Reading.CellVolts[Low])
            Low = I;
        if (High == NoCell || V > Reading.CellVolts[High])
            High = I;
    }
    if (Low == NoCell)
        return;
    ++Count;
    ++Cells[static_cast<std::size_t>(Low)].LowestCount;
    LowNow = Low;
    HighNow = High;
    SpreadNow = Reading.CellVolts[High] - Reading.CellVolts[Low];
    if (SpreadNow > SpreadMost || Count == 1) {
        SpreadMost = SpreadNow;
        SpreadMostTime = Reading.Time;
    }
    if (Reading.BatteryVolts > 0) {
        BatteryNow = Reading.BatteryVolts;
        CellSumNow = Sum;
        const double Difference = BatteryNow - CellSumNow;
        if (SumChecks == 0 || std::fabs(Difference) > std::fabs(SumMost)) {
            SumMost = Difference;
            SumMostTime = Reading.Time;
        }
        ++SumChecks;
    }
}

double TCellBalance::LowestShare(int Index) const {
    return Count > 0 ? static_cast<double>(Cell(Index).LowestCount) / static_cast<double>(Count) : 0.0;
}

std::string VoltsText(double Value) {
    // Sums of cells carry rounding noise: never show "-0.000".
    if (std::fabs(Value) < 0.0005)
        Value = 0.0;
    char Text[32];
    std::snprintf(Text, sizeof Text, "%.3f V", Value);
    return Text;
}

std::vector<std::string> BalanceSummaryLines(const TCellBalance& Balance) {
    std::vector<std::string> Lines;
    char Line[160];
    std::snprintf(Line, sizeof Line, "Readings: %llu", static_cast<unsigned long long>(Balance.Readings()));
    Lines.emplace_back(Line);
    Lines.emplace_back("Cell      Latest    Lowest   Highest   Average  Lowest for");
    for (int I = 0; I < CellCount; ++I) {
        const TCellFigures& C = Balance.Cell(I);
        if (!C.Fitted()) {
            std::snprintf(Line, sizeof Line, "Cell %d    not fitted", I + 1);
        } else {
            std::snprintf(Line, sizeof Line, "Cell %d  %8.3f  %8.3f  %8.3f  %8.3f  %5.1f %%%s", I + 1, C.Latest,
                          C.Lowest, C.Highest, C.Average(), 100.0 * Balance.LowestShare(I),
                          I == Balance.LowestCell()    ? "  lowest now"
                          : I == Balance.HighestCell() ? "  highest now"
                                                       : "");
        }
        Lines.emplace_back(Line);
    }
    if (Balance.Readings() == 0)
        return Lines;
    Lines.push_back("Spread: " + VoltsText(Balance.Spread()) + " now, largest " + VoltsText(Balance.LargestSpread()) +
                    " at " + FormatTimeOfDay(Balance.LargestSpreadTime()));
    if (Balance.HasSumCheck())
        Lines.push_back("Battery against the sum of the cells: " + VoltsText(Balance.Battery()) + " against " +
                        VoltsText(Balance.CellSum()) + ", difference " + VoltsText(Balance.SumDifference()) +
                        " now, largest " + VoltsText(Balance.LargestSumDifference()) + " at " +
                        FormatTimeOfDay(Balance.LargestSumDifferenceTime()));
    return Lines;
}
