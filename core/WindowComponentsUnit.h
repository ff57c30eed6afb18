// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GraphFileUnit.h"

#include <string>

// The window's component a graph file names, matched without regard to
// letter case: the chart's store, the status bar, another of the window's
// components (WindowComponentNames), or none. The window and the converter
// both go by it, so they read every file alike.
TGraphComponent FindWindowComponent(const std::string& Name, TChartData& Chart, TGraphStatusBar& StatusBar);
