// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartUnit.h"

#include "AxisFitUnit.h"
#include "ChartInputUnit.h"
#include "ChartOverlaysUnit.h"
#include "ChartTickerUnit.h"
#include "NumberFormatUnit.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::string DateTimeLabel(double Value) { return Value < 0 ? std::string() : FormatTimeOfDay(Value); }

} // namespace

// --- Series --------------------------------------------------------------------

TChartSeries::TChartSeries(TPackMonChart& AChart, TSeriesGraph* AGraph, int AIndex, QString ATitle,
                           TChartAxis AVerticalAxis)
    : Chart(AChart), PlotGraph(AGraph), Index(AIndex), SeriesTitle(std::move(ATitle)), Axis(AVerticalAxis) {
    PlotGraph->setName(SeriesTitle);
    PlotGraph->setLineStyle(QCPGraph::lsLine);
    PlotGraph->setScatterStyle(QCPScatterStyle::ssNone);
    PlotGraph->setVisible(false);
    UpdatePen();
}

const TSeriesData& TChartSeries::Data() const { return Chart.Store().Data(Index); }

bool TChartSeries::Active() const { return Chart.Store().Active(Index); }

void TChartSeries::SetActive(bool Value) { Chart.Store().SetActive(Index, Value); }

void TChartSeries::SetColor(TColor Value) {
    SeriesColor = Value & 0xFFFFFF;
    UpdatePen();
}

void TChartSeries::SetPenWidth(int Value) {
    Width = Value;
    UpdatePen();
}

void TChartSeries::UpdatePen() {
    // A width of 0 draws one pixel wide, like 1.
    PlotGraph->setPen(QPen(ToQColor(SeriesColor), std::max(Width, 1)));
    Chart.Invalidate();
}

void TChartSeries::AddXY(double X, double Y) { Chart.Store().AddXY(Index, X, Y); }

void TChartSeries::Clear() {
    Chart.Store().ClearSeries(Index);
    PlotGraph->data()->clear();
}

std::size_t TChartSeries::Count() const { return Data().Count(); }

double TChartSeries::XValue(std::size_t Point) const { return Data().Point(Point).X; }

double TChartSeries::YValue(std::size_t Point) const { return Data().Point(Point).Y; }

double TChartSeries::MaxYValue() const { return Data().MaxY(); }

double TChartSeries::MinYValue() const { return Data().MinY(); }

void TChartSeries::PrepareToDraw(double Low, double High, int Pixels) {
    thread_local std::vector<TSeriesPoint> Envelope;
    PlotGraph->SetColumns(Data().Envelope(Low, High, Pixels, Envelope));
    QVector<QCPGraphData> Drawn;
    Drawn.reserve(static_cast<qsizetype>(Envelope.size()));
    for (const TSeriesPoint& P : Envelope)
        Drawn.append(QCPGraphData(P.X, P.Y));
    PlotGraph->data()->set(Drawn, true);
}

// --- Chart ---------------------------------------------------------------------

TPackMonChart::TPackMonChart(QWidget* Parent)
    : QCustomPlot(Parent), Input(std::make_unique<TChartInput>(TChartInputTarget{
                               *this, ChartView, [this] { return PlotRect(); }, [this] { return ShowsAnySeries(); },
                               [this] { ViewChanged(); }, [this](TAxisSpan Range) { SelectRange(Range); }})) {
    setBackground(palette().window());
    // Antialiased series cost twice the drawing time, and the chart repaints
    // many times a second while data streams.
    setNotAntialiasedElement(QCP::aePlottables, true);
    axisRect()->setBackground(Qt::white);
    legend->setVisible(false);
    // A click gives the chart the keys that zoom and pan it.
    setFocusPolicy(Qt::ClickFocus);

    xAxis->setTicker(QSharedPointer<TChartTicker>::create([this] {
        return TChartTicker::TTimeLabels{DateTimeBottom, ShowsTimeOfDay() ? ClockStart : std::nullopt};
    }));
    yAxis->setTicker(QSharedPointer<TChartTicker>::create());
    yAxis2->setTicker(QSharedPointer<TChartTicker>::create());
    yAxis2->setVisible(true);
    yAxis2->grid()->setVisible(true);
    yAxis->grid()->setPen(QPen(Qt::black, 0, Qt::DashLine));
    yAxis->setTickPen(QPen(Qt::black, 0, Qt::DashLine));
    xAxis->grid()->setPen(QPen(QColor(200, 200, 200), 0, Qt::DotLine));

    addLayer(QStringLiteral("beforeSeries"), layer(QStringLiteral("grid")), QCustomPlot::limAbove);
    new TChartOverlays(*this, QStringLiteral("beforeSeries"), [this](QCPPainter& Painter) { PaintOverlays(Painter); });

    plotLayout()->insertRow(0);
    Title = new QCPTextElement(this, QString());
    plotLayout()->addElement(0, 0, Title);

    RepaintTimer.setSingleShot(true);
    RepaintTimer.setInterval(RepaintIntervalMs);
    connect(&RepaintTimer, &QTimer::timeout, this, &TPackMonChart::Repaint);
    SlowRepaintTimer.setSingleShot(true);
    SlowRepaintTimer.setInterval(SlowRepaintIntervalMs);
    connect(&SlowRepaintTimer, &QTimer::timeout, this, &TPackMonChart::Repaint);
    Watch(SeriesStore);
}

