// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartOperationsUnit.h"
#include "EventLoopSupport.h"
#include "FileStreamUnit.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
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

} // namespace
