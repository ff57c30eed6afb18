// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartDataUnit.h"

TChartData::~TChartData() = default;
