// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AlarmsUnit.h"
#include "CellBalanceUnit.h"
#include "GapRuleUnit.h"
#include "ReadingConsumerUnit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Something that happened at a moment of the run; At is seconds from the
// first reading.
struct TReportMoment {
    double At = 0.0;
    std::string Text;
};

// The end-of-run summary, as packmon-report and File > Report write it.
struct TRunReport {
    std::string Source;    // "COM3" or the capture's path
    std::string Device;    // the port's device, when live
    std::string EndReason; // "closed", "disconnected", "interrupted"; empty when not known
    // Known for journal sessions; a capture holds no clock time.
    std::optional<std::int64_t> StartUtcMs, EndUtcMs;
    double DurationSeconds = 0.0; // first to last reading
    TCellBalance Balance;
    double LargestSpreadAt = 0.0;
    std::vector<TReportMoment> Alarms;
    // What the user noted during the run (journal sessions).
    std::vector<TReportMoment> Notes;
    // Readings further apart than three intervals (at least 5 s).
    std::vector<TReportMoment> Gaps;
    std::int64_t Disconnects = 0;
    // Readings the journal could not keep (numbers it skipped).
    std::int64_t ReadingsNotKept = 0;

    // The cell that was lowest most often, 0 to 7, or TCellBalance::NoCell.
    int MostOftenLowest() const;
};

// Follows the readings of one run, through the consumer's own rules, into a
// report. With limits given, alarms are found as the window finds them (a
// capture); a journal session brings the alarms it recorded instead.
class TRunReportBuilder final : public TReadingObserver {
  public:
    explicit TRunReportBuilder(std::optional<TAlarmLimits> Limits = std::nullopt);
    void SeriesCleared() override;
    void ReadingConsumed(const TReadingRecord& Reading) override;
    // The figures so far; Into keeps its source, times and journal facts.
    void Fill(TRunReport& Into) const;
    // Seconds from the first reading to a series time (days).
    double SecondsAt(double Time) const;

  private:
    TCellBalance Balance;
    TAlarmMonitor Monitor{Balance};
    bool Checking = false;
    std::vector<TReportMoment> Alarms, Gaps;
    std::optional<double> First, Last;
    TGapRule GapRule;
};

// "3.301" whatever the locale.
std::string FixedText(double Value, int Decimals = 3);
// The summary for scripts: one JSON object.
std::string RunReportJson(const TRunReport& Report);
// One self-contained page: the summary and the chart, a PNG embedded.
std::string RunReportHtml(const TRunReport& Report, const std::string& ChartPng);
