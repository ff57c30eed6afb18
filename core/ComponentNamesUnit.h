// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The names the window's components go by. Graph files store them, so they
// are part of the file format and must not change.
inline constexpr const char* MainFormComponentName = "PackMonMainForm";
inline constexpr const char* ChartComponentName = "Chart1";
inline constexpr const char* StatusBarComponentName = "StatusBar1";
