// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

// A chart's series as the files see them: graph files read and write them,
// CSV export and the converter read them. The series store is the one
// implementation the program has; tests may offer their own.
class TChartData {
  public:
    virtual ~TChartData() = default;
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
