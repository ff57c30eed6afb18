// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartOverlaysUnit.h"

#include "ChartUnit.h"

#include <algorithm>
#include <cmath>

TChartOverlays::TChartOverlays(TPackMonChart& AChart, const QString& Layer)
    : QCPLayerable(&AChart, Layer), Chart(AChart) {}

void TChartOverlays::applyDefaultAntialiasingHint(QCPPainter* Painter) const {
    applyAntialiasingHint(Painter, true, QCP::aeOther);
}

void TChartOverlays::draw(QCPPainter* Painter) {
    DrawSelection(*Painter);
    DrawMarkers(*Painter);
    if (!Chart.OnBeforeDrawSeries)
        return;
    Painter->save();
    TChartCanvas Canvas(*Painter);
    Chart.OnBeforeDrawSeries(Canvas);
    Painter->restore();
}

void TChartOverlays::DrawSelection(QCPPainter& Painter) const {
    const std::optional<TAxisSpan> Selection = Chart.SelectedRange();
    if (!Selection)
        return;
    const QRect Plot = Chart.PlotRect();
    // Clamped as doubles: zoomed far in, a range's ends lie far off the plot.
    const auto Pixel = [&](double X) {
        return static_cast<int>(std::clamp(Chart.xAxis->coordToPixel(X), double(Plot.left()), double(Plot.right())));
    };
    const int Left = Pixel(Selection->Low), Right = Pixel(Selection->High);
    Painter.fillRect(QRect(QPoint(std::min(Left, Right), Plot.top()), QPoint(std::max(Left, Right), Plot.bottom())),
                     QColor(80, 140, 230, 50));
}

void TChartOverlays::DrawMarkers(QCPPainter& Painter) const {
    const QRect Plot = Chart.PlotRect();
    Painter.save();
    QFont Font = Painter.font();
    Font.setPointSize(8);
    Painter.setFont(Font);
    const QFontMetrics Metrics(Font);
    // Labels step down the plot so that notes close together stay legible.
    int Row = 0;
    for (const TPackMonChart::TMarker& Marker : Chart.Markers()) {
        const double X = Chart.xAxis->coordToPixel(Marker.X);
        if (!(X >= Plot.left() && X <= Plot.right()))
            continue;
        const int Pixel = static_cast<int>(std::lround(X));
        Painter.setPen(QPen(QColor(120, 60, 160), 0, Qt::DashLine));
        Painter.drawLine(QLineF(Pixel, Plot.top(), Pixel, Plot.bottom()));
        const QString Text = Metrics.elidedText(Marker.Label, Qt::ElideRight, 200);
        const QRect Box(Pixel + 3, Plot.top() + 2 + (Row++ % 4) * (Metrics.height() + 2),
                        Metrics.horizontalAdvance(Text) + 4, Metrics.height());
        Painter.fillRect(Box, QColor(255, 255, 255, 200));
        Painter.setPen(QColor(90, 30, 130));
        Painter.drawText(Box.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Text);
    }
    Painter.restore();
}
