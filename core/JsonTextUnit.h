// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Text as a JSON string, quotes included; bytes of 0x80 and above pass
// through, as UTF-8 does.
std::string JsonString(const std::string& Text);
