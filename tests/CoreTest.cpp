// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmsUnit.h"
#include "AxisFitUnit.h"
#include "ChartViewUnit.h"
#include "DrawnExtentUnit.h"
#include "FileStreamUnit.h"
#include "ReadingConsumerUnit.h"
#include "RunReportUnit.h"
#include "RunStartUnit.h"
#include "SeriesStoreUnit.h"
#include "StaleReadingsUnit.h"
#include "StoredReadingsUnit.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <algorithm>
#include <bit>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TReadingRecord Record(TReadingKind Kind, double Time, double Cell = 3.3) {
    TReadingRecord R;
    R.Kind = Kind;
    R.Time = Time;
    if (Kind == rkData) {
        R.BatteryVolts = 8 * Cell;
        for (double& V : R.CellVolts)
            V = Cell;
    }
    return R;
}

class TCountingObserver : public TReadingObserver {
  public:
    int Cleared = 0, Consumed = 0, LastProgress = -1;
    void SeriesCleared() override { ++Cleared; }
    void ProgressChanged(int Value, int) override { LastProgress = Value; }
    void ReadingConsumed(const TReadingRecord&) override { ++Consumed; }
};

TEST(SeriesStore, EqualXGoesAfterEarlierPointsAndTheEnvelopeKeepsEveryExtreme) {
    TProgramSeriesStore Store;
    Store.AddXY(1, 2.0, 20);
    Store.AddXY(1, 1.0, 10);
    Store.AddXY(1, 2.0, 21);
    Store.AddXY(1, 1.0, 11);
    const std::vector<double> Y = {Store.YValue(1, 0), Store.YValue(1, 1), Store.YValue(1, 2), Store.YValue(1, 3)};
    EXPECT_EQ(Y, (std::vector<double>{10, 11, 20, 21})) << "equal X keeps the order of arrival";

    TSeriesData Long;
    for (int I = 0; I < 100000; ++I)
        Long.Add(I, I == 54321 ? 99.0 : (I == 7777 ? -5.0 : 3.3));
    std::vector<TSeriesPoint> Drawn;
    Long.Envelope(0, 100000, 100, Drawn);
    EXPECT_LE(Drawn.size(), 400u);
    const auto [Low, High] = std::minmax_element(
        Drawn.begin(), Drawn.end(), [](const TSeriesPoint& A, const TSeriesPoint& B) { return A.Y < B.Y; });
    EXPECT_EQ(Low->Y, -5.0);
    EXPECT_EQ(High->Y, 99.0);
}

TEST(SeriesStore, GivesBackExactlyWhatWasAddedHoweverCompactlyItHoldsIt) {
    TProgramSeriesStore Store;
    std::vector<std::vector<TSeriesPoint>> Added(ProgramSeriesCount);
    const auto Add = [&](int Series, double X, double Y) {
        Store.AddXY(Series, X, Y);
        auto& Points = Added[static_cast<std::size_t>(Series)];
        const auto At = std::upper_bound(Points.begin(), Points.end(), X,
                                         [](double Key, const TSeriesPoint& P) { return Key < P.X; });
        Points.insert(At, {X, Y});
    };
    for (int I = 0; I < 20000; ++I) {
        const double Time = (I * 0.25 + 0.1) / SecondsPerDay;
        for (int S = 0; S < ProgramSeriesCount; ++S) {
            if (S == 3 && I % 7 == 0)
                continue; // a cell that drops out now and then keeps its own times
            const int Millivolts = S == 0 ? 29000 + I % 997 : 3000 + (I * 31 + S) % 1200;
            Add(S, Time, S == 5 && I == 15000 ? 3.14159 : Millivolts / 1000.0);
        }
    }
    Add(2, 1.0 / SecondsPerDay, 4.2);
    Add(6, 2000.0 / SecondsPerDay, -0.0);
    std::size_t Mismatches = 0;
    for (int S = 0; S < ProgramSeriesCount; ++S)
        for (std::size_t I = 0; I < Added[static_cast<std::size_t>(S)].size(); ++I) {
            const TSeriesPoint Want = Added[static_cast<std::size_t>(S)][I];
            Mismatches += std::bit_cast<std::uint64_t>(Store.XValue(S, I)) != std::bit_cast<std::uint64_t>(Want.X) ||
                          std::bit_cast<std::uint64_t>(Store.YValue(S, I)) != std::bit_cast<std::uint64_t>(Want.Y);
        }
    EXPECT_EQ(Mismatches, 0u);
    EXPECT_EQ(Store.Data(5).MaxY(), 4.199);

    TProgramSeriesStore Readings;
    for (int I = 0; I < 100000; ++I)
        for (int S = 0; S < ProgramSeriesCount; ++S)
            Readings.AddXY(S, I / SecondsPerDay, (S == 0 ? 29000 + I % 5000 : 3000 + I % 1000) / 1000.0);
    EXPECT_LE(Readings.BytesHeld() / 100000, 32u) << "nine whole-millivolt series at one time a reading";
}

