// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunStartUnit.h"

void TRunStart::SeriesCleared() {
    if (!StartTime)
        return;
    StartTime.reset();
    if (OnChanged)
        OnChanged();
}

void TRunStart::ReadingConsumed(const TReadingRecord& Reading) {
    if (StartTime || !Live || Bulk || Reading.Kind != rkData)
        return;
    StartTime = Now() - Reading.Time;
    if (OnChanged)
        OnChanged();
}
