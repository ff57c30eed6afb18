// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GraphFileUnit.h"

#include <QStatusBar>

// The window's status bar as graph files see it; the chart's series store
// is what they see of the chart.

// The window's status bar has no panels and is never in simple-panel mode.
class TStatusBarGraphAdapter : public TGraphStatusBar {
  public:
    explicit TStatusBarGraphAdapter(QStatusBar& ABar) : StatusBar(ABar) {}
    std::string Name() const override { return StatusBar.objectName().toStdString(); }
    bool SimplePanel() const override { return false; }
    std::string SimpleText() const override { return StatusBar.currentMessage().toStdString(); }
    void SetSimpleText(const std::string& Text) override { StatusBar.showMessage(QString::fromStdString(Text)); }
    std::vector<std::string> PanelTexts() const override { return {}; }
    int PanelCount() const override { return 0; }
    void SetPanelText(int, const std::string&) override {}
    const QStatusBar& Bar() const { return StatusBar; }

  private:
    QStatusBar& StatusBar;
};

class QObject;

// Window's named component as a graph file names it (without regard to
// letter case): the chart's store, the status bar, any other named child,
// or none.
TGraphComponent FindWindowComponent(QObject& Window, const std::string& Name, const QObject& Chart, TChartData& Store,
                                    TStatusBarGraphAdapter& StatusBar);
