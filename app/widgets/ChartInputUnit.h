// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartViewUnit.h"

#include <QPoint>
#include <QRect>
#include <functional>

class QCustomPlot;
class QKeyEvent;
class QMouseEvent;
class QRubberBand;
class QWheelEvent;

// What the input moves: the plot's axes, the view, and the chart's answers.
struct TChartInputTarget {
    QCustomPlot& Plot;
    TChartView& View;
    std::function<QRect()> PlotArea;
    std::function<bool()> AnySeriesShown;
    std::function<void()> OnViewMoved;
    std::function<void(TAxisSpan Range)> OnRangeSelected;
};

// The chart's mouse and keys, turned into its view: the wheel over the plot
// zooms time about the pointer, over a value axis that axis; a drag pans, a
// drag with Shift zooms to a box, a right-button drag selects a time range;
// a double-click or Home shows the whole run, End follows the newest
// reading; arrows pan, + and - zoom. With no series shown nothing moves.
class TChartInput {
  public:
    explicit TChartInput(TChartInputTarget ATarget) : Target(std::move(ATarget)) {}

    void Wheel(QWheelEvent& Event);
    void Press(QMouseEvent& Event);
    void Move(QMouseEvent& Event);
    void Release(QMouseEvent& Event);
    void DoubleClick(QMouseEvent& Event);
    // False for a key the chart does not take.
    bool Key(QKeyEvent& Event);

  private:
    TViewAxis AxisAt(QPoint Pixel) const;
    void ZoomAbout(TViewAxis Axis, QPoint Pixel, double Factor);
    void PanPixels(QPoint From, QPoint To, bool Values);
    void ZoomToBox(QRect Box);
    void Moved();

    TChartInputTarget Target;
    enum class TDrag { None, Pan, Box, Select } Drag = TDrag::None;
    QPoint DragFrom, DragLast;
    QRubberBand* Band = nullptr;
};
