// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowGraphHostUnit.h"

#include "ComponentNamesUnit.h"

#include <QString>

namespace {

bool SameName(const std::string& Name, const char* Component) {
    return QString::fromStdString(Name).compare(QLatin1String(Component), Qt::CaseInsensitive) == 0;
}

} // namespace

std::string TWindowGraphHost::TNoPanels::Name() const { return StatusBarComponentName; }

TWindowGraphHost::TWindowGraphHost(std::string AOwner, TChartData& AChart, TGraphStatusBar* AStatusBar)
    : Owner(std::move(AOwner)), Chart(AChart), StatusBar(AStatusBar != nullptr ? *AStatusBar : NoPanels) {}

TGraphComponent TWindowGraphHost::FindComponent(const std::string& Name) {
    if (SameName(Name, ChartComponentName))
        return {TGraphComponent::Chart, &Chart, nullptr};
    if (SameName(Name, StatusBarComponentName))
        return {TGraphComponent::StatusBar, nullptr, &StatusBar};
    for (const char* Component : WindowComponentNames)
        if (SameName(Name, Component))
            return {TGraphComponent::Other, nullptr, nullptr};
    return {};
}
