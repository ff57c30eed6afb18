// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <qcustomplot.h>

// A chart series' graph. While it is handed one low and one high a pixel
// column (a dense series' envelope), its line is drawn as filled vertical
// spans: the raster engine fills a span a row at a time, where a line is
// stepped a pixel at a time, and a dense series' columns are tall.
class TSeriesGraph : public QCPGraph {
  public:
    TSeriesGraph(QCPAxis* KeyAxis, QCPAxis* ValueAxis) : QCPGraph(KeyAxis, ValueAxis) {}
    void SetColumns(bool Value) { Columns = Value; }
    bool InColumns() const { return Columns; }

  protected:
    void drawLinePlot(QCPPainter* Painter, const QVector<QPointF>& Lines) const override;

  private:
    bool Columns = false;
};

// The one-pixel-wide spans, one a column from left to right, that cover
// the line through Points (pixel coordinates) where a segment runs at most
// one column across; longer segments are returned in Long, to be drawn as
// lines. A NaN point breaks the line.
void ColumnSpans(const QVector<QPointF>& Points, QVector<QRect>& Spans, QVector<QLineF>& Long);

// The same pixels as Spans, rows Top to Bottom only, as horizontal runs.
void RowRuns(const QVector<QRect>& Spans, int Top, int Bottom, QVector<QRect>& Runs);
