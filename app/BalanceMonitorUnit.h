// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AlarmsUnit.h"
#include "CellBalanceUnit.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QStatusBar;
class QTabWidget;
class TBalancePage;

// The balance figures and alarms of the window: fed by the reading
// consumer, shown on the Balance page and the status line, with every
// alarm crossing handed to Log once.
class TBalanceMonitor : private TReadingObserver {
  public:
    // Adds the Balance page to Pages and the spread to Bar.
    TBalanceMonitor(TReadingConsumer& Consumer, QTabWidget& Pages, QStatusBar& Bar);
    ~TBalanceMonitor() override;

    // Where alarm lines and settings problems go; Raised tells a new alarm
    // (which beeps) from a cleared one.
    std::function<void(const std::string& Line, bool Raised)> Log;
    // Shows the Alarms dialog on the limits in force; the new limits, or
    // nothing when cancelled. Replaceable so that tests need no user.
    std::function<std::optional<TAlarmLimits>(const TAlarmLimits& Current)> ExecuteAlarmsDialog;

    // The limits from the settings file; each problem in it is logged once.
    void LoadLimits(const QString& IniFileName);
    // The Alarms dialog, then the limits in force and in the settings file.
    void EditLimits(const QString& IniFileName);

    const TCellBalance& Balance() const { return Figures; }
    const TAlarmMonitor& Alarms() const { return Monitor; }
    TBalancePage& Page() const { return *BalancePage; }

  private:
    void SeriesCleared() override;
    void LatestValuesChanged() override;
    void Apply(TAlarmLimits Limits);

    TCellBalance Figures;
    TAlarmMonitor Monitor{Figures};
    QLabel* SpreadStatus = nullptr;
    TBalancePage* BalancePage = nullptr;
};
