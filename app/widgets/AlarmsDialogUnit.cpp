// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmsDialogUnit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>

namespace {

QDoubleSpinBox* VoltsBox(const QString& Name, QWidget* Parent) {
    auto* Box = new QDoubleSpinBox(Parent);
    Box->setObjectName(Name);
    Box->setRange(0, 1000);
    Box->setDecimals(3);
    Box->setSingleStep(0.01);
    Box->setSuffix(QStringLiteral(" V"));
    return Box;
}

void Show(const std::optional<double>& Limit, QCheckBox& On, QDoubleSpinBox& Value) {
    On.setChecked(Limit.has_value());
    Value.setEnabled(Limit.has_value());
    if (Limit)
        Value.setValue(*Limit);
}

std::optional<double> Read(const QCheckBox& On, const QDoubleSpinBox& Value) {
    return On.isChecked() ? std::optional<double>(Value.value()) : std::nullopt;
}

} // namespace

TAlarmsDialog::TAlarmsDialog(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("AlarmsDialog"));
    setWindowTitle(QStringLiteral("Alarms"));
    auto* Form = new QFormLayout(this);
    CellLow = AddLimit(QStringLiteral("CellLow"), QStringLiteral("A cell below"));
    CellHigh = AddLimit(QStringLiteral("CellHigh"), QStringLiteral("A cell above"));
    SpreadHigh = AddLimit(QStringLiteral("SpreadHigh"), QStringLiteral("Spread between cells above"));
    SumMismatch = AddLimit(QStringLiteral("SumMismatch"), QStringLiteral("Pack and sum of cells apart by more than"));
    Hysteresis = VoltsBox(QStringLiteral("Hysteresis"), this);
    Form->addRow(QStringLiteral("Clear once back past the limit by"), Hysteresis);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Form->addRow(Buttons);
    SetLimits(TAlarmLimits());
}

TAlarmsDialog::TLimitEditor TAlarmsDialog::AddLimit(const QString& Name, const QString& Caption) {
    TLimitEditor Editor{new QCheckBox(Caption, this), VoltsBox(Name, this)};
    Editor.On->setObjectName(Name + QStringLiteral("On"));
    connect(Editor.On, &QCheckBox::toggled, Editor.Value, &QWidget::setEnabled);
    auto* Row = new QHBoxLayout;
    Row->addWidget(Editor.On, 1);
    Row->addWidget(Editor.Value);
    static_cast<QFormLayout*>(layout())->addRow(Row);
    return Editor;
}

void TAlarmsDialog::SetLimits(const TAlarmLimits& Limits) {
    Show(Limits.CellLow, *CellLow.On, *CellLow.Value);
    Show(Limits.CellHigh, *CellHigh.On, *CellHigh.Value);
    Show(Limits.SpreadHigh, *SpreadHigh.On, *SpreadHigh.Value);
    Show(Limits.SumMismatch, *SumMismatch.On, *SumMismatch.Value);
    Hysteresis->setValue(Limits.Hysteresis);
}

TAlarmLimits TAlarmsDialog::Limits() const {
    TAlarmLimits Limits;
    Limits.CellLow = Read(*CellLow.On, *CellLow.Value);
    Limits.CellHigh = Read(*CellHigh.On, *CellHigh.Value);
    Limits.SpreadHigh = Read(*SpreadHigh.On, *SpreadHigh.Value);
    Limits.SumMismatch = Read(*SumMismatch.On, *SumMismatch.Value);
    Limits.Hysteresis = Hysteresis->value();
    return Limits;
}
