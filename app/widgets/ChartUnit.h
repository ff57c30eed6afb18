// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartCanvasUnit.h"
#include "ChartOverlaysUnit.h"
#include "ChartViewUnit.h"
#include "DrawnExtentUnit.h"
#include "RepaintPacingUnit.h"
#include "SeriesGraphUnit.h"
#include "SeriesStoreUnit.h"

#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <qcustomplot.h>
#include <string>
#include <vector>

// The chart as the rest of the program sees it: line series with a title,
// a vertical axis, an active flag, a colour, a pen width and date-time X
// values; axes with titles and label texts; a title of text lines; the
// plot rectangle; and a hook that draws under the series. QCustomPlot does
// the drawing and nothing outside this unit talks to it.

enum class TChartAxis { Bottom, Left, Right };

class TPackMonChart;
class TChartInput;

class TChartSeries {
  public:
    TChartSeries(TPackMonChart& AChart, TSeriesGraph* AGraph, int AIndex, QString ATitle, TChartAxis AVerticalAxis);

    const QString& Title() const { return SeriesTitle; }
    TChartAxis VerticalAxis() const { return Axis; }
    bool Active() const;
    void SetActive(bool Value);
    TColor Color() const { return SeriesColor; }
    void SetColor(TColor Value);
    int PenWidth() const { return Width; }
    void SetPenWidth(int Value);
    bool XIsDateTime() const { return DateTimeX; }
    void SetXIsDateTime(bool Value) { DateTimeX = Value; }

    // The points live in the chart's series store, which keeps them in X
    // order; these reach them by this series' index.
    void AddXY(double X, double Y);
    void Clear();
    std::size_t Count() const;
    double XValue(std::size_t Index) const;
    double YValue(std::size_t Index) const;
    double MaxYValue() const; // 0 when empty
    double MinYValue() const;

    TSeriesGraph* Graph() const { return PlotGraph; }

    // Hands QCustomPlot the store's envelope for X from Low to High across
    // Pixels columns.
    void PrepareToDraw(double Low, double High, int Pixels);

  private:
    const TSeriesData& Data() const;
    void UpdatePen();

    TPackMonChart& Chart;
    TSeriesGraph* PlotGraph;
    int Index;
    QString SeriesTitle;
    TChartAxis Axis;
    TColor SeriesColor = 0;
    int Width = 1;
    bool DateTimeX = false;
};

class TPackMonChart : public QCustomPlot {
    Q_OBJECT

  public:
    explicit TPackMonChart(QWidget* Parent = nullptr);
    ~TPackMonChart() override;

    // The points of every series, as plain data; a change in it repaints the
    // chart within one repaint interval, a point that changes the picture by
    // less than a pixel column within the slow one (TDrawnExtent).
    TSeriesStore& Store() { return *Shown; }
    const TSeriesStore& Store() const { return *Shown; }
    // The chart's own store, where its series were added: the live run.
    TSeriesStore& OwnStore() { return SeriesStore; }
    // Shows another store with the same series (a review), or with none the
    // chart's own again.
    void ShowStore(TSeriesStore* Other);

    int SeriesCount() const { return static_cast<int>(SeriesList.size()); }
    TChartSeries& Series(int Index) const { return *SeriesList.at(static_cast<std::size_t>(Index)); }
    TChartSeries& AddSeries(const QString& Title, TChartAxis VerticalAxis);
    void RemoveAllSeries();

    QString AxisTitle(TChartAxis Axis) const;
    void SetAxisTitle(TChartAxis Axis, const QString& Title);
    // The bottom axis shows date-times as "hh:nn:ss" while a series with
    // date-time X values is active, as found at the last repaint.
    bool BottomAxisIsDateTime() const { return DateTimeBottom; }
    std::string AxisLabelText(TChartAxis Axis, double Value) const;
    void SetRightAxisColor(TColor Color);
    // The local date-time at elapsed time 0, when the run's start is known;
    // the time axis can then show the time of day.
    void SetClockStart(std::optional<double> LocalStart);
    std::optional<double> ClockStartTime() const { return ClockStart; }
    void SetShowTimeOfDay(bool Value);
    bool ShowsTimeOfDay() const { return TimeOfDay && ClockStart.has_value(); }

    QRect PlotRect() const;
    double PixelToValue(TChartAxis Axis, int Pixel) const;

    QStringList TitleLines() const { return Lines; }
    void ClearTitle();
    void AddTitleLine(const QString& Line);

    // Drawn on every repaint, over the grid and under the series.
    std::function<void(TChartCanvas&)> OnBeforeDrawSeries;

    // Marks the chart as changed; it repaints within one repaint interval.
    void Invalidate();
    // Repaints now: axes fitted to the active series, or as the user has
    // zoomed them, then drawn.
    void Repaint();
    int RepaintCount() const { return Repaints; }

    // Zoom and pan: the wheel over the plot zooms time about the pointer,
    // over a value axis that axis; a drag pans, a drag with Shift zooms to
    // a box; a double-click or Home shows the whole run again, End follows
    // the newest reading; arrows pan, + and - zoom. A right-button drag
    // selects a time range.
    TChartView& View() { return ChartView; }
    const TChartView& View() const { return ChartView; }
    // After changing View() from outside.
    void ViewChanged();
    std::optional<TAxisSpan> SelectedRange() const { return Selection; }
    void SelectRange(TAxisSpan Range);
    // Whether any series is shown: with none there is nothing to zoom.
    bool ShowsAnySeries() const;
    // Labelled vertical lines at times along the run (the user's notes).
    using TMarker = TChartMarker;
    void SetMarkers(std::vector<TMarker> Value);
    const std::vector<TMarker>& Markers() const { return MarkerList; }
    void ClearSelectedRange();

  signals:
    void ViewModeChanged(TViewMode Mode);
    void RangeSelected(double Low, double High);
    void PointerLeft();

  protected:
    void wheelEvent(QWheelEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

  private:
    friend class TChartSeries;

    void Watch(TSeriesStore& Watched);
    void PaintOverlays(QCPPainter& Painter);
    QCPAxis* AxisOf(TChartAxis Axis) const;
    // Fits the axes and tells what will be drawn.
    TDrawnExtent::TDrawn FitAxes();
    void PointAdded(int Index, double X, double Y);
    void ApplyView();
    void ShowTitle();

    TSeriesStore SeriesStore;
    TSeriesStore* Shown = &SeriesStore;
    std::vector<std::unique_ptr<TChartSeries>> SeriesList;
    QCPTextElement* Title = nullptr;
    QStringList Lines;
    bool DateTimeBottom = false;
    std::optional<double> ClockStart;
    bool TimeOfDay = false;
    QTimer RepaintTimer, SlowRepaintTimer;
    int Repaints = 0;
    TDrawnExtent DrawnExtent;

    TChartView ChartView;
    TViewMode ShownMode = TViewMode::Whole;
    std::unique_ptr<TChartInput> Input;
    std::optional<TAxisSpan> Selection;
    std::vector<TMarker> MarkerList;
};
