// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AxisFitUnit.h"

#include <algorithm>
#include <cmath>

namespace {

struct TRange {
    bool Any = false;
    double Low = 0, High = 0;
    void Take(double L, double H) {
        Low = Any ? std::min(Low, L) : L;
        High = Any ? std::max(High, H) : H;
        Any = true;
    }
    TAxisSpan Padded(double Margin) const {
        const double Span = High - Low;
        const double Pad = Span > 0 ? Span * Margin : std::max(std::fabs(High) * 0.01, 0.001);
        return {Low - Pad, High + Pad};
    }
};

} // namespace

TAxisFit FitAxes(const std::vector<TSeriesExtent>& Series) {
    TRange Bottom, Left, Right;
    TAxisFit Fit;
    for (const TSeriesExtent& One : Series) {
        if (!One.Active)
            continue;
        Fit.DateTimeBottom = Fit.DateTimeBottom || One.DateTimeX;
        if (One.Count == 0)
            continue;
        Bottom.Take(One.FirstX, One.LastX);
        (One.RightAxis ? Right : Left).Take(One.MinY, One.MaxY);
    }
    Fit.AnyPoints = Bottom.Any;
    if (!Bottom.Any) {
        Fit.Time = Fit.Left = Fit.Right = {0, 1};
        Fit.FitTime = Fit.FitLeft = Fit.FitRight = true;
        return Fit;
    }
    Fit.Time = Bottom.Padded(0.0);
    Fit.FitTime = true;
    Fit.Newest = Bottom.High;
    if ((Fit.FitLeft = Left.Any)) {
        Fit.Left = Left.Padded(0.05);
        Fit.LeftData = {Left.Low, Left.High};
    }
    if ((Fit.FitRight = Right.Any)) {
        Fit.Right = Right.Padded(0.05);
        Fit.RightData = {Right.Low, Right.High};
    }
    return Fit;
}
