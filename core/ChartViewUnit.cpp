// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartViewUnit.h"

#include <algorithm>
#include <cmath>

namespace {

// Narrower than a millisecond of time or a tenth of a millivolt shows
// nothing more, and the axis labels could no longer tell ticks apart.
double NarrowestSpan(TViewAxis Axis) { return Axis == TViewAxis::Time ? 1e-3 / 86400.0 : 1e-4; }

} // namespace

TAxisSpan TChartView::Shown(TViewAxis Axis) const {
    const TAxisSpan& Fit = Fitted[Index(Axis)];
    switch (ViewMode) {
    case TViewMode::Whole:
        return Fit;
    case TViewMode::Held:
        return Held[Index(Axis)];
    case TViewMode::LiveEnd:
        if (Axis == TViewAxis::Time) {
            const double Width = Held[Index(Axis)].Size();
            return {Fit.High - Width, Fit.High};
        }
        return ValuesHeld ? Held[Index(Axis)] : Fit;
    }
    return Fit;
}

void TChartView::Hold(TViewAxis Moved) {
    for (TViewAxis Axis : {TViewAxis::Time, TViewAxis::Left, TViewAxis::Right})
        Held[Index(Axis)] = Shown(Axis);
    ViewMode = TViewMode::Held;
    ValuesHeld = ValuesHeld || Moved != TViewAxis::Time;
}

void TChartView::Set(TViewAxis Axis, TAxisSpan Span) {
    const double Narrowest = NarrowestSpan(Axis);
    if (!(Span.Size() >= Narrowest)) {
        const double Middle = (Span.Low + Span.High) / 2;
        Span = {Middle - Narrowest / 2, Middle + Narrowest / 2};
    }
    if (std::isfinite(Span.Low) && std::isfinite(Span.High))
        Held[Index(Axis)] = Span;
}

void TChartView::ZoomAt(TViewAxis Axis, double Centre, double Factor) {
    if (!(Factor > 0) || !std::isfinite(Centre))
        return;
    Hold(Axis);
    const TAxisSpan Now = Held[Index(Axis)];
    Set(Axis, {Centre - (Centre - Now.Low) * Factor, Centre + (Now.High - Centre) * Factor});
}

void TChartView::PanBy(TViewAxis Axis, double Delta) {
    if (!std::isfinite(Delta))
        return;
    Hold(Axis);
    const TAxisSpan Now = Held[Index(Axis)];
    Set(Axis, {Now.Low + Delta, Now.High + Delta});
}

void TChartView::ShowRange(TViewAxis Axis, TAxisSpan Span) {
    Hold(Axis);
    Set(Axis, {std::min(Span.Low, Span.High), std::max(Span.Low, Span.High)});
}

void TChartView::End() {
    if (ViewMode == TViewMode::Held)
        ViewMode = TViewMode::LiveEnd;
}