void TPackMonChart::Watch(TSeriesStore& Watched) {
    // A store not on show (the live run under a review) repaints nothing.
    Watched.OnChanged = [this, &Watched] {
        if (Shown == &Watched)
            Invalidate();
    };
    Watched.OnAppended = [this, &Watched](int Index, double X, double Y) {
        if (Shown == &Watched)
            PointAdded(Index, X, Y);
    };
}

void TPackMonChart::ShowStore(TSeriesStore* Other) {
    TSeriesStore* const Next = Other != nullptr ? Other : &SeriesStore;
    if (Next == Shown)
        return;
    if (Shown != &SeriesStore) {
        Shown->OnChanged = nullptr;
        Shown->OnAppended = nullptr;
    }
    Shown = Next;
    if (Shown != &SeriesStore)
        Watch(*Shown);
    DrawnExtent = {};
    ChartView.Home();
    ViewChanged();
    Invalidate();
}

TPackMonChart::~TPackMonChart() = default;

TChartSeries& TPackMonChart::AddSeries(const QString& SeriesTitle, TChartAxis VerticalAxis) {
    // The plot takes the graph over as addGraph's would.
    auto* Graph = new TSeriesGraph(xAxis, VerticalAxis == TChartAxis::Right ? yAxis2 : yAxis);
    // Series hand over at most four points a pixel column (PrepareToDraw).
    Graph->setAdaptiveSampling(false);
    const int Index = SeriesStore.AddSeries(SeriesTitle.toStdString());
    SeriesList.push_back(std::make_unique<TChartSeries>(*this, Graph, Index, SeriesTitle, VerticalAxis));
    Invalidate();
    return *SeriesList.back();
}

void TPackMonChart::RemoveAllSeries() {
    SeriesList.clear();
    clearGraphs();
    SeriesStore.RemoveAllSeries();
}

QCPAxis* TPackMonChart::AxisOf(TChartAxis Axis) const {
    switch (Axis) {
    case TChartAxis::Bottom:
        return xAxis;
    case TChartAxis::Left:
        return yAxis;
    case TChartAxis::Right:
        return yAxis2;
    }
    return xAxis;
}

QString TPackMonChart::AxisTitle(TChartAxis Axis) const { return AxisOf(Axis)->label(); }

void TPackMonChart::SetAxisTitle(TChartAxis Axis, const QString& AxisTitleText) {
    AxisOf(Axis)->setLabel(AxisTitleText);
    Invalidate();
}

std::string TPackMonChart::AxisLabelText(TChartAxis Axis, double Value) const {
    if (Axis == TChartAxis::Bottom && DateTimeBottom)
        return DateTimeLabel(Value);
    return ChartNumberLabel(Value);
}

void TPackMonChart::SetRightAxisColor(TColor Color) {
    const QColor Shade = ToQColor(Color);
    yAxis2->setTickLabelColor(Shade);
    yAxis2->setLabelColor(Shade);
    yAxis2->grid()->setPen(QPen(Shade, 0, Qt::SolidLine));
    Invalidate();
}

void TPackMonChart::SetClockStart(std::optional<double> LocalStart) {
    ClockStart = LocalStart;
    Invalidate();
}

void TPackMonChart::SetShowTimeOfDay(bool Value) {
    TimeOfDay = Value;
    Invalidate();
}

QRect TPackMonChart::PlotRect() const { return axisRect()->rect(); }

double TPackMonChart::PixelToValue(TChartAxis Axis, int Pixel) const { return AxisOf(Axis)->pixelToCoord(Pixel); }

void TPackMonChart::ClearTitle() {
    Lines.clear();
    ShowTitle();
}

void TPackMonChart::AddTitleLine(const QString& Line) {
    Lines << Line;
    ShowTitle();
}

void TPackMonChart::ShowTitle() {
    Title->setText(Lines.join(QLatin1Char('\n')));
    Invalidate();
}

void TPackMonChart::Invalidate() {
    if (!RepaintTimer.isActive())
        RepaintTimer.start();
}

void TPackMonChart::PointAdded(int Index, double X, double Y) {
    // A hidden series' points change nothing drawn.
    if (!Shown->Active(Index) || RepaintTimer.isActive())
        return;
    if (DrawnExtent.ChangesPicture(X, Y, Series(Index).VerticalAxis() == TChartAxis::Right))
        Invalidate();
    else if (!SlowRepaintTimer.isActive())
        SlowRepaintTimer.start();
}

