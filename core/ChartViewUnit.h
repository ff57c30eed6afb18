// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

// A range along one of the chart's axes.
struct TAxisSpan {
    double Low = 0, High = 1;
    double Size() const { return High - Low; }
    bool operator==(const TAxisSpan&) const = default;
};

enum class TViewAxis { Time, Left, Right };

// What the chart shows, as the user has zoomed and panned it:
// - Whole: every axis fits the whole run, as readings arrive;
// - Held: the user looked closer; readings arriving move nothing;
// - LiveEnd: the time span the user chose, kept at the newest reading.
enum class TViewMode { Whole, Held, LiveEnd };

class TChartView {
  public:
    TViewMode Mode() const { return ViewMode; }
    // The ranges that fit the whole run, found at every repaint.
    void Fit(TViewAxis Axis, TAxisSpan Span) { Fitted[Index(Axis)] = Span; }
    TAxisSpan Shown(TViewAxis Axis) const;

    // Factor below 1 zooms in, keeping Centre where it is on the screen.
    void ZoomAt(TViewAxis Axis, double Centre, double Factor);
    // Moves the range by Delta in the axis' own units.
    void PanBy(TViewAxis Axis, double Delta);
    // Shows exactly this range along the axis, as a box zoom does.
    void ShowRange(TViewAxis Axis, TAxisSpan Span);
    void Home() {
        ViewMode = TViewMode::Whole;
        ValuesHeld = false;
    }
    // Follows the newest reading with the time span shown now; the whole
    // run when the whole run is shown.
    void End();

  private:
    static constexpr int Index(TViewAxis Axis) { return static_cast<int>(Axis); }
    // Freezes what is shown before the user moves an axis.
    void Hold(TViewAxis Moved);
    void Set(TViewAxis Axis, TAxisSpan Span);

    TViewMode ViewMode = TViewMode::Whole;
    // The user moved a value axis: it stays put while the time follows.
    bool ValuesHeld = false;
    std::array<TAxisSpan, 3> Fitted{}, Held{};
};
