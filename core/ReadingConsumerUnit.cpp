// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingConsumerUnit.h"

#include "FieldConversionUnit.h"
#include "NumberFormatUnit.h"

#include <climits>
#include <cmath>

namespace {

// Values in the general number format, with the user's decimal separator.
std::string LocalNumber(double Value) { return FloatToStrGeneral(Value, UserDecimalSeparator()); }

} // namespace

void TReadingConsumer::Consume(const TReadingRecord& Reading) {
    switch (Reading.Kind) {
    case rkBulkStart:
        ClearSeries();
        StartProgress(Reading.Time);
        // A transfer of no records has nothing to wait for.
        SetBulkInProgress(Progress.Maximum > 0);
        break;
    case rkBulkEnd:
        Store.ActivateSeriesWithData(true, ActivationThreshold);
        SetBulkInProgress(false);
        break;
    case rkTimeValue:
        ClearSeries();
        SetBulkInProgress(false);
        break;
    case rkData:
    case rkNone:
        break;
    }
    // After the emptying above, so that a new run starts with no gap.
    const double Gap = GapRule.Observe(Reading);
    if (Reading.Kind == rkData)
        ConsumeData(Reading, Gap > 0);
    Notify([&](TReadingObserver& O) { O.ReadingConsumed(Reading); });
}

void TReadingConsumer::ClearSeries() {
    Store.Clear();
    GapRule.Restart();
    Notify([](TReadingObserver& O) { O.SeriesCleared(); });
}

void TReadingConsumer::ConsumeData(const TReadingRecord& Reading, bool AfterGap) {
    LatestReading = Reading;
    LatestValid = true;
    Notify([](TReadingObserver& O) { O.LatestValuesChanged(); });
    if (AfterGap)
        Store.BreakBefore(Reading.Time);
    if (Reading.BatteryVolts > 0)
        Store.AddXY(0, Reading.Time, Reading.BatteryVolts);
    for (int Cell = 0; Cell < CellCount; ++Cell)
        if (Reading.CellVolts[Cell] > 0)
            Store.AddXY(Cell + 1, Reading.Time, Reading.CellVolts[Cell]);
    if (Progress.InProgress) {
        Progress.Value = std::min(Progress.Value + 1, Progress.Maximum);
        Notify([this](TReadingObserver& O) { O.ProgressChanged(Progress.Value, Progress.Maximum); });
    } else {
        Store.ActivateSeriesWithData(true, ActivationThreshold);
    }
}

void TReadingConsumer::StartProgress(double Count) {
    // The message is the one the progress bar has always given for such a count.
    const double Rounded = std::nearbyint(Count);
    if (!(Rounded >= 0 && Rounded <= INT_MAX))
        throw EPackMonException("QProgressBar property out of range");
    Progress.Maximum = static_cast<int>(Rounded);
    Progress.Value = 0;
    Notify([this](TReadingObserver& O) { O.ProgressChanged(Progress.Value, Progress.Maximum); });
}

void TReadingConsumer::SetBulkInProgress(bool Value) {
    Progress.InProgress = Value;
    Notify([Value](TReadingObserver& O) { O.BulkStateChanged(Value); });
}

std::string TReadingConsumer::LatestText(int Column) const {
    if (Column < 0 || Column >= LatestValueCount)
        throw std::out_of_range("latest value column");
    if (!LatestValid)
        return {};
    if (Column == 0)
        return FormatTimeOfDay(LatestReading.Time);
    if (Column == 1)
        return LocalNumber(LatestReading.BatteryVolts);
    return LocalNumber(LatestReading.CellVolts[Column - 2]);
}
