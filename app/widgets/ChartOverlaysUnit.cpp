// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartOverlaysUnit.h"

#include <algorithm>
#include <cmath>

TChartOverlays::TChartOverlays(QCustomPlot& Plot, const QString& Layer, std::function<void(QCPPainter&)> APaint)
    : QCPLayerable(&Plot, Layer), Paint(std::move(APaint)) {}

void TChartOverlays::applyDefaultAntialiasingHint(QCPPainter* Painter) const {
    applyAntialiasingHint(Painter, true, QCP::aeOther);
}

void TChartOverlays::draw(QCPPainter* Painter) {
    if (Paint)
        Paint(*Painter);
}

void DrawSelectedRange(QCPPainter& Painter, const QCPAxis& Time, QRect Plot, TAxisSpan Range) {
    // Clamped as doubles: zoomed far in, a range's ends lie far off the plot.
    const auto Pixel = [&](double X) {
        return static_cast<int>(std::clamp(Time.coordToPixel(X), double(Plot.left()), double(Plot.right())));
    };
    const int Left = Pixel(Range.Low), Right = Pixel(Range.High);
    Painter.fillRect(QRect(QPoint(std::min(Left, Right), Plot.top()), QPoint(std::max(Left, Right), Plot.bottom())),
                     QColor(80, 140, 230, 50));
}

void DrawChartMarkers(QCPPainter& Painter, const QCPAxis& Time, QRect Plot, const std::vector<TChartMarker>& Markers) {
    Painter.save();
    QFont Font = Painter.font();
    Font.setPointSize(8);
    Painter.setFont(Font);
    const QFontMetrics Metrics(Font);
    // Labels step down the plot so that notes close together stay legible.
    int Row = 0;
    for (const TChartMarker& Marker : Markers) {
        const double X = Time.coordToPixel(Marker.X);
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
