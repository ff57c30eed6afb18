// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GraphFileUnit.h"

#include <QLabel>
#include <QStatusBar>

// The window's status bar as graph files see it; the chart's series store
// is what they see of the chart.

// The window's status bar has no panels and is never in simple-panel mode;
// its text is the line it shows, the last line logged.
class TStatusBarGraphAdapter : public TGraphStatusBar {
  public:
    TStatusBarGraphAdapter(QStatusBar& ABar, QLabel& ALine) : StatusBar(ABar), Line(ALine) {}
    std::string Name() const override { return StatusBar.objectName().toStdString(); }
    bool SimplePanel() const override { return false; }
    std::string SimpleText() const override { return Line.text().toStdString(); }
    void SetSimpleText(const std::string& Text) override { Line.setText(QString::fromStdString(Text)); }
    std::vector<std::string> PanelTexts() const override { return {}; }
    int PanelCount() const override { return 0; }
    void SetPanelText(int, const std::string&) override {}
    const QStatusBar& Bar() const { return StatusBar; }

  private:
    QStatusBar& StatusBar;
    QLabel& Line;
};
