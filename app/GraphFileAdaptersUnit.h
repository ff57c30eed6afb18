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
