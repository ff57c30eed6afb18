// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartDataUnit.h"
#include "ChunkedColumnUnit.h"
#include "ComponentNamesUnit.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TSeriesPoint {
    double X;
    double Y;
};

// The doubles that whole millivolts stand for, M / 1000.0, worked out once.
extern const std::array<double, 65536> MilliToVolts;

// Times that the series of one store share: the nine series of a reading
// all stand at the reading's time, so it is kept once.
using TTimeColumn = TChunkedColumn<double>;
using TSharedTimes = std::shared_ptr<TTimeColumn>;

// One series' points in ascending X. A point whose X equals others goes
// after them, so indexes follow the order points arrived in.
//
// Readings are whole millivolts, so values are kept as 16-bit millivolts
// for as long as every value is one (each gives back exactly the double it
// came from); the first that is not turns the series into plain doubles.
// X values are the store's shared times while they match them, else the
// series' own. Lowest and highest values are kept per 64 points, per 64 of
// those, and so on, so drawing any range at W pixel columns costs about
// W·log(n) whatever the number of points.
class TSeriesData {
  public:
    explicit TSeriesData(TSharedTimes ATimes = nullptr) : Shared(std::move(ATimes)), OwnX(!Shared) {}

    void Add(double X, double Y);
    void Clear();
    // The line stops before the next point at X or later: readings stopped
    // for a while. Graph files and exports keep only the points.
    void BreakBefore(double X);
    std::size_t Count() const { return Size; }
    double X(std::size_t Index) const { return OwnX ? OwnTimes[Index] : (*Shared)[Index]; }
    double Y(std::size_t Index) const { return Wide ? WideValues[Index] : MilliToVolts[Milli[Index]]; }
    TSeriesPoint Point(std::size_t Index) const {
        if (Index >= Size)
            PointOutOfRange(Index);
        return {X(Index), Y(Index)};
    }
    // One coordinate alone, checked as Point is: an export asks for millions.
    double CheckedX(std::size_t Index) const {
        if (Index >= Size)
            PointOutOfRange(Index);
        return X(Index);
    }
    double CheckedY(std::size_t Index) const {
        if (Index >= Size)
            PointOutOfRange(Index);
        return Y(Index);
    }
    double MinY() const { return LowestY; } // 0 when empty
    double MaxY() const { return HighestY; }
    // The index of the first point at X or later, Count() when none is.
    std::size_t FirstAtOrAfter(double X) const { return FirstAtOrAfter(X, 0, Size); }
    std::size_t FirstAtOrAfter(double X, std::size_t From, std::size_t To) const;
    // Bytes held for the points, summaries included.
    std::size_t BytesHeld() const;

    // What to draw for X from Low to High across Columns pixel columns: the
    // points in that range and one either side, when there are few.
    // Otherwise the points either side (or the series' first and last), and
    // between them each column's lowest and highest value at the column's
    // middle, the one nearer the line so far first, so the line crosses
    // each column's span once. A point with a NaN Y stands where the line
    // breaks. True when it gives columns.
    bool Envelope(double Low, double High, int Columns, std::vector<TSeriesPoint>& Out) const;

  private:
    struct TSummary {
        double MinY;
        double MaxY;
    };
    static constexpr unsigned LevelBits = 6; // 64 entries a summary
    using TSummaryColumn = TChunkedColumn<TSummary, 8>;

    static constexpr std::size_t EntryMask = (std::size_t{1} << LevelBits) - 1;

    // The 16-bit millivolts that give back exactly Y, or -1 if none do.
    static int AsMilli(double Y);
    [[noreturn]] void PointOutOfRange(std::size_t Index) const;
    void MakeWide();
    void OwnTheTimes();
    void PushX(double X);
    void PushY(double Y);
    void Counted(double Y);
    void InsertAt(std::size_t Index, double X, double Y);
    void CloseSummaries();
    std::size_t FirstAfter(double X) const;
    TSummary RangeMinMax(std::size_t From, std::size_t To) const;
    void InsertBreaks(std::vector<TSeriesPoint>& Out) const;