TEST(SeriesStore, EnvelopeOfAnyRangeKeepsEachColumnsExtremes) {
    TSeriesData Series;
    std::uint32_t Seed = 12345;
    const auto Next = [&Seed] { return Seed = Seed * 1664525u + 1013904223u; };
    constexpr std::size_t Count = 300000;
    for (std::size_t I = 0; I < Count; ++I)
        Series.Add(static_cast<double>(I), I == 100 ? 0.0 : I == 4000 ? 65.0 : 1 + (Next() >> 8) % 59000 / 1000.0);
    std::vector<TSeriesPoint> Drawn;
    std::size_t ColumnsChecked = 0;
    for (int Trial = 0; Trial < 40; ++Trial) {
        // The first trials span the whole series, so the top summaries count.
        const double Low = Trial < 2 ? -0.5 : Next() % 290000 + 0.5;
        const double High =
            Trial < 2 ? Count : Low + 1 + static_cast<double>(Next() % (Count - static_cast<std::size_t>(Low)));
        const int Columns = Trial < 2 ? Trial + 1 : 50 + static_cast<int>(Next() % 1500);
        Series.Envelope(Low, High, Columns, Drawn);
        const std::size_t First = Low < 0 ? 0 : static_cast<std::size_t>(Low);
        const std::size_t Last = std::min(static_cast<std::size_t>(High) + 1, Count - 1);
        ASSERT_FALSE(Drawn.empty());
        EXPECT_EQ(Drawn.front().X, static_cast<double>(First)) << "the point before the range leads in";
        const bool LeadOut = High < static_cast<double>(Count - 1);
        if (Drawn.size() == Last - First + 1)
            continue; // few enough to be drawn as they are
        EXPECT_EQ(Drawn.back().X, static_cast<double>(LeadOut ? Last : Count - 1)) << "the line leads out";
        ASSERT_LE(Drawn.size(), 2u * static_cast<std::size_t>(Columns) + 2u);
        // A column is one or two points at the middle of its first and last
        // point's X, which here is their index: so each column's points
        // follow from the one before.
        std::size_t Begin = Low < 0 ? 0 : First + 1; // with no point before, the first column has the first
        const std::size_t End = LeadOut ? Last : Count;
        for (std::size_t Q = 1; Q + 1 < Drawn.size();) {
            const double Middle = Drawn[Q].X;
            const std::size_t Points = Q + 1 < Drawn.size() && Drawn[Q + 1].X == Middle ? 2 : 1;
            const auto Finish = static_cast<std::size_t>(2 * Middle) + 1 - Begin;
            ASSERT_GT(Finish, Begin);
            double Min = Series.Y(Begin), Max = Min;
            for (std::size_t I = Begin; I < Finish; ++I) {
                Min = std::min(Min, Series.Y(I));
                Max = std::max(Max, Series.Y(I));
            }
            ASSERT_EQ(std::min(Drawn[Q].Y, Drawn[Q + Points - 1].Y), Min) << "column from " << Begin;
            ASSERT_EQ(std::max(Drawn[Q].Y, Drawn[Q + Points - 1].Y), Max) << "column from " << Begin;
            ++ColumnsChecked;
            Begin = Finish;
            Q += Points;
        }
        EXPECT_EQ(Begin, End) << "every point is in a column";
    }
    EXPECT_GT(ColumnsChecked, 10000u);
}

