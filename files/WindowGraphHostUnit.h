// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GraphFileUnit.h"

#include <string>

// The window as graph files name it: the owner, its chart and status bar,
// and the frozen list of its other component names (ComponentNamesUnit.h),
// matched without regard to letter case. The window and the converter both
// read through one, so they read every file alike, whatever widgets the
// window has today.
class TWindowGraphHost final : public TGraphFileHost {
  public:
    // Without a status bar, a status-bar record is read into one with no
    // panels, as the window's own reads it.
    TWindowGraphHost(std::string AOwner, TChartData& AChart, TGraphStatusBar* AStatusBar = nullptr);
    std::string OwnerName() const override { return Owner; }
    TGraphComponent FindComponent(const std::string& Name) override;

  private:
    class TNoPanels final : public TGraphStatusBar {
      public:
        std::string Name() const override;
        bool SimplePanel() const override { return false; }
        std::string SimpleText() const override { return {}; }
        void SetSimpleText(const std::string&) override {}
        std::vector<std::string> PanelTexts() const override { return {}; }
        int PanelCount() const override { return 0; }
        void SetPanelText(int, const std::string&) override {}
    };

    std::string Owner;
    TChartData& Chart;
    TNoPanels NoPanels;
    TGraphStatusBar& StatusBar;
};
