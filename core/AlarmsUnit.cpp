// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmsUnit.h"

#include "FieldConversionUnit.h"
#include "NumberFormatUnit.h"
#include "ProfileFileUnit.h"
#include "SettingsKeysUnit.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Volts(double Value) { return VoltsText(Value); }

std::string CellName(int Cell) { return "Cell " + std::to_string(Cell + 1); }

// Why a limit's text cannot be taken, or nothing.
std::optional<std::string> ParseLimit(const std::string& Text, double& Value) {
    try {
        Value = StrToFloat(Text);
    } catch (const EPackMonException&) {
        return "is not a number";
    }
    if (Value < 0)
        return "is negative";
    return std::nullopt;
}

struct TLimitText {
    bool Present = false;
    std::string Text;
    bool Off() const { return Text.empty() || Text == "off" || Text == "Off" || Text == "OFF"; }
};

TLimitText LimitText(const TProfileFile& Settings, const char* Key) {
    const std::string Missing = "\x01";
    const std::string Text = Settings.ReadString(AlarmsSection, Key, Missing);
    return Text == Missing ? TLimitText{} : TLimitText{true, Text};
}

// One limit: absent gives Default; "off" or empty turns it off.
std::optional<double> ReadLimit(const TProfileFile& Settings, const char* Key, std::optional<double> Default,
                                std::vector<std::string>& Problems) {
    const TLimitText Entry = LimitText(Settings, Key);
    if (!Entry.Present)
        return Default;
    if (Entry.Off())
        return std::nullopt;
    double Value = 0;
    if (const auto Problem = ParseLimit(Entry.Text, Value)) {
        Problems.push_back("Alarms: " + std::string(Key) + "=" + Entry.Text + " " + *Problem + "; that alarm is off");
        return std::nullopt;
    }
    return Value;
}

double ReadHysteresis(const TProfileFile& Settings, double Default, std::vector<std::string>& Problems) {
    const TLimitText Entry = LimitText(Settings, HysteresisKey);
    if (!Entry.Present)
        return Default;
    double Value = 0;
    if (const auto Problem = ParseLimit(Entry.Text, Value); Problem || Entry.Off()) {
        Problems.push_back("Alarms: Hysteresis=" + Entry.Text + " " + Problem.value_or("is not a number") +
                           "; it stays at " + Volts(Default));
        return Default;
    }
    return Value;
}

} // namespace

TAlarmLimits ReadAlarmLimits(const QString& IniFileName, std::vector<std::string>& Problems) {
    const TProfileFile Settings(IniFileName);
    TAlarmLimits Limits;
    const TAlarmLimits Defaults;
    Limits.CellLow = ReadLimit(Settings, CellLowKey, Defaults.CellLow, Problems);
    Limits.CellHigh = ReadLimit(Settings, CellHighKey, Defaults.CellHigh, Problems);
    Limits.SpreadHigh = ReadLimit(Settings, SpreadHighKey, Defaults.SpreadHigh, Problems);
    Limits.SumMismatch = ReadLimit(Settings, SumMismatchKey, Defaults.SumMismatch, Problems);
    Limits.Hysteresis = ReadHysteresis(Settings, Defaults.Hysteresis, Problems);
    CheckAlarmLimits(Limits, Problems);
    return Limits;
}

void CheckAlarmLimits(TAlarmLimits& Limits, std::vector<std::string>& Problems) {
    if (Limits.CellLow && Limits.CellHigh && *Limits.CellLow > *Limits.CellHigh) {
        Problems.push_back("Alarms: CellLow=" + AlarmLimitText(Limits.CellLow) +
                           " is above CellHigh=" + AlarmLimitText(Limits.CellHigh) + "; both cell alarms are off");
        Limits.CellLow.reset();
        Limits.CellHigh.reset();
    }
}

std::string AlarmLimitText(const std::optional<double>& Limit) {
    return Limit ? FloatToStrGeneral(*Limit) : std::string("off");
}

