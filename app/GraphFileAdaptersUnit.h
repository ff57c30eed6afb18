// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartUnit.h"
#include "GraphFileUnit.h"

#include <QStatusBar>

// The window's chart and status bar as graph files see them.

class TChartGraphAdapter : public TChartData {
public:
    explicit TChartGraphAdapter(TPackMonChart& AChart) : Chart(AChart) {}
    std::string Name() const override { return Chart.objectName().toStdString(); }
    int SeriesCount() const override { return Chart.SeriesCount(); }
    std::string SeriesTitle(int Series) const override { return Chart.Series(Series).Title().toStdString(); }
    std::size_t PointCount(int Series) const override { return Chart.Series(Series).Count(); }
    double XValue(int Series, std::size_t Point) const override { return Chart.Series(Series).XValue(Point); }
    double YValue(int Series, std::size_t Point) const override { return Chart.Series(Series).YValue(Point); }
    double MaxYValue(int Series) const override { return Chart.Series(Series).MaxYValue(); }
    void AddXY(int Series, double X, double Y) override { Chart.Series(Series).AddXY(X, Y); }
    void SetActive(int Series, bool Active) override { Chart.Series(Series).SetActive(Active); }

private:
    TPackMonChart& Chart;
};

// The window's status bar has no panels and is never in simple-panel mode.
class TStatusBarGraphAdapter : public TGraphStatusBar {
public:
    explicit TStatusBarGraphAdapter(QStatusBar& ABar) : Bar(ABar) {}
    std::string Name() const override { return Bar.objectName().toStdString(); }
    bool SimplePanel() const override { return false; }
    std::string SimpleText() const override { return Bar.currentMessage().toStdString(); }
    void SetSimpleText(const std::string& Text) override { Bar.showMessage(QString::fromStdString(Text)); }
    std::vector<std::string> PanelTexts() const override { return {}; }
    int PanelCount() const override { return 0; }
    void SetPanelText(int, const std::string&) override {}

private:
    QStatusBar& Bar;
};
