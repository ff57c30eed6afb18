// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingViewUnit.h"

#include "ChartUnit.h"
#include "ValueGridUnit.h"

#include <QProgressBar>

void TReadingView::SeriesCleared() { Chart.Repaint(); }

void TReadingView::BulkStateChanged(bool InProgress) {
    Progress.setVisible(InProgress);
    Grid.setVisible(!InProgress);
    Chart.Invalidate();
}

void TReadingView::ProgressChanged(int Value, int Maximum) {
    Progress.setMaximum(Maximum);
    Progress.setValue(Value);
}

void TReadingView::LatestValuesChanged() { Grid.ValuesChanged(); }
