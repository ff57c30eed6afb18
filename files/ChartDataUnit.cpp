// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartDataUnit.h"

TChartData::~TChartData() = default;

#include "PackMonConstantsAndTypesUnit.h"

#include <algorithm>

TChartDataTable::TChartDataTable() : Series(9) {
    Series[0].Title = "BatteryVolts";
    for (std::size_t I = 1; I < Series.size(); ++I)
        Series[I].Title = "Cell" + std::to_string(I) + "Volts";
}

double TChartDataTable::XValue(int Index, std::size_t Point) const {
    return Series.at(static_cast<std::size_t>(Index)).X.at(Point);
}

double TChartDataTable::YValue(int Index, std::size_t Point) const {
    return Series.at(static_cast<std::size_t>(Index)).Y.at(Point);
}

double TChartDataTable::MaxYValue(int Index) const {
    const auto& Y = Series.at(static_cast<std::size_t>(Index)).Y;
    return Y.empty() ? 0.0 : *std::max_element(Y.begin(), Y.end());
}

void TChartDataTable::AddXY(int Index, double X, double Y) {
    TSeries& S = Series.at(static_cast<std::size_t>(Index));
    const auto At = std::upper_bound(S.X.begin(), S.X.end(), X);
    const auto Offset = At - S.X.begin();
    S.X.insert(At, X);
    S.Y.insert(S.Y.begin() + Offset, Y);
}

void TChartDataTable::Clear() {
    for (TSeries& S : Series) {
        S.X.clear();
        S.Y.clear();
        S.Active = false;
    }
}

bool ReadingClearsChart(const TReadingRecord& Reading) {
    return Reading.Kind == rkBulkStart || Reading.Kind == rkTimeValue;
}

void PlaceDataPoints(TChartData& Chart, const TReadingRecord& Reading) {
    if (Reading.Kind != rkData)
        return;
    if (Reading.BatteryVolts > 0)
        Chart.AddXY(0, Reading.Time, Reading.BatteryVolts);
    for (int Cell = 0; Cell < CellCount; ++Cell)
        if (Reading.CellVolts[Cell] > 0)
            Chart.AddXY(Cell + 1, Reading.Time, Reading.CellVolts[Cell]);
}
