// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AlarmsUnit.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;

// Edits the alarm thresholds: each limit switched on or off with its value
// in volts, and the hysteresis.
class TAlarmsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TAlarmsDialog(QWidget* Parent = nullptr);
    void SetLimits(const TAlarmLimits& Limits);
    TAlarmLimits Limits() const;

  private:
    struct TLimitEditor {
        QCheckBox* On = nullptr;
        QDoubleSpinBox* Value = nullptr;
    };
    TLimitEditor AddLimit(const QString& Name, const QString& Caption);

    TLimitEditor CellLow, CellHigh, SpreadHigh, SumMismatch;
    QDoubleSpinBox* Hysteresis = nullptr;
};
