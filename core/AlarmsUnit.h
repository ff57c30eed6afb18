// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CellBalanceUnit.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Alarm thresholds in volts; an empty limit is off.
struct TAlarmLimits {
    std::optional<double> CellLow;
    std::optional<double> CellHigh;
    std::optional<double> SpreadHigh;
    std::optional<double> SumMismatch = 0.2;
    // How far back past a limit a value must come before its alarm clears,
    // so that a value hovering at the limit raises it once.
    double Hysteresis = 0.02;
};

// The limits in the settings file's [Alarms] section. A value that is not
// a number, is negative, or a CellLow above CellHigh, adds one line to
// Problems and leaves that alarm off.
TAlarmLimits ReadAlarmLimits(const QString& IniFileName, std::vector<std::string>& Problems);
void WriteAlarmLimits(const QString& IniFileName, const TAlarmLimits& Limits);
// A CellLow above CellHigh turns both off, with one line in Problems.
void CheckAlarmLimits(TAlarmLimits& Limits, std::vector<std::string>& Problems);
// A limit as the settings file and the Alarms dialog write it: "3.2" or "off".
std::string AlarmLimitText(const std::optional<double>& Limit);

struct TAlarmEvent {
    bool Raised = false; // false: cleared
    // The cell the alarm is about, 0 to 7, or TCellBalance::NoCell for the
    // spread and the sum check.
    int Cell = TCellBalance::NoCell;
    std::string Text;
};

// Watches each reading against the limits and reports each crossing once:
// raised past the limit, cleared once back past it by the hysteresis.
// Cells not fitted are never checked. Runs after the balance figures.
class TAlarmMonitor : public TReadingObserver {
  public:
    explicit TAlarmMonitor(const TCellBalance& ABalance) : Balance(ABalance) {}

    void SetLimits(const TAlarmLimits& Value);
    const TAlarmLimits& Limits() const { return Current; }
    std::function<void(const TAlarmEvent&)> OnAlarm;

    void ReadingConsumed(const TReadingRecord& Reading) override;
    // A new session starts quiet.
    void SeriesCleared() override { SetLimits(Current); }
    bool CellInAlarm(int Cell) const;
    bool SpreadInAlarm() const { return SpreadAlarm; }
    bool SumInAlarm() const { return SumAlarm; }

  private:
    template <typename Raised, typename Cleared>
    void Check(bool& Active, bool Past, bool Back, int Cell, Raised&& RaisedText, Cleared&& ClearedText);

    const TCellBalance& Balance;
    TAlarmLimits Current;
    std::array<bool, CellCount> LowAlarm{}, HighAlarm{};
    bool SpreadAlarm = false, SumAlarm = false;
};
