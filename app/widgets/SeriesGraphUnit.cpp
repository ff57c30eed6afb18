// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SeriesGraphUnit.h"

#include <algorithm>
#include <cmath>

namespace {

// Far enough outside any widget to be clipped, near enough to stay an int.
constexpr double PixelLimit = 1e6;

int Pixel(double Coordinate) { return static_cast<int>(std::floor(std::clamp(Coordinate, -PixelLimit, PixelLimit))); }

// Adds the span of column X from Y0 to Y1, merged into the last one when
// that is in the same column.
void AddSpan(QVector<QRect>& Spans, int X, double Y0, double Y1) {
    const int Top = Pixel(std::min(Y0, Y1));
    const int Bottom = Pixel(std::max(Y0, Y1));
    if (!Spans.isEmpty() && Spans.back().left() == X) {
        QRect& Last = Spans.back();
        Last.setTop(std::min(Last.top(), Top));
        Last.setBottom(std::max(Last.bottom(), Bottom));
        return;
    }
    Spans.append(QRect(X, Top, 1, Bottom - Top + 1));
}

// Turns one-pixel columns into horizontal runs, the rows a series covers
// side by side: a band of noise a few hundred columns wide is then a few
// rectangles a row rather than a few hundred a column. The columns that
// start or end a row's run are found from the difference between
// neighbouring columns, so the work is the runs, not the pixels.
class TRunBuilder {
  public:
    TRunBuilder(int ATop, int ABottom, QVector<QRect>& AOut)
        : Top(ATop), Bottom(ABottom), Open(static_cast<std::size_t>(std::max(ABottom - ATop + 1, 0))), Out(AOut) {}

    void Column(int X, int SpanTop, int SpanBottom) {
        SpanTop = std::max(SpanTop, Top);
        SpanBottom = std::min(SpanBottom, Bottom);
        if (X != LastX + 1)
            Flush();
        // Rows the last column covered and this one does not end here;
        // rows this one covers and the last did not start here.
        CloseRows(PreviousTop, std::min(PreviousBottom, SpanTop - 1), X);
        CloseRows(std::max(PreviousTop, SpanBottom + 1), PreviousBottom, X);
        OpenRows(SpanTop, std::min(SpanBottom, PreviousTop - 1), X);
        OpenRows(std::max(SpanTop, PreviousBottom + 1), SpanBottom, X);
        PreviousTop = SpanTop;
        PreviousBottom = SpanBottom;
        LastX = X;
    }
    void Flush() {
        CloseRows(PreviousTop, PreviousBottom, LastX + 1);
        PreviousTop = 1;
        PreviousBottom = 0;
    }

  private:
    void OpenRows(int From, int To, int X) {
        for (int Y = From; Y <= To; ++Y)
            Open[static_cast<std::size_t>(Y - Top)] = X;
    }
    void CloseRows(int From, int To, int EndX) {
        for (int Y = From; Y <= To; ++Y) {
            const int StartX = Open[static_cast<std::size_t>(Y - Top)];
            // Rows closing together that started together make one rectangle.
            if (!Out.isEmpty()) {
                QRect& Last = Out.back();
                if (Last.bottom() == Y - 1 && Last.left() == StartX && Last.right() == EndX - 1) {
                    Last.setBottom(Y);
                    continue;
                }
            }
            Out.append(QRect(StartX, Y, EndX - StartX, 1));
        }
    }

    int Top, Bottom;
    std::vector<int> Open; // the column each row's open run started at
    QVector<QRect>& Out;
    int LastX = std::numeric_limits<int>::min() / 2;
    int PreviousTop = 1, PreviousBottom = 0; // empty
};

// About what filling costs the raster engine: a call per rectangle and a
// fill per row of each, a call being some ten times a row.
std::size_t FillCost(const QVector<QRect>& Rects) {
    std::size_t Rows = 0;
    for (const QRect& Rect : Rects)
        Rows += static_cast<std::size_t>(Rect.height());
    return 10 * static_cast<std::size_t>(Rects.size()) + Rows;
}

} // namespace

void ColumnSpans(const QVector<QPointF>& Points, QVector<QRect>& Spans, QVector<QLineF>& Long) {
    Spans.clear();
    Long.clear();
    for (qsizetype I = 1; I < Points.size(); ++I) {
        const QPointF& A = Points[I - 1];
        const QPointF& B = Points[I];
        if (std::isnan(A.y()) || std::isnan(B.y()) || std::isnan(A.x()) || std::isnan(B.x()))
            continue;
        const int XA = Pixel(A.x());
        const int XB = Pixel(B.x());
        if (XA == XB) {
            AddSpan(Spans, XA, A.y(), B.y());
        } else if (std::abs(XB - XA) == 1) {
            // A step to the next column: half of the rise in each, as a
            // line would be stepped.
            const double Middle = (A.y() + B.y()) / 2;
            AddSpan(Spans, XA, A.y(), Middle);
            AddSpan(Spans, XB, Middle, B.y());
        } else {
            Long.append(QLineF(A, B));
        }
    }
}

void RowRuns(const QVector<QRect>& Spans, int Top, int Bottom, QVector<QRect>& Runs) {
    Runs.clear();
    TRunBuilder Builder(Top, Bottom, Runs);
    for (const QRect& Span : Spans)
        Builder.Column(Span.left(), Span.top(), Span.bottom());
    Builder.Flush();
}

void TSeriesGraph::drawLinePlot(QCPPainter* Painter, const QVector<QPointF>& Lines) const {
    const QPen Pen = Painter->pen();
    if (!Columns || Pen.style() != Qt::SolidLine || Pen.color().alpha() == 0) {
        QCPGraph::drawLinePlot(Painter, Lines);
        return;
    }
    thread_local QVector<QRect> Spans, Runs;
    thread_local QVector<QLineF> Long;
    ColumnSpans(Lines, Spans, Long);
    applyDefaultAntialiasingHint(Painter);
    for (const QLineF& Line : Long)
        Painter->drawLine(Line);
    const int Width = std::max(Pen.width(), 1);
    if (Width > 1) {
        // A wide pen (the series picked out): each column as wide as it.
        for (QRect& Span : Spans)
            Span.adjust(-(Width - 1) / 2, 0, Width / 2, 0);
    } else {
        const QRect Clip = clipRect();
        RowRuns(Spans, Clip.top() - 1, Clip.bottom() + 1, Runs);
        // Runs win for a band, columns for a steep line.
        if (FillCost(Runs) < FillCost(Spans))
            Spans.swap(Runs);
    }
    Painter->setPen(Qt::NoPen);
    Painter->setBrush(Pen.color());
    Painter->drawRects(Spans.constData(), static_cast<int>(Spans.size()));
    Painter->setPen(Pen);
    Painter->setBrush(Qt::NoBrush);
}
