// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

// Conversions of record fields. Both accept exactly the decimal notation the
// monitor sends and raise EConvertError with the field's text otherwise, so
// a damaged record is reported instead of plotted with a wrong value.

// Leading spaces, an optional sign and decimal digits; nothing after them.
// Values outside 32 bits fail.
std::int32_t StrToInt(std::string_view Text);

// Leading spaces, an optional sign, digits with an optional fraction after
// a "." (whatever the user's locale), and an optional exponent. Infinities,
// NaN, hexadecimal text and values beyond the range of a double fail.
double StrToFloat(std::string_view Text);

// The decimal separator of the user's locale, as QLocale has it ("," in
// much of Europe), or "." where it is not one ASCII character.
char UserDecimalSeparator();

// A number a monitor wrote into a record: StrToFloat's notation with "."
// always, and with the locale's separator too, as a monitor set up for
// such a locale writes it. The error names the field as it came.
double DeviceStrToFloat(std::string_view Text, char LocaleSeparator = UserDecimalSeparator());
