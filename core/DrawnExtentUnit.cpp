// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawnExtentUnit.h"

#include <algorithm>

bool TDrawnExtent::ChangesPicture(double X, double Y, bool RightAxis) const {
    if (!Known || !Last.AnyPoints)
        return true;
    // Inserted before the newest point: somewhere inside what is drawn.
    if (X < Last.Newest)
        return true;
    // A held view that ends before the point never shows it.
    if (Last.Mode == TViewMode::Held && X > Last.Time.High)
        return false;
    const double Column = Last.Time.Size() / std::max(Last.Columns, 1);
    if (!(X - Last.Newest < Column))
        return true;
    const bool Any = RightAxis ? Last.AnyRight : Last.AnyLeft;
    const TAxisSpan& Values = RightAxis ? Last.Right : Last.Left;
    return !Any || Y < Values.Low || Y > Values.High;
}
