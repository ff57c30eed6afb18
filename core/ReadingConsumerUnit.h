// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GapRuleUnit.h"
#include "PackMonConstantsAndTypesUnit.h"
#include "SeriesStoreUnit.h"

#include <string>
#include <vector>

// Told what the consumer changed, after it has applied every rule to a
// reading. Those who show the readings (the window) or keep them (the
// journal, statistics) listen here instead of deciding anything themselves.
class TReadingObserver {
  public:
    virtual ~TReadingObserver() = default;
    // The store was emptied: a bulk start or a time-value record.
    virtual void SeriesCleared() {}
    virtual void BulkStateChanged(bool /*InProgress*/) {}
    virtual void ProgressChanged(int /*Value*/, int /*Maximum*/) {}
    // A data record changed the latest values.
    virtual void LatestValuesChanged() {}
    // Every reading, once its rules have been applied.
    virtual void ReadingConsumed(const TReadingRecord& /*Reading*/) {}
};

// Where a bulk transfer has got to. Each transfer starts from 0, and records
// beyond the announced count leave it at the maximum.
struct TBulkProgress {
    bool InProgress = false;
    int Value = 0;
    int Maximum = 0;
};

// The one place readings are turned into what the program shows and keeps:
// - a bulk-start or time-value record empties the series;
// - a data record's positive values become points at its time; zero and
//   negative values are shown among the latest values, never plotted;
// - a series is shown once it holds more than ActivationThreshold points,
//   during a bulk transfer only when it ends;
// - a bulk start announces its record count, which sets the progress;
// - a data record after a gap (see TGapRule) breaks the series' lines.
// The window and every tool feed their readings through one of these.
class TReadingConsumer {
  public:
    static constexpr std::size_t ActivationThreshold = 3;
    // Time, the pack and the eight cells, as the value grid shows them.
    static constexpr int LatestValueCount = 2 + CellCount;

    explicit TReadingConsumer(TSeriesStore& AStore) : Store(AStore) {}

    void AddObserver(TReadingObserver& Observer) { Observers.push_back(&Observer); }

    // A bulk start with a negative or oversized count raises
    // "QProgressBar property out of range" once the series are emptied.
    void Consume(const TReadingRecord& Reading);
    void SetBulkInProgress(bool Value);
    // Empties the series as a new session or the user asks, and tells the
    // observers as a bulk start would.
    void ClearSeries();

    const TBulkProgress& Bulk() const { return Progress; }
    TSeriesStore& Series() const { return Store; }
    bool HasLatest() const { return LatestValid; }
    const TReadingRecord& Latest() const { return LatestReading; }
    // Column 0 is the time of day "hh:nn:ss", 1 the pack, 2 to 9 the cells,
    // in the general format with the user's decimal separator; empty before
    // the first data record. Formatted when asked, so a replay of thousands
    // of records a second formats only what is shown.
    std::string LatestText(int Column) const;

  private:
    void ConsumeData(const TReadingRecord& Reading, bool AfterGap);
    void StartProgress(double Count);
    template <typename Call> void Notify(Call&& Tell) const {
        for (TReadingObserver* Observer : Observers)
            Tell(*Observer);
    }

    TSeriesStore& Store;
    std::vector<TReadingObserver*> Observers;
    TBulkProgress Progress;
    TGapRule GapRule;
    TReadingRecord LatestReading;
    bool LatestValid = false;
};
