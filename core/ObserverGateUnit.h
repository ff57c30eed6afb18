// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingConsumerUnit.h"

// Passes what the consumer tells on to one observer while open. A capture
// opened for review goes through the window's consumer while a live run is
// being kept: the keeper must hear of the live run only.
class TObserverGate : public TReadingObserver {
  public:
    explicit TObserverGate(TReadingObserver& AInner) : Inner(AInner) {}
    void SetOpen(bool Value) { Open = Value; }
    bool IsOpen() const { return Open; }

    void SeriesCleared() override {
        if (Open)
            Inner.SeriesCleared();
    }
    void BulkStateChanged(bool InProgress) override {
        if (Open)
            Inner.BulkStateChanged(InProgress);
    }
    void ProgressChanged(int Value, int Maximum) override {
        if (Open)
            Inner.ProgressChanged(Value, Maximum);
    }
    void LatestValuesChanged() override {
        if (Open)
            Inner.LatestValuesChanged();
    }
    void ReadingConsumed(const TReadingRecord& Reading) override {
        if (Open)
            Inner.ReadingConsumed(Reading);
    }

  private:
    TReadingObserver& Inner;
    bool Open = true;
};