TEST(ReadingConsumer, EveryRuleAppliesWithoutAScreen) {
    TProgramSeriesStore Store;
    TReadingConsumer Consumer(Store);
    TCountingObserver Observer;
    Consumer.AddObserver(Observer);

    Consumer.Consume(Record(rkTimeValue, 0));
    TReadingRecord Odd = Record(rkData, 61 / SecondsPerDay, 3.712);
    Odd.CellVolts[4] = 0;
    Odd.CellVolts[6] = -0.005;
    for (int I = 0; I < 4; ++I)
        Consumer.Consume(Odd);
    EXPECT_EQ(Consumer.LatestText(0), "00:01:01");
    EXPECT_EQ(Consumer.LatestText(8), "-0.005") << "negative values are shown";
    EXPECT_EQ(Store.PointCount(5), 0u) << "zero is never plotted";
    EXPECT_EQ(Store.PointCount(7), 0u) << "negative is never plotted";
    EXPECT_TRUE(Store.Active(1)) << "shown past three points";
    EXPECT_FALSE(Store.Active(5));

    Consumer.Consume(Record(rkBulkStart, 2));
    EXPECT_EQ(Store.PointCount(1), 0u) << "a bulk start empties the series";
    for (int I = 0; I < 5; ++I)
        Consumer.Consume(Record(rkData, I / SecondsPerDay));
    EXPECT_EQ(Observer.LastProgress, 2) << "records past the announced count leave the progress full";
    EXPECT_FALSE(Store.Active(1)) << "nothing is shown until the transfer ends";
    Consumer.Consume(Record(rkBulkEnd, 0));
    EXPECT_FALSE(Consumer.Bulk().InProgress);
    EXPECT_TRUE(Store.Active(1));

    Consumer.Consume(Record(rkBulkStart, 0));
    EXPECT_FALSE(Consumer.Bulk().InProgress) << "a bulk of no records ends at once";

    EXPECT_THROW(Consumer.Consume(Record(rkBulkStart, -1)), EPackMonException);
    EXPECT_EQ(Store.PointCount(1), 0u) << "the series are emptied before the count is refused";
    EXPECT_FALSE(Consumer.Bulk().InProgress);
    EXPECT_EQ(Observer.Cleared, 4);
    EXPECT_EQ(Observer.Consumed, 1 + 4 + 1 + 5 + 1 + 1);
}

TReadingRecord IntervalOf(double Seconds) {
    TReadingRecord R = Record(rkTimeValue, 0);
    R.Interval = Seconds;
    return R;
}

long Breaks(const std::vector<TSeriesPoint>& Drawn) {
    return std::count_if(Drawn.begin(), Drawn.end(), [](const TSeriesPoint& P) { return std::isnan(P.Y); });
}

TEST(ReadingConsumer, ReadingsAfterAGapBreakTheLineWhereverTheChartDraws) {
    TProgramSeriesStore Store;
    TReadingConsumer Consumer(Store);
    Consumer.Consume(IntervalOf(1.0));
    for (const double Second : {0.0, 1.0, 2.0, 4.9, 5.0, 20.0, 21.0}) // 4.9 s late is no gap; 15 s is
        Consumer.Consume(Record(rkData, Second / SecondsPerDay));
    std::vector<TSeriesPoint> Drawn;
    Store.Data(1).Envelope(0, 1, 800, Drawn);
    ASSERT_EQ(Drawn.size(), 8u);
    EXPECT_TRUE(std::isnan(Drawn[5].Y)) << "the break stands between 5 s and 20 s";
    EXPECT_EQ(Breaks(Drawn), 1);
    EXPECT_EQ(Store.PointCount(1), 7u) << "graph files and exports keep only the readings";

    TSeriesData Long;
    for (int I = 0; I < 100000; ++I) {
        if (I == 60000)
            Long.BreakBefore(I);
        Long.Add(I, 3.3);
    }
    Long.Envelope(0, 100000, 100, Drawn);
    EXPECT_EQ(Breaks(Drawn), 1) << "a drawing of many points keeps the break too";
}

