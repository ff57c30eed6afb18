// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How often whatever shows streaming readings is redrawn. A change is shown
// this long after it, together with every change that follows meanwhile:
// at most about 22 repaints a second however fast readings arrive, which
// leaves the main thread free for them (a replay delivers 5,000 a second).
// The chart, the value grid and the log panes all pace themselves by it.
inline constexpr int RepaintIntervalMs = 45;

// Points that hardly change the chart (more readings in the newest pixel
// column of a long run) are drawn at this slower pace instead; see
// TDrawnExtent.
inline constexpr int SlowRepaintIntervalMs = 1000;
