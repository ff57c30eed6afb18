// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

class QGroupBox;
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

    // Each cell's lowest, highest and average and the largest spread over a
    // time range the user selected on the chart, beside the session's own.
    void ShowRange(const TCellBalance& Range, double Low, double High);
    void ClearRange();
    QGroupBox& RangeBox() const { return *RangeGroup; }
    QTableWidget& RangeTable() const { return *RangeCells; }
    QString RangeText() const;

    QPushButton& AlarmsButton() const { return *Alarms; }
    QTableWidget& Table() const { return *Cells; }
    QString SpreadText() const;
    QString SumText() const;

  signals:
    void RangeCleared();

  private:
    void RefreshCell(int Cell);
    void BuildRangeBox();

    const TCellBalance& Balance;
    const TAlarmMonitor& AlarmState;
    QLabel& StatusSpread;
    QLabel* Spread = nullptr;
    QLabel* SpreadDetail = nullptr;
    QLabel* Sum = nullptr;
    QLabel* SumDetail = nullptr;
    QTableWidget* Cells = nullptr;
    QPushButton* Alarms = nullptr;
    QGroupBox* RangeGroup = nullptr;
    QLabel* RangeSummary = nullptr;
    QTableWidget* RangeCells = nullptr;
    QTimer RefreshTimer;
};
