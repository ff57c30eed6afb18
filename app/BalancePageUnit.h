// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;
class TAlarmMonitor;
class TCellBalance;

// The Balance page: one row per cell (latest, lowest, highest, average and
// how often it was the lowest), the lowest and highest cell marked, cells
// in alarm in red, and the spread and the sum check in type large enough
// to read from across the bench. Also keeps the status line's spread.
class TBalancePage : public QWidget {
    Q_OBJECT

  public:
    TBalancePage(const TCellBalance& ABalance, const TAlarmMonitor& AAlarms, QLabel& AStatusSpread,
                 QWidget* Parent = nullptr);

    // The figures changed: shown at the next repaint interval.
    void Changed();
    void Refresh();

    QPushButton& AlarmsButton() const { return *Alarms; }
    QTableWidget& Table() const { return *Cells; }
    QString SpreadText() const;
    QString SumText() const;

  private:
    void RefreshCell(int Cell);

    const TCellBalance& Balance;
    const TAlarmMonitor& AlarmState;
    QLabel& StatusSpread;
    QLabel* Spread = nullptr;
    QLabel* SpreadDetail = nullptr;
    QLabel* Sum = nullptr;
    QLabel* SumDetail = nullptr;
    QTableWidget* Cells = nullptr;
    QPushButton* Alarms = nullptr;
    QTimer RefreshTimer;
};
