// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartInputUnit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>
#include <cmath>
#include <qcustomplot.h>
#include <utility>

namespace {

// One wheel notch or one + or - zooms by this much.
constexpr double ZoomStep = 0.8;
// An arrow key moves the view by this share of its span.
constexpr double PanStep = 0.1;

} // namespace

void TChartInput::Moved() { Target.OnViewMoved(); }

TViewAxis TChartInput::AxisAt(QPoint Pixel) const {
    const QRect Plot = Target.PlotArea();
    if (Pixel.x() < Plot.left() && Pixel.y() <= Plot.bottom())
        return TViewAxis::Left;
    if (Pixel.x() > Plot.right() && Pixel.y() <= Plot.bottom())
        return TViewAxis::Right;
    return TViewAxis::Time;
}

void TChartInput::ZoomAbout(TViewAxis Axis, QPoint Pixel, double Factor) {
    const double Centre = Axis == TViewAxis::Time   ? Target.Plot.xAxis->pixelToCoord(Pixel.x())
                          : Axis == TViewAxis::Left ? Target.Plot.yAxis->pixelToCoord(Pixel.y())
                                                    : Target.Plot.yAxis2->pixelToCoord(Pixel.y());
    Target.View.ZoomAt(Axis, Centre, Factor);
    Moved();
}

void TChartInput::PanPixels(QPoint From, QPoint To, bool Values) {
    TChartView& View = Target.View;
    if (From.x() != To.x())
        View.PanBy(TViewAxis::Time,
                   Target.Plot.xAxis->pixelToCoord(From.x()) - Target.Plot.xAxis->pixelToCoord(To.x()));
    if (Values && From.y() != To.y()) {
        View.PanBy(TViewAxis::Left,
                   Target.Plot.yAxis->pixelToCoord(From.y()) - Target.Plot.yAxis->pixelToCoord(To.y()));
        View.PanBy(TViewAxis::Right,
                   Target.Plot.yAxis2->pixelToCoord(From.y()) - Target.Plot.yAxis2->pixelToCoord(To.y()));
    }
    Moved();
}

void TChartInput::ZoomToBox(QRect Box) {
    // A box too small to mean anything is a slip of the hand.
    if (Box.width() < 4 || Box.height() < 4)
        return;
    TChartView& View = Target.View;
    View.ShowRange(TViewAxis::Time,
                   {Target.Plot.xAxis->pixelToCoord(Box.left()), Target.Plot.xAxis->pixelToCoord(Box.right())});
    View.ShowRange(TViewAxis::Left,
                   {Target.Plot.yAxis->pixelToCoord(Box.bottom()), Target.Plot.yAxis->pixelToCoord(Box.top())});
    View.ShowRange(TViewAxis::Right,
                   {Target.Plot.yAxis2->pixelToCoord(Box.bottom()), Target.Plot.yAxis2->pixelToCoord(Box.top())});
    Moved();
}

void TChartInput::Wheel(QWheelEvent& Event) {
    const double Notches = Event.angleDelta().y() / 120.0;
    if (Notches != 0 && Target.AnySeriesShown())
        ZoomAbout(AxisAt(Event.position().toPoint()), Event.position().toPoint(), std::pow(ZoomStep, Notches));
    Event.accept();
}

void TChartInput::Press(QMouseEvent& Event) {
    DragFrom = DragLast = Event.position().toPoint();
    if (!Target.AnySeriesShown())
        return;
    if (Event.button() == Qt::RightButton)
        Drag = TDrag::Select;
    else if (Event.button() == Qt::LeftButton && (Event.modifiers() & Qt::ShiftModifier))
        Drag = TDrag::Box;
    else if (Event.button() == Qt::LeftButton)
        Drag = TDrag::Pan;
    if (Drag == TDrag::Box || Drag == TDrag::Select) {
        if (!Band)
            Band = new QRubberBand(QRubberBand::Rectangle, &Target.Plot);
        Band->setGeometry(QRect(DragFrom, QSize()));
        Band->show();
    }
}

void TChartInput::Move(QMouseEvent& Event) {
    const QPoint At = Event.position().toPoint();
    if (Drag == TDrag::Pan) {
        PanPixels(DragLast, At, true);
    } else if (Drag == TDrag::Box) {
        Band->setGeometry(QRect(DragFrom, At).normalized());
    } else if (Drag == TDrag::Select) {
        const QRect Plot = Target.PlotArea();
        Band->setGeometry(QRect(QPoint(DragFrom.x(), Plot.top()), QPoint(At.x(), Plot.bottom())).normalized());
    }
    DragLast = At;
}

void TChartInput::Release(QMouseEvent& Event) {
    const QPoint At = Event.position().toPoint();
    if (Band)
        Band->hide();
    const TDrag Ended = std::exchange(Drag, TDrag::None);
    if (Ended == TDrag::Box) {
        ZoomToBox(QRect(DragFrom, At).normalized());
    } else if (Ended == TDrag::Select && std::abs(At.x() - DragFrom.x()) >= 2) {
        const double From = Target.Plot.xAxis->pixelToCoord(DragFrom.x()), To = Target.Plot.xAxis->pixelToCoord(At.x());
        Target.OnRangeSelected({std::min(From, To), std::max(From, To)});
    }
}

void TChartInput::DoubleClick(QMouseEvent& Event) {
    if (Event.button() != Qt::LeftButton)
        return;
    Target.View.Home();
    Moved();
}

bool TChartInput::Key(QKeyEvent& Event) {
    if (!Target.AnySeriesShown())
        return false;
    const QRect Plot = Target.PlotArea();
    const QPoint Middle = Plot.center();
    const int Step = static_cast<int>(PanStep * Plot.width()), Rise = static_cast<int>(PanStep * Plot.height());
    switch (Event.key()) {
    case Qt::Key_Home:
        Target.View.Home();
        Moved();
        return true;
    case Qt::Key_End:
        Target.View.End();
        Moved();
        return true;
    case Qt::Key_Left:
        PanPixels(Middle, Middle + QPoint(Step, 0), false);
        return true;
    case Qt::Key_Right:
        PanPixels(Middle, Middle - QPoint(Step, 0), false);
        return true;
    case Qt::Key_Up:
        PanPixels(Middle, Middle + QPoint(0, Rise), true);
        return true;
    case Qt::Key_Down:
        PanPixels(Middle, Middle - QPoint(0, Rise), true);
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAbout(TViewAxis::Time, Middle, ZoomStep);
        return true;
    case Qt::Key_Minus:
        ZoomAbout(TViewAxis::Time, Middle, 1 / ZoomStep);
        return true;
    default:
        return false;
    }
}
