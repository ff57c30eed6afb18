// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartTickerUnit.h"

#include "NumberFormatUnit.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

constexpr double SecondsInADay = 86400.0;

char LocaleChar(const QString& Text, char Fallback) {
    return Text.size() == 1 && Text[0].unicode() < 128 ? static_cast<char>(Text[0].unicode()) : Fallback;
}

} // namespace

std::string ChartNumberLabel(double Value) {
    const QLocale Locale;
    return FormatThousandsThreeDecimals(Value, LocaleChar(Locale.decimalPoint(), '.'),
                                        LocaleChar(Locale.groupSeparator(), ','));
}

bool TChartTicker::IsDateTime() const { return TimeLabels && TimeLabels().DateTime; }

double TChartTicker::getTickStep(const QCPRange& Range) {
    if (!IsDateTime())
        return QCPAxisTicker::getTickStep(Range);
    static const double StepsInSeconds[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                            600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    const double Wanted = Range.size() * SecondsInADay / std::max(mTickCount, 1);
    // On the clock, ticks fall on whole steps of the time of day.
    const std::optional<double> Clock = TimeLabels().ClockStart;
    setTickOrigin(Clock ? -std::fmod(*Clock, 1.0) : 0.0);
    Step = std::ceil(Wanted / SecondsInADay) * SecondsInADay;
    for (double Seconds : StepsInSeconds)
        if (Seconds >= Wanted) {
            Step = Seconds;
            break;
        }
    return Step / SecondsInADay;
}

int TChartTicker::getSubTickCount(double TickStep) {
    return IsDateTime() ? 0 : QCPAxisTicker::getSubTickCount(TickStep);
}

QString TChartTicker::getTickLabel(double Tick, const QLocale&, QChar, int) {
    if (!IsDateTime())
        return QString::fromStdString(ChartNumberLabel(Tick));
    if (const std::optional<double> Clock = TimeLabels().ClockStart)
        return QString::fromStdString(FormatTimeOfDay(*Clock + Tick));
    return QString::fromStdString(FormatElapsedLabel(Tick, std::fmod(Step, 60.0) != 0));
}