TEST(RunReport, ACaptureThatStartsANewRunListsOnlyTheNewRunsGaps) {
    for (const TReadingKind NewRun : {rkTimeValue, rkBulkStart}) {
        TProgramSeriesStore Store;
        TReadingConsumer Consumer(Store);
        TRunReportBuilder Builder;
        Consumer.AddObserver(Builder);
        Consumer.Consume(IntervalOf(1.0));
        for (const double Second : {0.0, 1.0, 30.0})
            Consumer.Consume(Record(rkData, Second / SecondsPerDay));
        const TReadingRecord Start = NewRun == rkTimeValue ? IntervalOf(1.0) : Record(rkBulkStart, 0);
        Consumer.Consume(Start);
        for (const double Second : {0.0, 1.0, 2.0, 12.0})
            Consumer.Consume(Record(rkData, Second / SecondsPerDay));
        TRunReport Report;
        Builder.Fill(Report);
        ASSERT_EQ(Report.Gaps.size(), 1u) << "new run by kind " << NewRun;
        EXPECT_DOUBLE_EQ(Report.Gaps[0].At, 2.0);
        EXPECT_EQ(Report.Gaps[0].Text, "10.0");
    }
}

TEST(ChartView, AZoomHoldsTheViewUntilHomeAndEndFollowsTheNewestWithItsSpan) {
    TChartView View;
    View.Fit(TViewAxis::Time, {0, 10});
    View.Fit(TViewAxis::Left, {3, 4});
    View.ZoomAt(TViewAxis::Time, 8, 0.5);
    EXPECT_EQ(View.Mode(), TViewMode::Held);
    EXPECT_EQ(View.Shown(TViewAxis::Time), (TAxisSpan{4, 9})) << "the centre stays where it was";
    View.Fit(TViewAxis::Time, {0, 20});
    View.Fit(TViewAxis::Left, {2, 5});
    EXPECT_EQ(View.Shown(TViewAxis::Time), (TAxisSpan{4, 9})) << "new readings move nothing while held";
    EXPECT_EQ(View.Shown(TViewAxis::Left), (TAxisSpan{3, 4}));

    View.End();
    EXPECT_EQ(View.Mode(), TViewMode::LiveEnd);
    EXPECT_EQ(View.Shown(TViewAxis::Time), (TAxisSpan{15, 20})) << "the span shown, at the newest reading";
    EXPECT_EQ(View.Shown(TViewAxis::Left), (TAxisSpan{2, 5})) << "values untouched by the user keep fitting";
    View.Fit(TViewAxis::Time, {0, 30});
    EXPECT_EQ(View.Shown(TViewAxis::Time), (TAxisSpan{25, 30}));

    View.PanBy(TViewAxis::Left, 1);
    EXPECT_EQ(View.Mode(), TViewMode::Held);
    EXPECT_EQ(View.Shown(TViewAxis::Left), (TAxisSpan{3, 6}));
    // Looking along the time afterwards lets go of nothing the user set.
    View.ZoomAt(TViewAxis::Time, 27, 0.5);
    View.PanBy(TViewAxis::Time, 1);
    View.End();
    View.Fit(TViewAxis::Left, {0, 9});
    EXPECT_EQ(View.Shown(TViewAxis::Left), (TAxisSpan{3, 6})) << "a value axis the user moved stays put";

    View.ZoomAt(TViewAxis::Time, 27, 1e-12);
    EXPECT_GT(View.Shown(TViewAxis::Time).Size(), 0) << "never narrower than a millisecond";
    View.Home();
    EXPECT_EQ(View.Mode(), TViewMode::Whole);
    EXPECT_EQ(View.Shown(TViewAxis::Left), (TAxisSpan{0, 9}));
    View.End();
    EXPECT_EQ(View.Mode(), TViewMode::Whole) << "the whole run already follows the newest";
}

