// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartUnit.h"

#include "NumberFormatUnit.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

QColor ToQColor(TColor Color) {
    return QColor(static_cast<int>(Color & 0xFF), static_cast<int>((Color >> 8) & 0xFF),
                  static_cast<int>((Color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& Color) {
    return static_cast<TColor>(Color.red()) | static_cast<TColor>(Color.green()) << 8 |
           static_cast<TColor>(Color.blue()) << 16;
}

namespace {

char LocaleChar(const QString& Text, char Fallback) {
    return Text.size() == 1 && Text[0].unicode() < 128 ? static_cast<char>(Text[0].unicode()) : Fallback;
}

std::string NumberLabel(double Value) {
    const QLocale Locale;
    return FormatThousandsThreeDecimals(Value, LocaleChar(Locale.decimalPoint(), '.'),
                                        LocaleChar(Locale.groupSeparator(), ','));
}

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
    Chart.Store().Data(Index).Clear();
    PlotGraph->data()->clear();
    Chart.Invalidate();
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

// --- Canvas --------------------------------------------------------------------

void TChartCanvas::SetFontSize(int Points) {
    QFont Font = Painter.font();
    Font.setPointSize(Points);
    Painter.setFont(Font);
}

void TChartCanvas::SetFontBold(bool Bold) {
    QFont Font = Painter.font();
    Font.setBold(Bold);
    Painter.setFont(Font);
}

void TChartCanvas::SetFontColor(TColor Color) { Painter.setPen(ToQColor(Color)); }

void TChartCanvas::SetBrushStyle(Qt::BrushStyle Style) {
    QBrush Brush = Painter.brush();
    Brush.setStyle(Style);
    Painter.setBrush(Brush);
    Painter.setBackgroundMode(Style == Qt::SolidPattern ? Qt::OpaqueMode : Qt::TransparentMode);
}

int TChartCanvas::TextWidth(const QString& Text) const { return Painter.fontMetrics().horizontalAdvance(Text); }

void TChartCanvas::TextOut(int X, int Y, const QString& Text) {
    Painter.drawText(X, Y + Painter.fontMetrics().ascent(), Text);
}

// --- Chart ---------------------------------------------------------------------

// Runs the chart's hook on a layer between the grid and the series.
class TPackMonChart::TBeforeSeriesLayer : public QCPLayerable {
  public:
    TBeforeSeriesLayer(TPackMonChart* AChart, const QString& Layer) : QCPLayerable(AChart, Layer), Chart(AChart) {}

  protected:
    void applyDefaultAntialiasingHint(QCPPainter* Painter) const override {
        applyAntialiasingHint(Painter, true, QCP::aeOther);
    }
    void draw(QCPPainter* Painter) override {
        if (!Chart->OnBeforeDrawSeries)
            return;
        Painter->save();
        TChartCanvas Canvas(*Painter);
        Chart->OnBeforeDrawSeries(Canvas);
        Painter->restore();
    }

  private:
    TPackMonChart* Chart;
};

// Labels as the program writes them: "hh:nn:ss" for date-times, otherwise
// "#,##0.###". Elapsed times are days, so steps are whole seconds, minutes
// and hours of a day, and no time zone ever enters.
class TPackMonChart::TAxisTicker : public QCPAxisTicker {
  public:
    explicit TAxisTicker(std::function<bool()> AIsDateTime) : IsDateTime(std::move(AIsDateTime)) {}

  protected:
    double getTickStep(const QCPRange& Range) override {
        if (!IsDateTime())
            return QCPAxisTicker::getTickStep(Range);
        static const double StepsInSeconds[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                                600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
        const double Wanted = Range.size() * SecondsPerDay / std::max(mTickCount, 1);
        for (double Step : StepsInSeconds)
            if (Step >= Wanted)
                return Step / SecondsPerDay;
        return std::ceil(Wanted / 86400.0);
    }
    int getSubTickCount(double Step) override { return IsDateTime() ? 0 : QCPAxisTicker::getSubTickCount(Step); }
    QString getTickLabel(double Tick, const QLocale&, QChar, int) override {
        return QString::fromStdString(IsDateTime() ? DateTimeLabel(Tick) : NumberLabel(Tick));
    }

  private:
    static constexpr double SecondsPerDay = 86400.0;
    std::function<bool()> IsDateTime;
};

TPackMonChart::TPackMonChart(QWidget* Parent) : QCustomPlot(Parent) {
    setBackground(palette().window());
    // Antialiased series cost twice the drawing time, and the chart repaints
    // many times a second while data streams.
    setNotAntialiasedElement(QCP::aePlottables, true);
    axisRect()->setBackground(Qt::white);
    legend->setVisible(false);

    xAxis->setTicker(QSharedPointer<TAxisTicker>::create([this] { return DateTimeBottom; }));
    yAxis->setTicker(QSharedPointer<TAxisTicker>::create([] { return false; }));
    yAxis2->setTicker(QSharedPointer<TAxisTicker>::create([] { return false; }));
    yAxis2->setVisible(true);
    yAxis2->grid()->setVisible(true);
    yAxis->grid()->setPen(QPen(Qt::black, 0, Qt::DashLine));
    yAxis->setTickPen(QPen(Qt::black, 0, Qt::DashLine));
    xAxis->grid()->setPen(QPen(QColor(200, 200, 200), 0, Qt::DotLine));

    addLayer(QStringLiteral("beforeSeries"), layer(QStringLiteral("grid")), QCustomPlot::limAbove);
    new TBeforeSeriesLayer(this, QStringLiteral("beforeSeries"));

    plotLayout()->insertRow(0);
    Title = new QCPTextElement(this, QString());
    plotLayout()->addElement(0, 0, Title);

    RepaintTimer.setSingleShot(true);
    RepaintTimer.setInterval(RepaintIntervalMs);
    connect(&RepaintTimer, &QTimer::timeout, this, &TPackMonChart::Repaint);
    SeriesStore.OnChanged = [this] { Invalidate(); };
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
    return NumberLabel(Value);
}

void TPackMonChart::SetRightAxisColor(TColor Color) {
    const QColor Shade = ToQColor(Color);
    yAxis2->setTickLabelColor(Shade);
    yAxis2->setLabelColor(Shade);
    yAxis2->grid()->setPen(QPen(Shade, 0, Qt::SolidLine));
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

void TPackMonChart::FitAxes() {
    struct TRange {
        bool Any = false;
        double Low = 0, High = 0;
        void Take(double L, double H) {
            Low = Any ? std::min(Low, L) : L;
            High = Any ? std::max(High, H) : H;
            Any = true;
        }
    } Bottom, Left, Right;
    DateTimeBottom = false;
    for (const auto& Series : SeriesList) {
        if (!Series->Active())
            continue;
        DateTimeBottom = DateTimeBottom || Series->XIsDateTime();
        if (Series->Count() == 0)
            continue;
        Bottom.Take(Series->XValue(0), Series->XValue(Series->Count() - 1));
        (Series->VerticalAxis() == TChartAxis::Right ? Right : Left).Take(Series->MinYValue(), Series->MaxYValue());
    }
    const auto Apply = [](QCPAxis* Axis, const TRange& Range, double Margin) {
        if (!Range.Any)
            return;
        const double Span = Range.High - Range.Low;
        const double Pad = Span > 0 ? Span * Margin : std::max(std::fabs(Range.High) * 0.01, 0.001);
        Axis->setRange(Range.Low - Pad, Range.High + Pad);
    };
    if (!Bottom.Any) {
        // An empty chart: a range of whole numbers rather than the last run's
        // few milliseconds, whose labels would repeat at three decimals.
        for (QCPAxis* Axis : {xAxis, yAxis, yAxis2})
            Axis->setRange(0, 1);
        return;
    }
    Apply(xAxis, Bottom, 0.0);
    Apply(yAxis, Left, 0.05);
    Apply(yAxis2, Right, 0.05);
}

void TPackMonChart::Repaint() {
    RepaintTimer.stop();
    FitAxes();
    const int Pixels = std::max(axisRect()->width(), width());
    for (const auto& Series : SeriesList) {
        const bool Shown = Series->Active();
        Series->Graph()->setVisible(Shown);
        if (Shown)
            Series->PrepareToDraw(xAxis->range().lower, xAxis->range().upper, Pixels);
        else if (!Series->Graph()->data()->isEmpty())
            Series->Graph()->data()->clear();
    }
    replot(QCustomPlot::rpImmediateRefresh);
    ++Repaints;
}
