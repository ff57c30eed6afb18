// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartUnit.h"

#include <QLayout>
#include <cstddef>
#include <string>
#include <vector>

// The chart's nine series and what the window does with them. Series 0 is
// the pack voltage on the right axis, series 1 to 8 the cells on the left.

constexpr int ChartSeriesCount = ProgramSeriesCount;

struct TSeriesDefaults {
    const char* Title;
    TChartAxis Axis;
    TColor Color;
};
extern const TSeriesDefaults DefaultSeries[ChartSeriesCount];

// The window's chart, added to Layout: its component name, axis titles
// "CellVolts" and "BatteryVolts" and the title "TChart".
TPackMonChart* AddWindowChart(QWidget& Panel, QLayout& Layout);
// Its nine series in the colours of the settings file, the pack's thick and
// the right axis in its colour; what the file holds that is no colour comes
// back as problems.
std::vector<std::string> SetUpWindowSeries(TPackMonChart& Chart, const QString& IniFileName);

// Date-time bottom axis, the nine series inactive with their default
// colours, their X values flagged as date-times.
void BuildSeriesSet(TPackMonChart& Chart);

// Every series inactive and empty, then a repaint. Nothing for no chart.
void ClearGraphs(TPackMonChart* Chart);

// Each series active exactly when Enable holds and it has more than
// MinCount points. Nothing for no chart.
void ActivateSeriesWithData(TPackMonChart* Chart, bool Enable, std::size_t MinCount);

// A thick series becomes thin; otherwise every series becomes thin and
// series Index thick. Indexes past the last series change nothing.
void ToggleSeriesHighlight(TPackMonChart* Chart, int Index);

// Colours from and to the settings file, section "Chart1", key = title.
// A value that is not a 24-bit colour leaves the series' colour alone and
// adds one line to Problems.
void LoadSeriesColors(TPackMonChart& Chart, const QString& IniFileName, std::vector<std::string>* Problems = nullptr);
void SaveSeriesColors(const TPackMonChart& Chart, const QString& IniFileName);

// The right axis's labels, title and grid in the colour of series 0.
void SyncRightAxisColor(TPackMonChart& Chart);

// "Time …   CellVolts …   BatteryVolts …" for a pointer inside the plot
// rectangle, empty outside it.
QString ReadoutText(const TPackMonChart& Chart, int X, int Y);

// The readout for the pointer at (X, Y) as the chart's only title line.
void ShowReadout(TPackMonChart& Chart, int X, int Y);

// Text with its top at Y, centred on a chart control ChartWidth wide.
void DrawCenteredText(TChartCanvas& Canvas, int ChartWidth, const QString& Text, int Y);

// The notice over the plot while a bulk transfer is under way; one that
// cannot be drawn is left out, and the chart still paints.
void DrawBulkTransferNotice(TChartCanvas& Canvas, int ChartWidth);
