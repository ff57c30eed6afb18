// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartViewUnit.h"

// What the chart last drew, so that a point appended since can tell
// whether it changes the picture at once or can wait a little. Over a long
// run's whole view a pixel column holds seconds of readings; drawing the
// run again for each reading that lands in the newest column would cost
// more the longer the run, for a picture that hardly moves. So a point
// calls for a prompt repaint when it moves the newest reading on by a
// column or more, lies outside the values the axes were fitted to, or
// falls among points already drawn; the rest wait for the slow pace.
class TDrawnExtent {
  public:
    struct TDrawn {
        TViewMode Mode = TViewMode::Whole;
        TAxisSpan Time;         // the time range drawn
        int Columns = 1;        // across this many pixel columns
        bool AnyPoints = false; // whether any shown series had a point
        double Newest = 0;      // the newest time among the shown series
        TAxisSpan Left, Right;  // the values of the shown series on each axis
        bool AnyLeft = false, AnyRight = false;
    };

    void Drawn(const TDrawn& Value) {
        Last = Value;
        Known = true;
    }
    // Whether a point at (X, Y) on the left or right axis changes the
    // picture enough to be drawn at once.
    bool ChangesPicture(double X, double Y, bool RightAxis) const;

  private:
    TDrawn Last;
    bool Known = false;
};
