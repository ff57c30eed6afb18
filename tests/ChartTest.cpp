// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartOperationsUnit.h"
#include "EventLoopSupport.h"
#include "FileStreamUnit.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <set>
#include <vector>

namespace {

using namespace std::chrono_literals;

class Chart : public testing::Test {
  protected:
    QTemporaryDir Dir;
    QString Ini = Dir.filePath("PackMon.Ini");
    TPackMonChart Plot;

    void SetUp() override {
        Plot.resize(800, 500);
        Plot.SetAxisTitle(TChartAxis::Left, "CellVolts");
        Plot.SetAxisTitle(TChartAxis::Right, "BatteryVolts");
        BuildSeriesSet(Plot);
        LoadSeriesColors(Plot, Ini);
        SyncRightAxisColor(Plot);
        ToggleSeriesHighlight(&Plot, 0);
    }
    std::vector<int> Widths() const {
        std::vector<int> Result;
        for (int I = 0; I < Plot.SeriesCount(); ++I)
            Result.push_back(Plot.Series(I).PenWidth());
        return Result;
    }
};

TEST_F(Chart, NineSeriesInOrderWithTheirAxesColoursAndWidths) {
    ASSERT_EQ(Plot.SeriesCount(), 9);
    const char* Titles[] = {"BatteryVolts", "Cell1Volts", "Cell2Volts", "Cell3Volts", "Cell4Volts",
                            "Cell5Volts",   "Cell6Volts", "Cell7Volts", "Cell8Volts"};
    const TColor Colors[] = {0, 255, 32768, 65535, 16711680, 8421504, 16711935, 8421376, 8388608};
    for (int I = 0; I < 9; ++I) {
        EXPECT_EQ(Plot.Series(I).Title(), Titles[I]);
        EXPECT_EQ(Plot.Series(I).Color(), Colors[I]);
        EXPECT_EQ(Plot.Series(I).VerticalAxis(), I == 0 ? TChartAxis::Right : TChartAxis::Left);
        EXPECT_FALSE(Plot.Series(I).Active());
        EXPECT_TRUE(Plot.Series(I).XIsDateTime());
    }
    EXPECT_EQ(Widths(), (std::vector<int>{3, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(ToQColor(255), QColor(Qt::red));
    EXPECT_EQ(FromQColor(QColor(0, 0, 255)), 16711680u);
}

TEST_F(Chart, ColoursRoundTripThroughTheSettingsFile) {
    SaveSeriesColors(Plot, Ini);
    const std::string Saved = ReadWholeFile(Ini);
    for (const char* Line :
         {"[Chart1]", "BatteryVolts=0", "Cell1Volts=255", "Cell2Volts=32768", "Cell3Volts=65535", "Cell4Volts=16711680",
          "Cell5Volts=8421504", "Cell6Volts=16711935", "Cell7Volts=8421376", "Cell8Volts=8388608"})
        EXPECT_NE(Saved.find(Line), std::string::npos) << Line;

    ReplaceFileContents(Ini, "[Chart1]\nBatteryVolts=255\nCell2Volts=0x0000FF\nCell3Volts=abc\nCell4Volts=0x1000000FF\n"
                             "Cell5Volts=-16777216\n");
    std::vector<std::string> Problems;
    LoadSeriesColors(Plot, Ini, &Problems);
    EXPECT_EQ(Plot.Series(5).Color(), 8421504u) << "high bits are refused, not cut off";
    EXPECT_EQ(Problems, std::vector<std::string>{"Chart1: Cell5Volts=-16777216 is not a colour (0x00BBGGRR); the "
                                                 "series keeps its colour"});
    SyncRightAxisColor(Plot);
    EXPECT_EQ(Plot.Series(0).Color(), 255u);
    EXPECT_EQ(Plot.Series(2).Color(), 255u);
    EXPECT_EQ(Plot.Series(3).Color(), 65535u) << "a bad value leaves the colour alone";
    EXPECT_EQ(Plot.yAxis2->tickLabelColor(), QColor(Qt::red));
    EXPECT_EQ(Plot.yAxis2->labelColor(), QColor(Qt::red));
    EXPECT_EQ(Plot.yAxis2->grid()->pen().color(), QColor(Qt::red));
}

TEST_F(Chart, HighlightMovesBetweenSeriesAndTogglesOff) {
    ToggleSeriesHighlight(&Plot, 0);
    EXPECT_EQ(Widths(), (std::vector<int>{0, 1, 1, 1, 1, 1, 1, 1, 1}));
    ToggleSeriesHighlight(&Plot, 4);
    EXPECT_EQ(Widths(), (std::vector<int>{1, 1, 1, 1, 3, 1, 1, 1, 1}));
    ToggleSeriesHighlight(&Plot, 4);
    EXPECT_EQ(Widths(), (std::vector<int>{1, 1, 1, 1, 0, 1, 1, 1, 1}));
    ToggleSeriesHighlight(&Plot, 9);
    ToggleSeriesHighlight(nullptr, 1);
    EXPECT_EQ(Widths(), (std::vector<int>{1, 1, 1, 1, 0, 1, 1, 1, 1}));
}

TEST_F(Chart, PointsStayInXOrderAndEqualXKeepsArrivalOrder) {
    TChartSeries& S = Plot.Series(1);
    S.AddXY(1.0, 10);
    S.AddXY(3.0, 30);
    S.AddXY(1.0, 11);
    S.AddXY(0.5, 5);
    S.AddXY(1.0, 12);
    S.AddXY(3.0, 31);
    const std::vector<std::pair<double, double>> Expected = {{0.5, 5}, {1, 10}, {1, 11}, {1, 12}, {3, 30}, {3, 31}};
    ASSERT_EQ(S.Count(), Expected.size());
    for (std::size_t I = 0; I < Expected.size(); ++I) {
        EXPECT_EQ(S.XValue(I), Expected[I].first) << I;
        EXPECT_EQ(S.YValue(I), Expected[I].second) << I;
    }
    EXPECT_EQ(S.MaxYValue(), 31);
}

TEST_F(Chart, ClearAndActivation) {
    for (int I = 0; I < 4; ++I)
        Plot.Series(2).AddXY(I, 3.3);
    for (int I = 0; I < 3; ++I)
        Plot.Series(3).AddXY(I, 3.3);
    ActivateSeriesWithData(&Plot, true, 3);
    EXPECT_TRUE(Plot.Series(2).Active());
    EXPECT_FALSE(Plot.Series(3).Active());
    ActivateSeriesWithData(&Plot, false, 3);
    EXPECT_FALSE(Plot.Series(2).Active());

    for (int I = 0; I < 4; ++I)
        Plot.Series(2).AddXY(I / 86400000.0, 3.3 + I / 1e5); // four milliseconds
    ActivateSeriesWithData(&Plot, true, 3);
    Plot.Repaint();
    ClearGraphs(&Plot);
    EXPECT_FALSE(Plot.Series(2).Active());
    EXPECT_EQ(Plot.Series(2).Count(), 0u);
    for (QCPAxis* Axis : {Plot.xAxis, Plot.yAxis}) {
        const QVector<QString> Labels = Axis->tickVectorLabels();
        EXPECT_EQ(std::set<QString>(Labels.begin(), Labels.end()).size(), static_cast<std::size_t>(Labels.size()))
            << "an empty chart repeats no label: " << QStringList(Labels.begin(), Labels.end()).join(' ').toStdString();
    }
    ClearGraphs(nullptr);
}

TEST_F(Chart, BottomAxisShowsElapsedTimeWithoutATimeZone) {
    EXPECT_EQ(Plot.AxisLabelText(TChartAxis::Bottom, 1.5), "1.5") << "no active series: plain numbers";
    Plot.Series(1).AddXY(0.0, 3.3);
    Plot.Series(1).SetActive(true);
    Plot.Repaint();
    ASSERT_TRUE(Plot.BottomAxisIsDateTime());
    EXPECT_EQ(Plot.AxisLabelText(TChartAxis::Bottom, 0.0), "00:00:00");
    EXPECT_EQ(Plot.AxisLabelText(TChartAxis::Bottom, 25.0 / 24.0), "01:00:00");
    EXPECT_EQ(Plot.AxisLabelText(TChartAxis::Bottom, -0.1), "");
    EXPECT_EQ(Plot.AxisLabelText(TChartAxis::Left, 1234.5678), "1,234.568");
}

TEST_F(Chart, ReadoutNamesTimeAndBothAxesInsideThePlotOnly) {
    for (int I = 0; I <= 10; ++I) {
        Plot.Series(1).AddXY(I * 720.0 / 86400.0, 3.0 + I * 0.1);
        Plot.Series(0).AddXY(I * 720.0 / 86400.0, 25.0 + I * 0.5);
    }
    ActivateSeriesWithData(&Plot, true, 3);
    Plot.Repaint();
    const QRect Rect = Plot.PlotRect();
    const QPoint Centre = Rect.center();

    const QString Text = ReadoutText(Plot, Centre.x(), Centre.y());
    const QRegularExpression Layout(R"(^Time (\d\d):(\d\d):(\d\d)   CellVolts ([\d.]+)   BatteryVolts ([\d.]+)$)");
    const QRegularExpressionMatch Match = Layout.match(Text);
    ASSERT_TRUE(Match.hasMatch()) << Text.toStdString();
    const int Seconds = Match.captured(1).toInt() * 3600 + Match.captured(2).toInt() * 60 + Match.captured(3).toInt();
    EXPECT_NEAR(Seconds, 3600, 30);
    EXPECT_NEAR(Match.captured(4).toDouble(), 3.5, 0.01);
    EXPECT_NEAR(Match.captured(5).toDouble(), 27.5, 0.05);

    EXPECT_EQ(ReadoutText(Plot, Rect.left(), Rect.top()).left(5), "Time ") << "left and top edges are inside";
    EXPECT_EQ(ReadoutText(Plot, Rect.left() + Rect.width(), Centre.y()), "") << "right edge is outside";
    EXPECT_EQ(ReadoutText(Plot, Centre.x(), Rect.top() + Rect.height()), "") << "bottom edge is outside";
    EXPECT_EQ(ReadoutText(Plot, 2, 2), "");

    // The axes fit the curves with room to spare, so none sits on the frame.
    EXPECT_GT(Plot.PixelToValue(TChartAxis::Left, Rect.top()), 4.0 + 0.02);
    EXPECT_LT(Plot.PixelToValue(TChartAxis::Left, Rect.bottom()), 3.0 - 0.02);
    EXPECT_GT(Plot.PixelToValue(TChartAxis::Right, Rect.top()), 30.0 + 0.1);
}

TEST_F(Chart, ChangesRepaintAtFrameRateNotPerPoint) {
    Plot.Series(1).SetActive(true);
    ServeFor(100ms);
    const int Before = Plot.RepaintCount();
    for (int I = 0; I < 5000; ++I)
        Plot.Series(1).AddXY(I / 86400.0, 3.3);
    EXPECT_EQ(Plot.RepaintCount(), Before) << "adding points only marks the chart";
    ServeFor(3 * RepaintIntervalMs * 1ms);
    EXPECT_EQ(Plot.RepaintCount(), Before + 1) << "one repaint after the burst";

    // A stream of changes every few milliseconds for half a second.
    const int StreamStart = Plot.RepaintCount();
    const auto End = std::chrono::steady_clock::now() + 500ms;
    for (int I = 5000; std::chrono::steady_clock::now() < End; ++I) {
        Plot.Series(1).AddXY(I / 86400.0, 3.3);
        ServeFor(2ms);
    }
    ServeFor(100ms);
    const int StreamRepaints = Plot.RepaintCount() - StreamStart;
    EXPECT_GE(StreamRepaints, 500 / RepaintIntervalMs / 2) << "a stream that never pauses still shows";
    EXPECT_LE(StreamRepaints, 600 / RepaintIntervalMs + 2);

    // More readings in the newest pixel column: drawn at the slow pace.
    const int Settled = Plot.RepaintCount();
    Plot.Series(1).AddXY(Plot.Series(1).XValue(Plot.Series(1).Count() - 1), 3.3);
    ServeFor(3 * RepaintIntervalMs * 1ms);
    EXPECT_EQ(Plot.RepaintCount(), Settled) << "not at the frame pace";
    EXPECT_TRUE(ServeUntil([&] { return Plot.RepaintCount() == Settled + 1; })) << "but drawn all the same";
}

TEST_F(Chart, LongSeriesIsDrawnAsAnEnvelopeKeepingItsExtremes) {
    TChartSeries& S = Plot.Series(1);
    for (int I = 0; I < 200000; ++I)
        S.AddXY(I / 86400.0, I == 123457 ? 4.2 : I == 54321 ? 2.5 : 3.3 + 0.001 * (I % 7));
    S.SetActive(true);
    Plot.Repaint();
    const QCPGraphDataContainer& Drawn = *S.Graph()->data();
    EXPECT_LE(Drawn.size(), 4 * Plot.width());
    double Low = 10, High = 0;
    for (auto P = Drawn.constBegin(); P != Drawn.constEnd(); ++P) {
        Low = std::min(Low, P->value);
        High = std::max(High, P->value);
    }
    EXPECT_EQ(Low, 2.5);
    EXPECT_EQ(High, 4.2);
    EXPECT_EQ(Drawn.constBegin()->key, 0.0);
    EXPECT_EQ((Drawn.constEnd() - 1)->key, 199999 / 86400.0);
    EXPECT_EQ(S.Count(), 200000u) << "every point is kept";

    S.AddXY(0.5 / 86400.0, 9.9);
    EXPECT_EQ(S.YValue(1), 9.9);
    EXPECT_EQ(S.MaxYValue(), 9.9);
    Plot.Repaint();
    double Highest = 0;
    const QCPGraphDataContainer& Again = *S.Graph()->data();
    for (auto P = Again.constBegin(); P != Again.constEnd(); ++P)
        Highest = std::max(Highest, P->value);
    EXPECT_EQ(Highest, 9.9) << "a point inserted in the middle reaches the drawing";
}

// The top and bottom row of Colour in each pixel column of Image; -1 where
// the column has none.
std::vector<std::pair<int, int>> ColumnExtents(const QImage& Image, QRgb Colour) {
    std::vector<std::pair<int, int>> Extents(static_cast<std::size_t>(Image.width()), {-1, -1});
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            if (Image.pixel(X, Y) == Colour) {
                auto& [Top, Bottom] = Extents[static_cast<std::size_t>(X)];
                Top = Top < 0 ? Y : Top;
                Bottom = Y;
            }
    return Extents;
}

TEST_F(Chart, DenseSeriesIsFilledAsOneUnbrokenLineWithEveryExtreme) {
    TChartSeries& S = Plot.Series(1);
    // A band of noise, a steep ramp and a lone spike: runs, columns and
    // the steps between them.
    const auto Value = [](long long I) {
        return I > 200000 && I < 230000 ? 3.0 + static_cast<double>(I - 200000) * 3e-5
               : I == 123457            ? 4.2
                                        : 3.3 + 0.001 * static_cast<double>((I * 7919) % 101);
    };
    for (int I = 0; I < 300000; ++I)
        S.AddXY(I / 86400.0, Value(I));
    S.SetActive(true);
    Plot.Repaint();
    ASSERT_TRUE(S.Graph()->InColumns());
    const auto Filled = ColumnExtents(Plot.toPixmap().toImage(), ToQColor(S.Color()).rgb());
    const auto Column = [&](int I) { return static_cast<std::size_t>(Plot.xAxis->coordToPixel(I / 86400.0)); };
    const auto Row = [&](double V) { return static_cast<int>(Plot.yAxis->coordToPixel(V)); };
    int Painted = 0;
    for (std::size_t X = Column(0) + 1; X + 1 < Column(299999); ++X) {
        const auto [Top, Bottom] = Filled[X];
        const auto [NextTop, NextBottom] = Filled[X + 1];
        ASSERT_GE(Top, 0) << "column " << X << " is painted";
        ++Painted;
        EXPECT_TRUE(Top <= NextBottom + 1 && NextTop <= Bottom + 1) << "the line runs on from column " << X;
        const bool InBand = (X > Column(1000) && X < Column(199000)) || (X > Column(231000) && X < Column(299000));
        if (InBand && (X + 1 < Column(123457) || X > Column(123457) + 1)) {
            EXPECT_NEAR(Top, Row(3.4), 1) << "column " << X;
            EXPECT_NEAR(Bottom, Row(3.3), 1) << "column " << X;
        }
    }
    EXPECT_NEAR(Filled[Column(123457)].first, Row(4.2), 1) << "a lone spike";
    EXPECT_NEAR(Filled[Column(200001)].second, Row(3.0), 1) << "the foot of the ramp";
    EXPECT_GT(Painted, Plot.PlotRect().width() * 9 / 10);
}

TEST(ColumnSpans, CoverEveryPointJoinNeighboursAndStopAtABreak) {
    std::mt19937 Random(3);
    QVector<QPointF> Points;
    for (int I = 0; I < 500; ++I)
        Points.append(QPointF(10.3 + I * 0.7, static_cast<double>(Random() % 400) + 0.5));
    Points[250].setY(std::numeric_limits<double>::quiet_NaN());
    Points.append(QPointF(900.5, 10.5)); // far on: a line of its own
    QVector<QRect> Spans;
    QVector<QLineF> Long;
    ColumnSpans(Points, Spans, Long);
    ASSERT_EQ(Long.size(), 1);
    const auto SpanAt = [&](int X) {
        for (const QRect& Span : Spans)
            if (Span.left() == X)
                return Span;
        return QRect();
    };
    for (const QPointF& P : Points.mid(0, 500)) {
        const QPoint Pixel(static_cast<int>(P.x()), static_cast<int>(P.y()));
        EXPECT_TRUE(std::isnan(P.y()) || SpanAt(Pixel.x()).contains(Pixel)) << "point at column " << Pixel.x();
    }
    for (int I = 1; I < Spans.size(); ++I) {
        const QRect &A = Spans[I - 1], &B = Spans[I];
        const bool AcrossTheBreak = A.left() < Points[250].x() && B.left() >= static_cast<int>(Points[250].x());
        if (B.left() == A.left() + 1 && !AcrossTheBreak) {
            EXPECT_TRUE(A.top() <= B.bottom() && B.top() <= A.bottom()) << "joined at column " << A.left();
        }
    }
    EXPECT_TRUE(SpanAt(static_cast<int>(Points[250].x())).isNull()) << "nothing is drawn to the break";
}

TEST(RowRuns, CoverExactlyTheColumnsPixelsWithinTheirRows) {
    std::mt19937 Random(7);
    QVector<QRect> Spans, Runs;
    for (int X = 0; X < 400; ++X) {
        if (Random() % 17 == 0)
            continue; // a gap: no run may bridge it
        const int Top = static_cast<int>(Random() % 120) - 10;
        Spans.append(QRect(X, Top, 1, static_cast<int>(Random() % 60) + 1));
    }
    RowRuns(Spans, 0, 99, Runs);
    std::set<std::pair<int, int>> Wanted, Got;
    for (const QRect& Span : Spans)
        for (int Y = std::max(Span.top(), 0); Y <= std::min(Span.bottom(), 99); ++Y)
            Wanted.insert({Span.left(), Y});
    for (const QRect& Run : Runs)
        for (int X = Run.left(); X <= Run.right(); ++X)
            for (int Y = Run.top(); Y <= Run.bottom(); ++Y)
                EXPECT_TRUE(Got.insert({X, Y}).second) << "painted twice at " << X << "," << Y;
    EXPECT_EQ(Got, Wanted);
    EXPECT_LT(Runs.size(), Spans.size() * 8) << "rows closing together are one rectangle";
}

} // namespace

// --- Zoom, pan and the time axis -------------------------------------------------

namespace {

class ChartView : public Chart {
  protected:
    static constexpr double Hour = 1.0 / 24;
    void SetUp() override {
        Chart::SetUp();
        AddMinutes(0, 60);
        ActivateSeriesWithData(&Plot, true, 3);
        Plot.Repaint();
    }
    void AddMinutes(int From, int To) {
        for (int M = From; M < To; ++M) {
            Plot.Series(1).AddXY(M / 1440.0, 3.0 + (M % 10) * 0.01);
            Plot.Series(0).AddXY(M / 1440.0, 26.0);
        }
    }
    QCPRange Time() const { return Plot.xAxis->range(); }
    void Wheel(QPoint At, int Notches) {
        QWheelEvent Event(QPointF(At), QPointF(Plot.mapToGlobal(At)), QPoint(), QPoint(0, 120 * Notches), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&Plot, &Event);
    }
    void Mouse(QEvent::Type Type, QPoint At, Qt::MouseButton Button, Qt::KeyboardModifiers Keys = Qt::NoModifier) {
        const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
        QMouseEvent Event(Type, QPointF(At), QPointF(Plot.mapToGlobal(At)),
                          Type == QEvent::MouseMove ? Qt::NoButton : Button, Held, Keys);
        QApplication::sendEvent(&Plot, &Event);
    }
    void Drag(QPoint From, QPoint To, Qt::MouseButton Button, Qt::KeyboardModifiers Keys = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonPress, From, Button, Keys);
        Mouse(QEvent::MouseMove, (From + To) / 2, Button, Keys);
        Mouse(QEvent::MouseMove, To, Button, Keys);
        Mouse(QEvent::MouseButtonRelease, To, Button, Keys);
    }
    void Key(int Code) {
        QKeyEvent Event(QEvent::KeyPress, Code, Qt::NoModifier);
        QApplication::sendEvent(&Plot, &Event);
    }
};

TEST_F(ChartView, WheelDragBoxAndKeysMoveTheViewAndHomeOrADoubleClickShowTheWholeRun) {
    const QRect Rect = Plot.PlotRect();
    const QCPRange Whole = Time(), Cells = Plot.yAxis->range();
    const QPoint At(Rect.left() + Rect.width() / 4, Rect.center().y());
    const double Under = Plot.xAxis->pixelToCoord(At.x());
    Wheel(At, 1);
    EXPECT_NEAR(Time().size(), Whole.size() * 0.8, 1e-9);
    EXPECT_NEAR(Plot.xAxis->pixelToCoord(At.x()), Under, Whole.size() / Rect.width()) << "zooms about the pointer";
    EXPECT_EQ(Plot.yAxis->range(), Cells) << "the plot zooms time only";
    EXPECT_EQ(Plot.View().Mode(), TViewMode::Held);

    const QCPRange Zoomed = Time();
    Wheel(QPoint(Rect.left() - 10, Rect.center().y()), -1);
    EXPECT_NEAR(Plot.yAxis->range().size(), Cells.size() / 0.8, 1e-9) << "over the cells' axis, that axis";
    EXPECT_EQ(Time(), Zoomed);

    Drag(Rect.center(), Rect.center() + QPoint(100, 0), Qt::LeftButton);
    EXPECT_NEAR(Time().lower, Zoomed.lower - 100 * Zoomed.size() / Rect.width(), Zoomed.size() / Rect.width())
        << "the run moves with the pointer";

    const QRect Box(Rect.center(), QSize(80, 60));
    const double BoxLow = Plot.xAxis->pixelToCoord(Box.left()), BoxHigh = Plot.xAxis->pixelToCoord(Box.right());
    const double BoxTop = Plot.yAxis->pixelToCoord(Box.top());
    Drag(Box.topLeft(), Box.bottomRight(), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(Time().lower, BoxLow);
    EXPECT_DOUBLE_EQ(Time().upper, BoxHigh);
    EXPECT_DOUBLE_EQ(Plot.yAxis->range().upper, BoxTop);

    const QCPRange Boxed = Time();
    Key(Qt::Key_Right);
    EXPECT_NEAR(Time().lower, Boxed.lower + 0.1 * Boxed.size(), Boxed.size() / Rect.width());
    Key(Qt::Key_Minus);
    EXPECT_NEAR(Time().size(), Boxed.size() / 0.8, 1e-9);
    Key(Qt::Key_Home);
    EXPECT_EQ(Time(), Whole);
    EXPECT_EQ(Plot.yAxis->range(), Cells);

    Key(Qt::Key_Plus);
    Mouse(QEvent::MouseButtonDblClick, Rect.center(), Qt::LeftButton);
    EXPECT_EQ(Time(), Whole);
    EXPECT_EQ(Plot.View().Mode(), TViewMode::Whole);
}

TEST_F(ChartView, ReadingsMoveAHeldViewOnlyAfterEndAndARightDragSelectsARange) {
    Key(Qt::Key_Plus);
    const QCPRange Held = Time();
    AddMinutes(60, 120);
    Plot.Repaint();
    EXPECT_EQ(Time(), Held) << "held while the user looks closer";
    Key(Qt::Key_End);
    Plot.Repaint();
    EXPECT_DOUBLE_EQ(Time().upper, 119 / 1440.0) << "follows the newest reading";
    EXPECT_NEAR(Time().size(), Held.size(), 1e-12);
    EXPECT_EQ(Plot.View().Mode(), TViewMode::LiveEnd);

    std::vector<std::pair<double, double>> Selected;
    QObject::connect(&Plot, &TPackMonChart::RangeSelected,
                     [&](double Low, double High) { Selected.emplace_back(Low, High); });
    const QRect Rect = Plot.PlotRect();
    const QCPRange Before = Time();
    Drag(Rect.center() + QPoint(60, 0), Rect.center() - QPoint(60, 0), Qt::RightButton);
    ASSERT_EQ(Selected.size(), 1u);
    EXPECT_DOUBLE_EQ(Selected[0].first, Plot.xAxis->pixelToCoord(Rect.center().x() - 60));
    EXPECT_DOUBLE_EQ(Selected[0].second, Plot.xAxis->pixelToCoord(Rect.center().x() + 60));
    EXPECT_EQ(Time(), Before) << "selecting moves nothing";
}

TEST_F(Chart, TimeAxisCountsDaysPastTheFirstAndShowsTheClockWhenAsked) {
    for (int H = 0; H <= 48; ++H)
        Plot.Series(1).AddXY(H / 24.0, 3.3);
    Plot.Series(1).SetActive(true);
    Plot.Repaint();
    const auto Labels = [&] {
        const QVector<QString> Texts = Plot.xAxis->tickVectorLabels();
        return QStringList(Texts.begin(), Texts.end());
    };
    EXPECT_TRUE(Labels().contains("1d 12:00")) << Labels().join(' ').toStdString();
    EXPECT_TRUE(Labels().contains("00:00:00"));
    EXPECT_EQ(Plot.AxisLabelText(TChartAxis::Bottom, 25.0 / 24.0), "01:00:00") << "the title readout is as before";

    Plot.SetShowTimeOfDay(true);
    Plot.Repaint();
    EXPECT_TRUE(Labels().contains("1d 12:00")) << "no clock until the start is known";
    Plot.SetClockStart(45000.25);
    Plot.Repaint();
    EXPECT_FALSE(Labels().isEmpty());
    for (const QString& Label : Labels())
        EXPECT_TRUE(Label == "00:00:00" || Label == "12:00:00") << "ticks fall on the clock: " << Label.toStdString();
}

} // namespace
