// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BalanceMonitorUnit.h"

#include "AlarmsDialogUnit.h"
#include "BalancePageUnit.h"
#include "LiveSessionUnit.h"
#include "ValueGridUnit.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

TBalanceMonitor::TBalanceMonitor(TLiveSession& ASession, QTabWidget& Pages, QStatusBar& Bar, TValueGrid& AGrid)
    : Run(ASession), Grid(AGrid) {
    Grid.IsMarked = [this](int Column) {
        const TAlarmMonitor& Alarms = Run.Alarms();
        return Column == 1 ? Alarms.SumInAlarm() : Alarms.CellInAlarm(Column - 2);
    };
    Run.LiveConsumer().AddObserver(*this);
    SpreadStatus = new QLabel(&Bar);
    SpreadStatus->setObjectName(QStringLiteral("SpreadStatus"));
    Bar.addPermanentWidget(SpreadStatus);
    BalancePage = new TBalancePage(Run.Balance(), Run.Alarms(), *SpreadStatus, &Pages);
    Pages.addTab(BalancePage, QStringLiteral("Balance"));
    ExecuteAlarmsDialog = [&Pages](const TAlarmLimits& Current) -> std::optional<TAlarmLimits> {
        TAlarmsDialog Dialog(Pages.window());
        Dialog.SetLimits(Current);
        if (Dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return Dialog.Limits();
    };
}

TBalanceMonitor::~TBalanceMonitor() = default;

void TBalanceMonitor::SeriesCleared() { BalancePage->Changed(); }

void TBalanceMonitor::LatestValuesChanged() { BalancePage->Changed(); }

void TBalanceMonitor::AlarmChanged() {
    BalancePage->Changed();
    Grid.viewport()->update();
}

void TBalanceMonitor::EditLimits(const QString& IniFileName) {
    const std::optional<TAlarmLimits> Chosen = ExecuteAlarmsDialog(Run.Alarms().Limits());
    if (!Chosen)
        return;
    Run.SetAlarmLimits(*Chosen);
    BalancePage->Changed();
    // In force even when the settings file cannot take them.
    WriteAlarmLimits(IniFileName, Run.Alarms().Limits());
}
