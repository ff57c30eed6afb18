// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <qcustomplot.h>
#include <string>

// "#,##0.###" in the user's decimal and group separators.
std::string ChartNumberLabel(double Value);

// Labels as the program writes them: elapsed times as "hh:nn:ss", past a
// day as "1d 02:00", or the time of day when the run's start is known and
// asked for; other values as "#,##0.###". Elapsed times are days, so steps
// are whole seconds, minutes and hours of a day, and no time zone ever
// enters.
class TChartTicker : public QCPAxisTicker {
  public:
    // What the time axis shows, asked at every repaint.
    struct TTimeLabels {
        bool DateTime = false;            // a shown series has date-time X values
        std::optional<double> ClockStart; // the run's start, when the time of day is shown
    };
    // Labels of a time axis; none for a value axis.
    explicit TChartTicker(std::function<TTimeLabels()> ATimeLabels = {}) : TimeLabels(std::move(ATimeLabels)) {}

  protected:
    double getTickStep(const QCPRange& Range) override;
    int getSubTickCount(double TickStep) override;
    QString getTickLabel(double Tick, const QLocale& Locale, QChar FormatChar, int Precision) override;

  private:
    bool IsDateTime() const;
    std::function<TTimeLabels()> TimeLabels;
    double Step = 1;
};