TEST(AxisFit, TimeSpansThePointsValuesGetAMarginAndHiddenOrEmptySeriesCountForNothing) {
    const auto Series = [](bool Right, double FirstX, double LastX, double MinY, double MaxY) {
        return TSeriesExtent{true, true, Right, 2, FirstX, LastX, MinY, MaxY};
    };
    TAxisFit Fit = FitAxes({Series(false, 1, 3, 3.0, 3.4), Series(true, 0.5, 2, 26.0, 27.0),
                            TSeriesExtent{false, false, false, 5, -9, 99, -9, 99}});
    EXPECT_TRUE(Fit.DateTimeBottom);
    EXPECT_EQ(Fit.Time, (TAxisSpan{0.5, 3})) << "no margin in time";
    EXPECT_NEAR(Fit.Left.Low, 2.98, 1e-12);
    EXPECT_NEAR(Fit.Left.High, 3.42, 1e-12);
    EXPECT_NEAR(Fit.Right.Low, 25.95, 1e-12);
    EXPECT_NEAR(Fit.Right.High, 27.05, 1e-12);
    EXPECT_EQ(Fit.Newest, 3);

    Fit = FitAxes({Series(false, 2, 2, 3.3, 3.3)});
    EXPECT_NEAR(Fit.Left.Low, 3.3 - 0.033, 1e-12) << "one value: 1 % of it either side";
    EXPECT_FALSE(Fit.FitRight) << "an axis with no series keeps what it showed";
    Fit = FitAxes({Series(false, 2, 2, 0, 0)});
    EXPECT_NEAR(Fit.Left.High, 0.001, 1e-12) << "at least a millivolt";

    Fit = FitAxes({TSeriesExtent{true, false, false, 0, 0, 0, 0, 0}});
    EXPECT_FALSE(Fit.AnyPoints);
    EXPECT_EQ(Fit.Time, (TAxisSpan{0, 1}));
    EXPECT_EQ(Fit.Left, (TAxisSpan{0, 1}));
    EXPECT_EQ(Fit.Right, (TAxisSpan{0, 1}));
}

TEST(DrawnExtent, OnlyAPointThatMovesThePictureIsDrawnAtOnce) {
    TDrawnExtent Extent;
    EXPECT_TRUE(Extent.ChangesPicture(5, 3.3, false)) << "nothing drawn yet";
    TDrawnExtent::TDrawn Drawn;
    Drawn.Time = {0, 100};
    Drawn.Columns = 100; // a column is 1
    Drawn.AnyPoints = true;
    Drawn.Newest = 100;
    Drawn.AnyLeft = true;
    Drawn.Left = {3.0, 4.0};
    Extent.Drawn(Drawn);
    EXPECT_FALSE(Extent.ChangesPicture(100.5, 3.5, false)) << "in the newest column, among the values";
    EXPECT_TRUE(Extent.ChangesPicture(101, 3.5, false)) << "a column on";
    EXPECT_TRUE(Extent.ChangesPicture(100.5, 4.1, false)) << "above the fitted values";
    EXPECT_TRUE(Extent.ChangesPicture(100.5, 2.9, false)) << "below them";
    EXPECT_TRUE(Extent.ChangesPicture(100.5, 30, true)) << "the first on the other axis";
    EXPECT_TRUE(Extent.ChangesPicture(50, 3.5, false)) << "among the points drawn";

    Drawn.Mode = TViewMode::Held;
    Drawn.Time = {10, 20};
    Extent.Drawn(Drawn);
    EXPECT_FALSE(Extent.ChangesPicture(500, 9, false)) << "beyond a held view's end";
}

TEST(StoredReadings, NearestReadingAndRangeFiguresComeBackAsTheConsumerPutThem) {
    TProgramSeriesStore Store;
    TReadingConsumer Consumer(Store);
    constexpr double Second = 1.0 / 86400;
    EXPECT_FALSE(ReadingNear(Store, 0).has_value());
    for (int I = 0; I < 10; ++I) {
        TReadingRecord R = Record(rkData, I * Second, 3.3);
        R.CellVolts[2] = 3.0 + I * 0.01;
        R.CellVolts[6] = I == 4 ? 0 : 3.5;
        Consumer.Consume(R);
    }
    const std::optional<TReadingRecord> Near = ReadingNear(Store, 4.4 * Second);
    ASSERT_TRUE(Near.has_value());
    EXPECT_EQ(Near->Time, 4 * Second);
    EXPECT_DOUBLE_EQ(Near->CellVolts[2], 3.04);
    EXPECT_EQ(Near->CellVolts[6], 0) << "a value never plotted reads as not fitted";
    EXPECT_EQ(ReadingNear(Store, 4.6 * Second)->Time, 5 * Second);
    EXPECT_EQ(ReadingNear(Store, 99 * Second)->Time, 9 * Second);
    EXPECT_EQ(PointerReadingText(*Near, 0, std::nullopt), "00:00:04");
    EXPECT_EQ(PointerReadingText(*Near, 0, 0.5), "00:00:04 (12:00:04)");
    EXPECT_EQ(PointerReadingText(*Near, 8, std::nullopt), "");
    EXPECT_EQ(CellExtremeColumns(*Near).Lowest, 4);
    EXPECT_EQ(CellExtremeColumns(*Near).Highest, 2);

    const TCellBalance Range = BalanceBetween(Store, 2 * Second, 5 * Second);
    EXPECT_EQ(Range.Readings(), 4u) << "both ends are in the range";
    EXPECT_DOUBLE_EQ(Range.Cell(2).Lowest, 3.02);
    EXPECT_DOUBLE_EQ(Range.Cell(2).Highest, 3.05);
    EXPECT_EQ(Range.Cell(6).Count, 3u);
    EXPECT_NEAR(Range.LargestSpread(), 0.48, 1e-9);
    EXPECT_EQ(Range.LargestSpreadTime(), 2 * Second);
}

