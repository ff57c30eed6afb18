// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RepaintPacingUnit.h"
#include "SeriesGraphUnit.h"
#include "SeriesStoreUnit.h"

#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <qcustomplot.h>
#include <string>
#include <vector>

// The chart as the rest of the program sees it: line series with a title,
// a vertical axis, an active flag, a colour, a pen width and date-time X
// values; axes with titles and label texts; a title of text lines; the
// plot rectangle; and a hook that draws under the series. QCustomPlot does
// the drawing and nothing outside this unit talks to it.

// A colour as the settings file and the colour dialog hold it: 0x00BBGGRR.
using TColor = std::uint32_t;
QColor ToQColor(TColor Color);
TColor FromQColor(const QColor& Color);

enum class TChartAxis { Bottom, Left, Right };

class TPackMonChart;

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

// Drawing on the chart from the hook, in the chart control's pixels.
class TChartCanvas {
  public:
    explicit TChartCanvas(QPainter& APainter) : Painter(APainter) {}
    void Save() { Painter.save(); }
    void Restore() { Painter.restore(); }
    void SetFontSize(int Points);
    void SetFontBold(bool Bold);
    void SetFontColor(TColor Color);
    void SetBrushStyle(Qt::BrushStyle Style);
    int TextWidth(const QString& Text) const;
    // Text with its top-left corner at (X, Y).
    void TextOut(int X, int Y, const QString& Text);

  private:
    QPainter& Painter;
};

class TPackMonChart : public QCustomPlot {
    Q_OBJECT

  public:
    explicit TPackMonChart(QWidget* Parent = nullptr);
    ~TPackMonChart() override;

    // The points of every series, as plain data; a change in it repaints the
    // chart within one repaint interval.
    TSeriesStore& Store() { return SeriesStore; }
    const TSeriesStore& Store() const { return SeriesStore; }

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

    QRect PlotRect() const;
    double PixelToValue(TChartAxis Axis, int Pixel) const;

    QStringList TitleLines() const { return Lines; }
    void ClearTitle();
    void AddTitleLine(const QString& Line);

    // Drawn on every repaint, over the grid and under the series.
    std::function<void(TChartCanvas&)> OnBeforeDrawSeries;

    // Marks the chart as changed; it repaints within one repaint interval.
    void Invalidate();
    // Repaints now: axes fitted to the active series, then drawn.
    void Repaint();
    int RepaintCount() const { return Repaints; }

  private:
    class TBeforeSeriesLayer;
    class TAxisTicker;
    friend class TChartSeries;

    QCPAxis* AxisOf(TChartAxis Axis) const;
    void FitAxes();
    void ShowTitle();

    TSeriesStore SeriesStore;
    std::vector<std::unique_ptr<TChartSeries>> SeriesList;
    QCPTextElement* Title = nullptr;
    QStringList Lines;
    bool DateTimeBottom = false;
    QTimer RepaintTimer;
    int Repaints = 0;
};