void WriteAlarmLimits(const QString& IniFileName, const TAlarmLimits& Limits) {
    TProfileFile Settings(IniFileName);
    Settings.WriteString(AlarmsSection, CellLowKey, AlarmLimitText(Limits.CellLow));
    Settings.WriteString(AlarmsSection, CellHighKey, AlarmLimitText(Limits.CellHigh));
    Settings.WriteString(AlarmsSection, SpreadHighKey, AlarmLimitText(Limits.SpreadHigh));
    Settings.WriteString(AlarmsSection, SumMismatchKey, AlarmLimitText(Limits.SumMismatch));
    Settings.WriteString(AlarmsSection, HysteresisKey, FloatToStrGeneral(Limits.Hysteresis));
}

// --- The monitor ---------------------------------------------------------------

void TAlarmMonitor::SetLimits(const TAlarmLimits& Value) {
    // New limits start from quiet: a reading still past one raises it again.
    Current = Value;
    LowAlarm.fill(false);
    HighAlarm.fill(false);
    SpreadAlarm = SumAlarm = false;
}

bool TAlarmMonitor::CellInAlarm(int Cell) const {
    const auto I = static_cast<std::size_t>(Cell);
    return Cell >= 0 && Cell < CellCount && (LowAlarm[I] || HighAlarm[I]);
}

// The texts are made only at a crossing: a check per reading stays cheap.
template <typename Raised, typename Cleared>
void TAlarmMonitor::Check(bool& Active, bool Past, bool Back, int Cell, Raised&& RaisedText, Cleared&& ClearedText) {
    if (!Active && Past) {
        Active = true;
        if (OnAlarm)
            OnAlarm({true, Cell, RaisedText()});
    } else if (Active && Back) {
        Active = false;
        if (OnAlarm)
            OnAlarm({false, Cell, ClearedText()});
    }
}

void TAlarmMonitor::ReadingConsumed(const TReadingRecord& Reading) {
    if (Reading.Kind != rkData)
        return;
    const double H = Current.Hysteresis;
    for (int I = 0; I < CellCount; ++I) {
        const double V = Reading.CellVolts[I];
        if (!(V > 0))
            continue;
        const auto Index = static_cast<std::size_t>(I);
        const auto At = [I, V] { return CellName(I) + " at " + Volts(V); };
        if (const auto& Low = Current.CellLow)
            Check(
                LowAlarm[Index], V < *Low, V >= *Low + H, I,
                [&] { return "Alarm: " + At() + " is below the low limit of " + Volts(*Low); },
                [&] { return "Alarm cleared: " + At() + " is back above the low limit of " + Volts(*Low); });
        if (const auto& High = Current.CellHigh)
            Check(
                HighAlarm[Index], V > *High, V <= *High - H, I,
                [&] { return "Alarm: " + At() + " is above the high limit of " + Volts(*High); },
                [&] { return "Alarm cleared: " + At() + " is back below the high limit of " + Volts(*High); });
    }
    if (Balance.LowestCell() == TCellBalance::NoCell)
        return;
    if (const auto& Limit = Current.SpreadHigh) {
        const double S = Balance.Spread();
        Check(
            SpreadAlarm, S > *Limit, S <= *Limit - H, TCellBalance::NoCell,
            [&] {
                return "Alarm: cell spread " + Volts(S) + " (" + CellName(Balance.HighestCell()) + " highest, " +
                       CellName(Balance.LowestCell()) + " lowest) is above the limit of " + Volts(*Limit);
            },
            [&] { return "Alarm cleared: cell spread " + Volts(S) + " is back below the limit of " + Volts(*Limit); });
    }
    if (const auto& Limit = Current.SumMismatch; Limit && Reading.BatteryVolts > 0) {
        const double D = std::fabs(Balance.SumDifference());
        Check(
            SumAlarm, D > *Limit, D <= *Limit - H, TCellBalance::NoCell,
            [&] {
                return "Alarm: battery " + Volts(Balance.Battery()) + " differs from the sum of the cells " +
                       Volts(Balance.CellSum()) + " by " + Volts(D) + ", above the limit of " + Volts(*Limit);
            },
            [&] {
                return "Alarm cleared: battery " + Volts(Balance.Battery()) + " is back within " + Volts(*Limit) +
                       " of the sum of the cells " + Volts(Balance.CellSum());
            });
    }
}
