// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingConsumerUnit.h"

class QProgressBar;
class TPackMonChart;
class TValueGrid;

// Shows what the reading consumer reports on the window's widgets: the
// chart repaints when emptied, the progress bar stands in for the grid
// during a bulk transfer, the grid shows the latest values.
class TReadingView : public TReadingObserver {
  public:
    TReadingView(TPackMonChart& AChart, TValueGrid& AGrid, QProgressBar& AProgress)
        : Chart(AChart), Grid(AGrid), Progress(AProgress) {}

    void SeriesCleared() override;
    void BulkStateChanged(bool InProgress) override;
    void ProgressChanged(int Value, int Maximum) override;
    void LatestValuesChanged() override;

  private:
    TPackMonChart& Chart;
    TValueGrid& Grid;
    QProgressBar& Progress;
};
