// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Numbers as the program shows and writes them.

// The general format: the shortest text with at most 15 significant digits,
// no trailing zeros; fixed notation from 0.00001 up to 15 integer digits,
// otherwise scientific ("1.5E-7", "2E20"). 3.712 gives "3.712", 4 gives
// "4", -0.005 gives "-0.005".
std::string FloatToStrGeneral(double Value, char DecimalSeparator = '.');
// The same text, right-aligned in Width, onto the end of Out: an export of
// millions of values makes no string of its own for each.
void AppendFloatGeneral(double Value, std::size_t Width, std::string& Out, char DecimalSeparator = '.');

// The pattern "#,##0.###": thousands separators, at least one integer digit,
// at most three decimals, trailing zeros dropped.
std::string FormatThousandsThreeDecimals(double Value, char DecimalSeparator = '.', char ThousandSeparator = ',');

// The time of day of a date-time in days as "hh:nn:ss" (hours 00 to 23), so
// elapsed times wrap after 24 hours. A negative value counts its time part
// from midnight, as the platform's date-times do.
std::string FormatTimeOfDay(double DateTime, char TimeSeparator = ':');

// An elapsed time as a long run's axis counts it: "hh:nn:ss" within the
// first day, then "1d 02:00", with the seconds only when WithSeconds.
std::string FormatElapsedLabel(double Days, bool WithSeconds, char TimeSeparator = ':');

// The same with milliseconds: "hh:nn:ss.zzz".
std::string FormatTimeOfDayMillis(double DateTime, char TimeSeparator = ':');

// A local date-time in days since 1899-12-30 as the log panes stamp their
// lines: "yyyy-mm-dd hh:nn:ss.zzz", the time parts joined by TimeSeparator.
std::string FormatLogTimeStamp(double LocalDateTime, char TimeSeparator = ':');

// The time separator of the user's locale (":" in most, "." in some), as its
// short time format writes it.
char UserTimeSeparator();
