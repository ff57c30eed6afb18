// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BalanceMonitorUnit.h"

#include "AlarmsDialogUnit.h"
#include "BalancePageUnit.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

TBalanceMonitor::TBalanceMonitor(TReadingConsumer& Consumer, QTabWidget& Pages, QStatusBar& Bar) {
    // The figures first: the alarms read them, the page shows both.
    Consumer.AddObserver(Figures);
    Consumer.AddObserver(Monitor);
    Consumer.AddObserver(*this);
    SpreadStatus = new QLabel(&Bar);
    SpreadStatus->setObjectName(QStringLiteral("SpreadStatus"));
    Bar.addPermanentWidget(SpreadStatus);
    BalancePage = new TBalancePage(Figures, Monitor, *SpreadStatus, &Pages);
    Pages.addTab(BalancePage, QStringLiteral("Balance"));
    Monitor.OnAlarm = [this](const TAlarmEvent& Event) {
        BalancePage->Changed();
        if (Log)
            Log(Event.Text, Event.Raised);
    };
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

void TBalanceMonitor::LoadLimits(const QString& IniFileName) {
    std::vector<std::string> Problems;
    const TAlarmLimits Limits = ReadAlarmLimits(IniFileName, Problems);
    Monitor.SetLimits(Limits);
    for (const std::string& Problem : Problems)
        if (Log)
            Log(Problem, true);
}

void TBalanceMonitor::EditLimits(const QString& IniFileName) {
    const std::optional<TAlarmLimits> Chosen = ExecuteAlarmsDialog(Monitor.Limits());
    if (!Chosen)
        return;
    Apply(*Chosen);
    // In force even when the settings file cannot take them.
    WriteAlarmLimits(IniFileName, Monitor.Limits());
}

void TBalanceMonitor::Apply(TAlarmLimits Limits) {
    std::vector<std::string> Problems;
    CheckAlarmLimits(Limits, Problems);
    Monitor.SetLimits(Limits);
    BalancePage->Changed();
    for (const std::string& Problem : Problems)
        if (Log)
            Log(Problem, true);
}
