// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A chart's series as the files see them: graph files read and write them,
// CSV export and the converter read them. The window's chart and the
// converter's in-memory chart both offer this.
class TChartData {
public:
    virtual ~TChartData();
    virtual std::string Name() const = 0;
    virtual int SeriesCount() const = 0;
    virtual std::string SeriesTitle(int Series) const = 0;
    virtual std::size_t PointCount(int Series) const = 0;
    virtual double XValue(int Series, std::size_t Point) const = 0;
    virtual double YValue(int Series, std::size_t Point) const = 0;
    virtual double MaxYValue(int Series) const = 0;
    virtual void AddXY(int Series, double X, double Y) = 0;
    virtual void SetActive(int Series, bool Active) = 0;
};

// The nine series of the program's chart, held in memory: for the
// command-line converter and for tests. Points keep X order, a point of
// equal X going after the others, as on the window's chart.
class TChartDataTable : public TChartData {
public:
    TChartDataTable();
    std::string Name() const override { return "Chart1"; }
    int SeriesCount() const override { return static_cast<int>(Series.size()); }
    std::string SeriesTitle(int Index) const override { return Series[static_cast<std::size_t>(Index)].Title; }
    std::size_t PointCount(int Index) const override { return Series[static_cast<std::size_t>(Index)].X.size(); }
    double XValue(int Index, std::size_t Point) const override;
    double YValue(int Index, std::size_t Point) const override;
    double MaxYValue(int Index) const override;
    void AddXY(int Index, double X, double Y) override;
    void SetActive(int Index, bool Active) override { Series[static_cast<std::size_t>(Index)].Active = Active; }
    bool Active(int Index) const { return Series[static_cast<std::size_t>(Index)].Active; }
    void Clear();

private:
    struct TSeries {
        std::string Title;
        std::vector<double> X, Y;
        bool Active = false;
    };
    std::vector<TSeries> Series;
};

struct TReadingRecord;

// Where a decoded reading's values go on the chart: a data record's
// positive values become points at its time (zero and negative readings
// are shown, never plotted); a time-value or bulk-start record empties the
// chart first. Shared by the window and the converter.
bool ReadingClearsChart(const TReadingRecord& Reading);
void PlaceDataPoints(TChartData& Chart, const TReadingRecord& Reading);
