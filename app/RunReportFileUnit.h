// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RunReportUnit.h"
#include "SeriesStoreUnit.h"

#include <QString>
#include <memory>
#include <string>

class TPackMonChart;

// A report's chart, drawn offscreen by the window's own chart code in the
// colours of the settings file. Readings go into its store.
class TReportChart {
  public:
    explicit TReportChart(const QString& IniFileName);
    ~TReportChart();
    TSeriesStore& Store();
    // PNG bytes of the chart at Width × Height pixels.
    std::string Png(int Width = 1200, int Height = 560);

  private:
    std::unique_ptr<TPackMonChart> Chart;
};

// The report as one HTML file with the chart embedded, or as JSON. The file
// is replaced whole, so a failed write leaves no half report.
void WriteRunReport(const TRunReport& Report, TReportChart& Chart, const QString& FileName, bool Json);

// The report of a session kept in the journal (the newest when Session is
// 0), written as WriteRunReport does.
void WriteSessionReport(const std::string& JournalFile, std::int64_t Session, const QString& IniFileName,
                        const QString& FileName, bool Json);
