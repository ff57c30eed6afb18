// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <qcustomplot.h>
#include <string>

class TPackMonChart;

// "#,##0.###" in the user's decimal and group separators.
std::string ChartNumberLabel(double Value);

// Labels as the program writes them: elapsed times as "hh:nn:ss", past a
// day as "1d 02:00", or the time of day when the run's start is known and
// asked for; other values as "#,##0.###". Elapsed times are days, so steps
// are whole seconds, minutes and hours of a day, and no time zone ever
// enters.
class TChartTicker : public QCPAxisTicker {
  public:
    // Chart is the chart of a time axis, null for a value axis.
    explicit TChartTicker(const TPackMonChart* AChart) : Chart(AChart) {}

  protected:
    double getTickStep(const QCPRange& Range) override;
    int getSubTickCount(double TickStep) override;
    QString getTickLabel(double Tick, const QLocale& Locale, QChar FormatChar, int Precision) override;

  private:
    bool IsDateTime() const;
    const TPackMonChart* Chart;
    double Step = 1;
};
