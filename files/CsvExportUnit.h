// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartDataUnit.h"

#include <QString>
#include <string>

// CSV export: a header of "Time" and the series titles, then one line per
// point index with the time of day ("hh:nn:ss.zzz") and each series' value
// (0 past its last point), every field right-aligned to CsvFieldWidth,
// lines ended by CR LF. Numbers always use "." as the decimal point: a
// comma would split every value of a comma-separated file in two.

constexpr int CsvFieldWidth = 14;

void AppendCsvField(const std::string& Field, std::string& Line);

// Line I of the export (0 is the header), without its line end. A row
// beyond the last point of series 0 takes its time from the first series,
// in index order, that holds that point.
std::string CsvLine(const TChartData& Chart, std::size_t Index);

// The number of data lines: the largest point count of any series.
std::size_t CsvRowCount(const TChartData& Chart);

// Writes the file, replacing any file of that name. A failure raises the
// system's text for it.
void ExportChartToCsv(const TChartData* Chart, const QString& FileName);
