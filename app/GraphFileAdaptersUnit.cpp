// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GraphFileAdaptersUnit.h"

TGraphComponent FindWindowComponent(QObject& Window, const std::string& Name, const QObject& Chart, TChartData& Store,
                                    TStatusBarGraphAdapter& StatusBar) {
    const QString Wanted = QString::fromStdString(Name);
    for (QObject* Child : Window.findChildren<QObject*>()) {
        if (Child->objectName().isEmpty() || Child->objectName().compare(Wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (Child == &Chart)
            return {TGraphComponent::Chart, &Store, nullptr};
        if (Child == &StatusBar.Bar())
            return {TGraphComponent::StatusBar, nullptr, &StatusBar};
        return {TGraphComponent::Other, nullptr, nullptr};
    }
    return {};
}