TEST(RunStart, OnlyALiveReadingTellsTheStartAndClearingForgetsIt) {
    TProgramSeriesStore Store;
    TReadingConsumer Consumer(Store);
    TRunStart Start([] { return 45000.5; });
    Consumer.AddObserver(Start);
    Consumer.Consume(Record(rkData, 0.25));
    EXPECT_FALSE(Start.Start()) << "a replay's times say nothing of the clock";
    Start.SetLive(true);
    Consumer.Consume(Record(rkBulkStart, 5));
    Consumer.Consume(Record(rkData, 0.1));
    EXPECT_FALSE(Start.Start()) << "nor does a transfer of the past";
    Consumer.Consume(Record(rkBulkEnd, 0));
    Consumer.Consume(Record(rkData, 0.25));
    EXPECT_EQ(Start.Start(), 45000.25);
    Consumer.ClearSeries();
    EXPECT_FALSE(Start.Start());
}

TEST(StaleReadings, OldOnceThreeIntervalsAndAtLeastFiveSecondsHavePassed) {
    TFakeClock Clock;
    TStaleReadings Stale(Clock);
    Stale.ReadingConsumed(IntervalOf(2.0));
    EXPECT_FALSE(Stale.StaleSeconds()) << "nothing is awaited before a link opens";
    Stale.Expect();
    Clock.AdvanceSeconds(5.9);
    EXPECT_FALSE(Stale.StaleSeconds()) << "three 2 s intervals have not passed";
    Clock.AdvanceSeconds(6.6);
    EXPECT_EQ(Stale.StaleSeconds().value_or(0), 12);
    EXPECT_EQ(NoDataText(12), "No data for 12 s");
    Stale.ReadingConsumed(Record(rkData, 0));
    EXPECT_FALSE(Stale.StaleSeconds());
    Stale.Forget();
    Clock.AdvanceSeconds(60.0);
    EXPECT_FALSE(Stale.StaleSeconds());
}

TReadingRecord Cells(double Seconds, std::array<double, CellCount> Volts, double Battery) {
    TReadingRecord R;
    R.Kind = rkData;
    R.Time = Seconds / SecondsPerDay;
    std::copy(Volts.begin(), Volts.end(), R.CellVolts);
    R.BatteryVolts = Battery;
    return R;
}

TEST(CellBalance, FiguresOfAShortRunWorkedOutByHand) {
    TCellBalance B;
    // Cell 8 is not fitted. Sums of cells 1-7: 23.1, 22.92, 23.05.
    B.Take(Cells(1, {3.3, 3.3, 3.3, 3.3, 3.3, 3.3, 3.3, 0}, 23.1));
    B.Take(Cells(2, {3.4, 3.3, 3.3, 3.3, 3.12, 3.3, 3.2, 0}, 23.0));
    B.Take(Cells(3, {3.35, 3.3, 3.3, 3.3, 3.25, 3.3, 3.25, 0}, 23.3));
    EXPECT_EQ(B.Readings(), 3u);
    EXPECT_FALSE(B.Cell(7).Fitted()) << "a cell reading zero is left out";
    EXPECT_DOUBLE_EQ(B.Cell(0).Highest, 3.4);
    EXPECT_DOUBLE_EQ(B.Cell(4).Lowest, 3.12);
    EXPECT_NEAR(B.Cell(4).Average(), (3.3 + 3.12 + 3.25) / 3, 1e-12);
    EXPECT_EQ(B.LowestCell(), 4) << "3.25 ties with cell 7; the first lowest counts";
    EXPECT_EQ(B.HighestCell(), 0);
    EXPECT_NEAR(B.Spread(), 0.10, 1e-12);
    EXPECT_NEAR(B.LargestSpread(), 0.28, 1e-12);
    EXPECT_DOUBLE_EQ(B.LargestSpreadTime() * SecondsPerDay, 2);
    EXPECT_NEAR(B.LowestShare(4), 2.0 / 3.0, 1e-12) << "the first reading's lowest is cell 1 (all equal)";
    EXPECT_NEAR(B.SumDifference(), 23.3 - 23.05, 1e-9);
    EXPECT_NEAR(B.LargestSumDifference(), 23.3 - 23.05, 1e-9);
}