    TSharedTimes Shared;
    bool OwnX = false;
    TTimeColumn OwnTimes;
    bool Wide = false;
    TChunkedColumn<std::uint16_t> Milli;
    TChunkedColumn<double> WideValues;
    std::size_t Size = 0;
    std::vector<TSummaryColumn> Levels; // whole entries only; one of Levels[L] covers 64^(L+1) points
    std::vector<double> Breaks;         // ascending X
    double LowestY = 0.0;
    double HighestY = 0.0;
};

// The chart's series as plain data: titles, points and whether each is
// shown. The window's chart draws from it; graph files, CSV export and the
// converter read and fill it through TChartData.
class TSeriesStore : public TChartData {
  public:
    explicit TSeriesStore(std::string AName = ChartComponentName) : StoreName(std::move(AName)) {}
    TSeriesStore(const TSeriesStore&) = delete;
    TSeriesStore& operator=(const TSeriesStore&) = delete;

    int AddSeries(std::string Title);
    void RemoveAllSeries();
    const TSeriesData& Data(int Index) const { return Entries.at(static_cast<std::size_t>(Index)).Points; }
    bool Active(int Index) const { return Entries.at(static_cast<std::size_t>(Index)).Active; }

    // Every series empty and hidden.
    void Clear();
    // One series emptied, its flag left alone.
    void ClearSeries(int Index);
    // Each series shown exactly when Enable holds and it has more than
    // MinCount points.
    void ActivateSeriesWithData(bool Enable, std::size_t MinCount);

    std::string Name() const override { return StoreName; }
    int SeriesCount() const override { return static_cast<int>(Entries.size()); }
    std::string SeriesTitle(int Index) const override { return Entries.at(static_cast<std::size_t>(Index)).Title; }
    std::size_t PointCount(int Index) const override { return Data(Index).Count(); }
    double XValue(int Index, std::size_t Point) const override { return Data(Index).CheckedX(Point); }
    double YValue(int Index, std::size_t Point) const override { return Data(Index).CheckedY(Point); }
    // Bytes held for every series' points and the shared times.
    std::size_t BytesHeld() const;
    double MaxYValue(int Index) const override { return Data(Index).MaxY(); }
    void AddXY(int Index, double X, double Y) override;
    // Every series' line stops before X.
    void BreakBefore(double X);
    // A store for a program with no chart (a logger running for days)
    // keeps no points; its series stay empty.
    void KeepPoints(bool Value) { Keeping = Value; }
    void SetActive(int Index, bool Value) override;

    // Run after every change, for whoever shows the store: OnAppended for
    // a point added to series Index, OnChanged for anything else.
    std::function<void()> OnChanged;
    std::function<void(int Index, double X, double Y)> OnAppended;

  private:
    TSeriesData& Points(int Index) { return Entries.at(static_cast<std::size_t>(Index)).Points; }
    bool Keeping = true;
    struct TEntry {
        std::string Title;
        TSeriesData Points;
        bool Active = false;
    };
    void Changed() const {
        if (OnChanged)
            OnChanged();
    }

    std::string StoreName;
    TSharedTimes Times = std::make_shared<TTimeColumn>();
    std::vector<TEntry> Entries;
};

// The program's nine series: the pack voltage, then cells 1 to 8.
constexpr int ProgramSeriesCount = 9;
inline constexpr const char* ProgramSeriesTitles[ProgramSeriesCount] = {"BatteryVolts", "Cell1Volts", "Cell2Volts",
                                                                        "Cell3Volts",   "Cell4Volts", "Cell5Volts",
                                                                        "Cell6Volts",   "Cell7Volts", "Cell8Volts"};

// A store holding those nine series, as the converter and tests need it.
class TProgramSeriesStore : public TSeriesStore {
  public:
    TProgramSeriesStore() {
        for (const char* Title : ProgramSeriesTitles)
            AddSeries(Title);
    }
};
