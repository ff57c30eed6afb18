// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartDataUnit.h"
#include "ComponentNamesUnit.h"

#include <functional>
#include <string>
#include <vector>

struct TSeriesPoint {
    double X;
    double Y;
};

// One series' points in ascending X. A point whose X equals others goes
// after them, so indexes follow the order points arrived in. Per-block
// lowest and highest values let a drawing of millions of points cost the
// number of blocks it spans, not the number of points.
class TSeriesData {
  public:
    void Add(double X, double Y);
    void Clear();
    // The line stops before the next point at X or later: readings stopped
    // for a while. Graph files and exports keep only the points.
    void BreakBefore(double X);
    std::size_t Count() const { return Points.size(); }
    const TSeriesPoint& Point(std::size_t Index) const { return Points.at(Index); }
    double MinY() const { return LowestY; } // 0 when empty
    double MaxY() const { return HighestY; }

    // What to draw for X from Low to High across Columns pixel columns:
    // every point when there are few, otherwise each column's first,
    // lowest, highest and last point (the extreme nearer the first point
    // first, so the line crosses the column's span once). A point with a
    // NaN Y stands where the line breaks.
    void Envelope(double Low, double High, int Columns, std::vector<TSeriesPoint>& Out) const;

  private:
    struct TBlock {
        double MinY;
        double MaxY;
    };
    static constexpr std::size_t BlockSize = 64;

    void RebuildBlocksFrom(std::size_t Block);
    void InsertBreaks(std::vector<TSeriesPoint>& Out) const;

    std::vector<TSeriesPoint> Points;
    std::vector<double> Breaks; // ascending X
    std::vector<TBlock> Blocks;
    double LowestY = 0.0;
    double HighestY = 0.0;
};

// The chart's series as plain data: titles, points and whether each is
// shown. The window's chart draws from it; graph files, CSV export and the
// converter read and fill it through TChartData.
class TSeriesStore : public TChartData {
  public:
    explicit TSeriesStore(std::string AName = ChartComponentName) : StoreName(std::move(AName)) {}

    int AddSeries(std::string Title);
    void RemoveAllSeries();
    TSeriesData& Data(int Index) { return Entries.at(static_cast<std::size_t>(Index)).Points; }
    const TSeriesData& Data(int Index) const { return Entries.at(static_cast<std::size_t>(Index)).Points; }
    bool Active(int Index) const { return Entries.at(static_cast<std::size_t>(Index)).Active; }

    // Every series empty and hidden.
    void Clear();
    // Each series shown exactly when Enable holds and it has more than
    // MinCount points.
    void ActivateSeriesWithData(bool Enable, std::size_t MinCount);

    std::string Name() const override { return StoreName; }
    int SeriesCount() const override { return static_cast<int>(Entries.size()); }
    std::string SeriesTitle(int Index) const override { return Entries.at(static_cast<std::size_t>(Index)).Title; }
    std::size_t PointCount(int Index) const override { return Data(Index).Count(); }
    double XValue(int Index, std::size_t Point) const override { return Data(Index).Point(Point).X; }
    double YValue(int Index, std::size_t Point) const override { return Data(Index).Point(Point).Y; }
    double MaxYValue(int Index) const override { return Data(Index).MaxY(); }
    void AddXY(int Index, double X, double Y) override;
    // Every series' line stops before X.
    void BreakBefore(double X);
    // A store for a program with no chart (a logger running for days)
    // keeps no points; its series stay empty.
    void KeepPoints(bool Value) { Keeping = Value; }
    void SetActive(int Index, bool Value) override;

    // Runs after every change, for whoever shows the store.
    std::function<void()> OnChanged;

  private:
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