TEST(Alarms, AWobbleAtALimitGivesOneAlarmAndOneClear) {
    TCellBalance Balance;
    TAlarmMonitor Monitor(Balance);
    TAlarmLimits Limits;
    Limits.CellLow = 3.2;
    Monitor.SetLimits(Limits);
    std::vector<TAlarmEvent> Events;
    Monitor.OnAlarm = [&](const TAlarmEvent& E) { Events.push_back(E); };
    const auto Feed = [&](double Cell5, double Battery) {
        const TReadingRecord R = Cells(0, {3.3, 3.3, 3.3, 3.3, Cell5, 3.3, 3.3, 0}, Battery);
        Balance.Take(R);
        Monitor.ReadingConsumed(R);
    };
    for (const double V : {3.25, 3.199, 3.201, 3.198, 3.215, 3.19, 3.219})
        Feed(V, 19.8 + V);
    ASSERT_EQ(Events.size(), 1u) << "back above the limit but within the hysteresis stays raised";
    EXPECT_EQ(Events[0].Text, "Alarm: Cell 5 at 3.199 V is below the low limit of 3.200 V");
    EXPECT_EQ(Events[0].Cell, 4);
    EXPECT_TRUE(Monitor.CellInAlarm(4));
    Feed(3.221, 19.8 + 3.221);
    ASSERT_EQ(Events.size(), 2u);
    EXPECT_FALSE(Events[1].Raised);
    EXPECT_EQ(Events[1].Text, "Alarm cleared: Cell 5 at 3.221 V is back above the low limit of 3.200 V");
    EXPECT_FALSE(Monitor.CellInAlarm(7)) << "cell 8 reads zero: not fitted, never low";

    Feed(3.3, 23.4);
    ASSERT_EQ(Events.size(), 3u) << "the default sum check: 0.3 V apart";
    EXPECT_EQ(Events[2].Text, "Alarm: battery 23.400 V differs from the sum of the cells 23.100 V by 0.300 V, "
                              "above the limit of 0.200 V");
}

TEST(Alarms, BadSettingsGiveOneLineEachAndLeaveThatAlarmOff) {
    QTemporaryDir Dir;
    const QString Ini = Dir.filePath("PackMon.Ini");
    ReplaceFileContents(Ini, "[Alarms]\nCellLow=3.6\nCellHigh=3.4\nSpreadHigh=abc\nSumMismatch=-1\n"
                             "Hysteresis=x\n");
    std::vector<std::string> Problems;
    const TAlarmLimits Limits = ReadAlarmLimits(Ini, Problems);
    EXPECT_EQ(Problems, (std::vector<std::string>{
                            "Alarms: SpreadHigh=abc is not a number; that alarm is off",
                            "Alarms: SumMismatch=-1 is negative; that alarm is off",
                            "Alarms: Hysteresis=x is not a number; it stays at 0.020 V",
                            "Alarms: CellLow=3.6 is above CellHigh=3.4; both cell alarms are off",
                        }));
    EXPECT_FALSE(Limits.CellLow || Limits.CellHigh || Limits.SpreadHigh || Limits.SumMismatch);
    EXPECT_DOUBLE_EQ(Limits.Hysteresis, 0.02);

    WriteAlarmLimits(Ini, TAlarmLimits{3.0, std::nullopt, 0.05, 0.2, 0.01});
    Problems.clear();
    const TAlarmLimits Again = ReadAlarmLimits(Ini, Problems);
    EXPECT_TRUE(Problems.empty());
    EXPECT_EQ(Again.CellLow, 3.0);
    EXPECT_FALSE(Again.CellHigh) << "off round-trips as off";
    EXPECT_EQ(Again.SpreadHigh, 0.05);
    EXPECT_DOUBLE_EQ(Again.Hysteresis, 0.01);
}

} // namespace
