// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <qcustomplot.h>

class TPackMonChart;

// What the chart draws over its grid and under the series: the selected
// range, shaded; the user's notes as labelled dashed lines; then the
// chart's own hook (the bulk-transfer notice).
class TChartOverlays : public QCPLayerable {
  public:
    TChartOverlays(TPackMonChart& AChart, const QString& Layer);

  protected:
    void applyDefaultAntialiasingHint(QCPPainter* Painter) const override;
    void draw(QCPPainter* Painter) override;

  private:
    void DrawSelection(QCPPainter& Painter) const;
    void DrawMarkers(QCPPainter& Painter) const;

    TPackMonChart& Chart;
};
