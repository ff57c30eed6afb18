// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartViewUnit.h"

#include <QString>
#include <functional>
#include <optional>
#include <qcustomplot.h>
#include <vector>

// A labelled vertical line at a time along the run (a user's note).
struct TChartMarker {
    double X;
    QString Label;
};

// A layer of the plot that runs Paint on every repaint; the chart puts one
// over its grid and under the series.
class TChartOverlays : public QCPLayerable {
  public:
    TChartOverlays(QCustomPlot& Plot, const QString& Layer, std::function<void(QCPPainter&)> APaint);

  protected:
    void applyDefaultAntialiasingHint(QCPPainter* Painter) const override;
    void draw(QCPPainter* Painter) override;

  private:
    std::function<void(QCPPainter&)> Paint;
};

// The selected time range, shaded across Plot.
void DrawSelectedRange(QCPPainter& Painter, const QCPAxis& Time, QRect Plot, TAxisSpan Range);
// The notes as labelled dashed lines, those off the plot left out.
void DrawChartMarkers(QCPPainter& Painter, const QCPAxis& Time, QRect Plot, const std::vector<TChartMarker>& Markers);
