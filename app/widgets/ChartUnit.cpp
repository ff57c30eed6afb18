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
        Chart->DrawSelection(*Painter);
        Chart->DrawMarkers(*Painter);
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

// Labels as the program writes them: elapsed times as "hh:nn:ss", past a
// day as "1d 02:00", or the time of day when the run's start is known and
// asked for; other values as "#,##0.###". Elapsed times are days, so steps
// are whole seconds, minutes and hours of a day, and no time zone ever
// enters.
class TPackMonChart::TAxisTicker : public QCPAxisTicker {
  public:
    // Chart is the chart of a time axis, null for a value axis.
    explicit TAxisTicker(const TPackMonChart* AChart) : Chart(AChart) {}

  protected:
    double getTickStep(const QCPRange& Range) override {
        if (!IsDateTime())
            return QCPAxisTicker::getTickStep(Range);
        static const double StepsInSeconds[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                                600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
        const double Wanted = Range.size() * SecondsPerDay / std::max(mTickCount, 1);
        // On the clock, ticks fall on whole steps of the time of day.
        setTickOrigin(Chart->ShowsTimeOfDay() ? -std::fmod(*Chart->ClockStart, 1.0) : 0.0);
        Step = std::ceil(Wanted / SecondsPerDay) * SecondsPerDay;
        for (double Seconds : StepsInSeconds)
            if (Seconds >= Wanted) {
                Step = Seconds;
                break;
            }
        return Step / SecondsPerDay;
    }
    int getSubTickCount(double TickStep) override {
        return IsDateTime() ? 0 : QCPAxisTicker::getSubTickCount(TickStep);
    }
    QString getTickLabel(double Tick, const QLocale&, QChar, int) override {
        if (!IsDateTime())
            return QString::fromStdString(NumberLabel(Tick));
        if (Chart->ShowsTimeOfDay())
            return QString::fromStdString(FormatTimeOfDay(*Chart->ClockStart + Tick));
        return QString::fromStdString(FormatElapsedLabel(Tick, std::fmod(Step, 60.0) != 0));
    }

  private:
    bool IsDateTime() const { return Chart && Chart->DateTimeBottom; }
    static constexpr double SecondsPerDay = 86400.0;
    const TPackMonChart* Chart;
    double Step = 1;
};

TPackMonChart::TPackMonChart(QWidget* Parent) : QCustomPlot(Parent) {
    setBackground(palette().window());
    // Antialiased series cost twice the drawing time, and the chart repaints
    // many times a second while data streams.
    setNotAntialiasedElement(QCP::aePlottables, true);
    axisRect()->setBackground(Qt::white);
    legend->setVisible(false);
    // A click gives the chart the keys that zoom and pan it.
    setFocusPolicy(Qt::ClickFocus);

    xAxis->setTicker(QSharedPointer<TAxisTicker>::create(this));
    yAxis->setTicker(QSharedPointer<TAxisTicker>::create(nullptr));
    yAxis2->setTicker(QSharedPointer<TAxisTicker>::create(nullptr));
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
    return NumberLabel(Value);
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
    const auto Fit = [this](TViewAxis Axis, const TRange& Range, double Margin) {
        if (!Range.Any)
            return;
        const double Span = Range.High - Range.Low;
        const double Pad = Span > 0 ? Span * Margin : std::max(std::fabs(Range.High) * 0.01, 0.001);
        ChartView.Fit(Axis, {Range.Low - Pad, Range.High + Pad});
    };
    if (!Bottom.Any) {
        // An empty chart: a range of whole numbers rather than the last run's
        // few milliseconds, whose labels would repeat at three decimals.
        for (TViewAxis Axis : {TViewAxis::Time, TViewAxis::Left, TViewAxis::Right})
            ChartView.Fit(Axis, {0, 1});
    }
    Fit(TViewAxis::Time, Bottom, 0.0);
    Fit(TViewAxis::Left, Left, 0.05);
    Fit(TViewAxis::Right, Right, 0.05);
    ApplyView();
    TDrawnExtent::TDrawn Drawn;
    Drawn.Mode = ChartView.Mode();
    Drawn.Time = {xAxis->range().lower, xAxis->range().upper};
    Drawn.Columns = axisRect()->width();
    Drawn.AnyPoints = Bottom.Any;
    Drawn.Newest = Bottom.High;
    Drawn.AnyLeft = Left.Any;
    Drawn.Left = {Left.Low, Left.High};
    Drawn.AnyRight = Right.Any;
    Drawn.Right = {Right.Low, Right.High};
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

namespace {

// One wheel notch or one + or - zooms by this much.
constexpr double ZoomStep = 0.8;
// An arrow key moves the view by this share of its span.
constexpr double PanStep = 0.1;

} // namespace

TViewAxis TPackMonChart::AxisAt(QPoint Pixel) const {
    const QRect Plot = PlotRect();
    if (Pixel.x() < Plot.left() && Pixel.y() <= Plot.bottom())
        return TViewAxis::Left;
    if (Pixel.x() > Plot.right() && Pixel.y() <= Plot.bottom())
        return TViewAxis::Right;
    return TViewAxis::Time;
}

void TPackMonChart::ZoomAbout(TViewAxis Axis, QPoint Pixel, double Factor) {
    const double Centre =
        Axis == TViewAxis::Time
            ? xAxis->pixelToCoord(Pixel.x())
            : AxisOf(Axis == TViewAxis::Left ? TChartAxis::Left : TChartAxis::Right)->pixelToCoord(Pixel.y());
    ChartView.ZoomAt(Axis, Centre, Factor);
    ViewChanged();
}

void TPackMonChart::PanPixels(QPoint From, QPoint To, bool Values) {
    if (From.x() != To.x())
        ChartView.PanBy(TViewAxis::Time, xAxis->pixelToCoord(From.x()) - xAxis->pixelToCoord(To.x()));
    if (Values && From.y() != To.y()) {
        ChartView.PanBy(TViewAxis::Left, yAxis->pixelToCoord(From.y()) - yAxis->pixelToCoord(To.y()));
        ChartView.PanBy(TViewAxis::Right, yAxis2->pixelToCoord(From.y()) - yAxis2->pixelToCoord(To.y()));
    }
    ViewChanged();
}

void TPackMonChart::ZoomToBox(QRect Box) {
    // A box too small to mean anything is a slip of the hand.
    if (Box.width() < 4 || Box.height() < 4)
        return;
    ChartView.ShowRange(TViewAxis::Time, {xAxis->pixelToCoord(Box.left()), xAxis->pixelToCoord(Box.right())});
    ChartView.ShowRange(TViewAxis::Left, {yAxis->pixelToCoord(Box.bottom()), yAxis->pixelToCoord(Box.top())});
    ChartView.ShowRange(TViewAxis::Right, {yAxis2->pixelToCoord(Box.bottom()), yAxis2->pixelToCoord(Box.top())});
    ViewChanged();
}

void TPackMonChart::ClearSelectedRange() {
    if (Selection) {
        Selection.reset();
        Invalidate();
    }
}

void TPackMonChart::DrawSelection(QCPPainter& Painter) const {
    if (!Selection)
        return;
    const QRect Plot = PlotRect();
    // Clamped as doubles: zoomed far in, a range's ends lie far off the plot.
    const auto Pixel = [&](double X) {
        return static_cast<int>(std::clamp(xAxis->coordToPixel(X), double(Plot.left()), double(Plot.right())));
    };
    const int Left = Pixel(Selection->Low), Right = Pixel(Selection->High);
    Painter.fillRect(QRect(QPoint(std::min(Left, Right), Plot.top()), QPoint(std::max(Left, Right), Plot.bottom())),
                     QColor(80, 140, 230, 50));
}

void TPackMonChart::SetMarkers(std::vector<TMarker> Value) {
    MarkerList = std::move(Value);
    Invalidate();
}

void TPackMonChart::DrawMarkers(QCPPainter& Painter) const {
    const QRect Plot = PlotRect();
    Painter.save();
    QFont Font = Painter.font();
    Font.setPointSize(8);
    Painter.setFont(Font);
    const QFontMetrics Metrics(Font);
    // Labels step down the plot so that notes close together stay legible.
    int Row = 0;
    for (const TMarker& Marker : MarkerList) {
        const double X = xAxis->coordToPixel(Marker.X);
        if (!(X >= Plot.left() && X <= Plot.right()))
            continue;
        const int Pixel = static_cast<int>(std::lround(X));
        Painter.setPen(QPen(QColor(120, 60, 160), 0, Qt::DashLine));
        Painter.drawLine(QLineF(Pixel, Plot.top(), Pixel, Plot.bottom()));
        const QString Text = Metrics.elidedText(Marker.Label, Qt::ElideRight, 200);
        const QRect Box(Pixel + 3, Plot.top() + 2 + (Row++ % 4) * (Metrics.height() + 2),
                        Metrics.horizontalAdvance(Text) + 4, Metrics.height());
        Painter.fillRect(Box, QColor(255, 255, 255, 200));
        Painter.setPen(QColor(90, 30, 130));
        Painter.drawText(Box.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Text);
    }
    Painter.restore();
}

bool TPackMonChart::Shows() const {
    // With no series shown (an empty chart, a bulk transfer under way) there
    // is nothing to look closer at, and a view held then would hide the run.
    return std::any_of(SeriesList.begin(), SeriesList.end(), [](const auto& Series) { return Series->Active(); });
}

void TPackMonChart::wheelEvent(QWheelEvent* Event) {
    const double Notches = Event->angleDelta().y() / 120.0;
    if (Notches != 0 && Shows())
        ZoomAbout(AxisAt(Event->position().toPoint()), Event->position().toPoint(), std::pow(ZoomStep, Notches));
    Event->accept();
}

void TPackMonChart::mousePressEvent(QMouseEvent* Event) {
    QCustomPlot::mousePressEvent(Event);
    setFocus(Qt::MouseFocusReason);
    DragFrom = DragLast = Event->position().toPoint();
    if (!Shows())
        return;
    if (Event->button() == Qt::RightButton)
        Drag = TDrag::Select;
    else if (Event->button() == Qt::LeftButton && (Event->modifiers() & Qt::ShiftModifier))
        Drag = TDrag::Box;
    else if (Event->button() == Qt::LeftButton)
        Drag = TDrag::Pan;
    if (Drag == TDrag::Box || Drag == TDrag::Select) {
        if (!Band)
            Band = new QRubberBand(QRubberBand::Rectangle, this);
        Band->setGeometry(QRect(DragFrom, QSize()));
        Band->show();
    }
}

void TPackMonChart::mouseMoveEvent(QMouseEvent* Event) {
    QCustomPlot::mouseMoveEvent(Event);
    const QPoint At = Event->position().toPoint();
    if (Drag == TDrag::Pan) {
        PanPixels(DragLast, At, true);
    } else if (Drag == TDrag::Box) {
        Band->setGeometry(QRect(DragFrom, At).normalized());
    } else if (Drag == TDrag::Select) {
        const QRect Plot = PlotRect();
        Band->setGeometry(QRect(QPoint(DragFrom.x(), Plot.top()), QPoint(At.x(), Plot.bottom())).normalized());
    }
    DragLast = At;
}

void TPackMonChart::mouseReleaseEvent(QMouseEvent* Event) {
    QCustomPlot::mouseReleaseEvent(Event);
    const QPoint At = Event->position().toPoint();
    if (Band)
        Band->hide();
    const TDrag Ended = std::exchange(Drag, TDrag::None);
    if (Ended == TDrag::Box) {
        ZoomToBox(QRect(DragFrom, At).normalized());
    } else if (Ended == TDrag::Select && std::abs(At.x() - DragFrom.x()) >= 2) {
        const double From = xAxis->pixelToCoord(DragFrom.x()), To = xAxis->pixelToCoord(At.x());
        Selection = TAxisSpan{std::min(From, To), std::max(From, To)};
        Invalidate();
        emit RangeSelected(Selection->Low, Selection->High);
    }
}

void TPackMonChart::mouseDoubleClickEvent(QMouseEvent* Event) {
    QCustomPlot::mouseDoubleClickEvent(Event);
    if (Event->button() != Qt::LeftButton)
        return;
    ChartView.Home();
    ViewChanged();
}

void TPackMonChart::keyPressEvent(QKeyEvent* Event) {
    if (!Shows()) {
        QCustomPlot::keyPressEvent(Event);
        return;
    }
    const QRect Plot = PlotRect();
    const QPoint Middle = Plot.center();
    const int Step = static_cast<int>(PanStep * Plot.width()), Rise = static_cast<int>(PanStep * Plot.height());
    switch (Event->key()) {
    case Qt::Key_Home:
        ChartView.Home();
        ViewChanged();
        break;
    case Qt::Key_End:
        ChartView.End();
        ViewChanged();
        break;
    case Qt::Key_Left:
        PanPixels(Middle, Middle + QPoint(Step, 0), false);
        break;
    case Qt::Key_Right:
        PanPixels(Middle, Middle - QPoint(Step, 0), false);
        break;
    case Qt::Key_Up:
        PanPixels(Middle, Middle + QPoint(0, Rise), true);
        break;
    case Qt::Key_Down:
        PanPixels(Middle, Middle - QPoint(0, Rise), true);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAbout(TViewAxis::Time, Middle, ZoomStep);
        break;
    case Qt::Key_Minus:
        ZoomAbout(TViewAxis::Time, Middle, 1 / ZoomStep);
        break;
    default:
        QCustomPlot::keyPressEvent(Event);
        return;
    }
    Event->accept();
}

void TPackMonChart::leaveEvent(QEvent* Event) {
    QCustomPlot::leaveEvent(Event);
    emit PointerLeft();
}