TDrawnExtent::TDrawn TPackMonChart::FitAxes() {
    std::vector<TSeriesExtent> Extents;
    for (const auto& Series : SeriesList) {
        TSeriesExtent& One = Extents.emplace_back();
        One.Active = Series->Active();
        One.DateTimeX = Series->XIsDateTime();
        One.RightAxis = Series->VerticalAxis() == TChartAxis::Right;
        One.Count = One.Active ? Series->Count() : 0;
        if (One.Count == 0)
            continue;
        One.FirstX = Series->XValue(0);
        One.LastX = Series->XValue(One.Count - 1);
        One.MinY = Series->MinYValue();
        One.MaxY = Series->MaxYValue();
    }
    const TAxisFit Fit = ::FitAxes(Extents);
    DateTimeBottom = Fit.DateTimeBottom;
    if (Fit.FitTime)
        ChartView.Fit(TViewAxis::Time, Fit.Time);
    if (Fit.FitLeft)
        ChartView.Fit(TViewAxis::Left, Fit.Left);
    if (Fit.FitRight)
        ChartView.Fit(TViewAxis::Right, Fit.Right);
    ApplyView();
    TDrawnExtent::TDrawn Drawn;
    Drawn.Mode = ChartView.Mode();
    Drawn.Time = {xAxis->range().lower, xAxis->range().upper};
    Drawn.Columns = axisRect()->width();
    Drawn.AnyPoints = Fit.AnyPoints;
    Drawn.Newest = Fit.Newest;
    Drawn.AnyLeft = Fit.AnyPoints && Fit.FitLeft;
    Drawn.Left = Fit.LeftData;
    Drawn.AnyRight = Fit.AnyPoints && Fit.FitRight;
    Drawn.Right = Fit.RightData;
    return Drawn;
}

void TPackMonChart::ApplyView() {
    const auto Show = [this](QCPAxis* Axis, TViewAxis Which) {
        const TAxisSpan Span = ChartView.Shown(Which);
        Axis->setRange(Span.Low, Span.High);
    };
    Show(xAxis, TViewAxis::Time);
    Show(yAxis, TViewAxis::Left);
    Show(yAxis2, TViewAxis::Right);
    if (std::exchange(ShownMode, ChartView.Mode()) != ShownMode)
        emit ViewModeChanged(ShownMode);
}

void TPackMonChart::ViewChanged() {
    ApplyView();
    Invalidate();
}

void TPackMonChart::Repaint() {
    RepaintTimer.stop();
    SlowRepaintTimer.stop();
    DrawnExtent.Drawn(FitAxes());
    const int Pixels = std::max(axisRect()->width(), width());
    for (const auto& Series : SeriesList) {
        const bool Visible = Series->Active();
        Series->Graph()->setVisible(Visible);
        if (Visible)
            Series->PrepareToDraw(xAxis->range().lower, xAxis->range().upper, Pixels);
        else if (!Series->Graph()->data()->isEmpty())
            Series->Graph()->data()->clear();
    }
    replot(QCustomPlot::rpImmediateRefresh);
    ++Repaints;
}

// --- Zoom, pan and range selection ---------------------------------------------

void TPackMonChart::SelectRange(TAxisSpan Range) {
    Selection = Range;
    Invalidate();
    emit RangeSelected(Range.Low, Range.High);
}

void TPackMonChart::ClearSelectedRange() {
    if (Selection) {
        Selection.reset();
        Invalidate();
    }
}

void TPackMonChart::PaintOverlays(QCPPainter& Painter) {
    if (Selection)
        DrawSelectedRange(Painter, *xAxis, PlotRect(), *Selection);
    DrawChartMarkers(Painter, *xAxis, PlotRect(), MarkerList);
    if (!OnBeforeDrawSeries)
        return;
    Painter.save();
    TChartCanvas Canvas(Painter);
    OnBeforeDrawSeries(Canvas);
    Painter.restore();
}

void TPackMonChart::SetMarkers(std::vector<TMarker> Value) {
    MarkerList = std::move(Value);
    Invalidate();
}

bool TPackMonChart::ShowsAnySeries() const {
    // With no series shown (an empty chart, a bulk transfer under way) there
    // is nothing to look closer at, and a view held then would hide the run.
    return std::any_of(SeriesList.begin(), SeriesList.end(), [](const auto& Series) { return Series->Active(); });
}

void TPackMonChart::wheelEvent(QWheelEvent* Event) { Input->Wheel(*Event); }

void TPackMonChart::mousePressEvent(QMouseEvent* Event) {
    QCustomPlot::mousePressEvent(Event);
    setFocus(Qt::MouseFocusReason);
    Input->Press(*Event);
}

void TPackMonChart::mouseMoveEvent(QMouseEvent* Event) {
    QCustomPlot::mouseMoveEvent(Event);
    Input->Move(*Event);
}

void TPackMonChart::mouseReleaseEvent(QMouseEvent* Event) {
    QCustomPlot::mouseReleaseEvent(Event);
    Input->Release(*Event);
}

void TPackMonChart::mouseDoubleClickEvent(QMouseEvent* Event) {
    QCustomPlot::mouseDoubleClickEvent(Event);
    Input->DoubleClick(*Event);
}

void TPackMonChart::keyPressEvent(QKeyEvent* Event) {
    if (Input->Key(*Event))
        Event->accept();
    else
        QCustomPlot::keyPressEvent(Event);
}

void TPackMonChart::leaveEvent(QEvent* Event) {
    QCustomPlot::leaveEvent(Event);
    emit PointerLeft();
}
