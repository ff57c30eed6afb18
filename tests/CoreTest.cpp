// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingConsumerUnit.h"
#include "SeriesStoreUnit.h"

#include <algorithm>
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

    EXPECT_THROW(Consumer.Consume(Record(rkBulkStart, -1)), EPackMonException);
    EXPECT_EQ(Store.PointCount(1), 0u) << "the series are emptied before the count is refused";
    EXPECT_FALSE(Consumer.Bulk().InProgress);
    EXPECT_EQ(Observer.Cleared, 3);
    EXPECT_EQ(Observer.Consumed, 1 + 4 + 1 + 5 + 1);
}

} // namespace
