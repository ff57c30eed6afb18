// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecentFilesUnit.h"

#include "SettingsKeysUnit.h"

#include <QAction>

TRecentFiles::TRecentFiles(TMenus Menus, const QString& IniFileName, std::function<void(const QString&)> OpenComms,
                           std::function<void(const QString&)> OpenGraphs,
                           std::function<void(const std::function<void()>&)> Guarded) {
    const std::string Ini = IniFileName.toStdString();
    CommsMenu = std::make_unique<TRecentFilesMenu>(
        Menus.Comms, "CommsMRUMenuItem", "Not found :", MakeRecentFileList(Ini, CommsMRUSection), std::move(OpenComms));
    GraphsMenu = std::make_unique<TRecentFilesMenu>(Menus.Graphs, "GraphsMRUMenuItem", "Not found ",
                                                    MakeRecentFileList(Ini, GraphsMRUSection), std::move(OpenGraphs));
    GraphsMenu->UnsavedSaid = CommsMenu->UnsavedSaid;
    for (TRecentFilesMenu* Recent : {CommsMenu.get(), GraphsMenu.get()}) {
        Recent->Unsaved = [this](const std::string& Line) {
            if (Unsaved)
                Unsaved(Line);
        };
        for (QAction* Item : Recent->Items())
            connect(Item, &QAction::triggered, this,
                    [Guarded, Recent, Item] { Guarded([&] { Recent->OpenItem(*Item); }); });
    }
}
