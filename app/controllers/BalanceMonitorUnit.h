// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AlarmsUnit.h"
#include "ReadingConsumerUnit.h"

#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QStatusBar;
class QTabWidget;
class TBalancePage;
class TLiveSession;
class TValueGrid;

// The live session's balance figures and alarms on the window: the Balance
// page and the spread on the status line, and the Alarms dialog. They stay
// with the live run while a capture is reviewed.
class TBalanceMonitor : private TReadingObserver {
  public:
    // Adds the Balance page to Pages and the spread to Bar; a value in alarm
    // is marked in Grid.
    TBalanceMonitor(TLiveSession& ASession, QTabWidget& Pages, QStatusBar& Bar, TValueGrid& AGrid);
    ~TBalanceMonitor() override;

    // Shows the Alarms dialog on the limits in force; the new limits, or
    // nothing when cancelled. Replaceable so that tests need no user.
    std::function<std::optional<TAlarmLimits>(const TAlarmLimits& Current)> ExecuteAlarmsDialog;

    // The Alarms dialog, then the limits in force and in the settings file.
    void EditLimits(const QString& IniFileName);
    // An alarm was raised or cleared.
    void AlarmChanged();

    TBalancePage& Page() const { return *BalancePage; }

  private:
    void SeriesCleared() override;
    void LatestValuesChanged() override;

    TLiveSession& Run;
    TValueGrid& Grid;
    QLabel* SpreadStatus = nullptr;
    TBalancePage* BalancePage = nullptr;
};
