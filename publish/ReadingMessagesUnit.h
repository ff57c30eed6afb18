// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "JsonTextUnit.h"
#include "SessionSinkUnit.h"

#include <cstdint>
#include <string>

// The JSON a dashboard reads. Volts come from the integer millivolts the
// monitor sent, so "3.301" is exact, with "." whatever the locale.

// {"seq":N,"utc":"…Z","elapsed_s":12.000,"battery_V":26.400,"cells_V":[…],
//  "spread_V":0.104,"lowest_cell":5,"highest_cell":2}; cells that read zero
// or less (not fitted) are left out of the spread and the lowest and
// highest cell, which are numbered from 1 and null with no fitted cell.
std::string ReadingJson(const TJournalReading& Reading, std::int64_t Seq);
// {"utc":"…Z","kind":"alarm","text":"…"}
std::string EventJson(std::int64_t UtcMs, const std::string& Kind, const std::string& Text);
// "3.301" for 3301.
std::string MillivoltsText(std::int64_t Millivolts);
