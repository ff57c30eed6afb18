// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecentFilesMenuUnit.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

// The Comms and Graphs menus' recent files, kept in the settings file: a
// capture or graph file opened joins its list, choosing an item opens it
// again, and a list that cannot be saved says so once for both.
class TRecentFiles : public QObject {
  public:
    struct TMenus {
        QMenu& Comms;
        QMenu& Graphs;
    };
    // Open* load a file as File > Open does; Guard runs a menu command,
    // sending its failure to the Errors pane.
    TRecentFiles(TMenus Menus, const QString& IniFileName, std::function<void(const QString&)> OpenComms,
                 std::function<void(const QString&)> OpenGraphs,
                 std::function<void(const std::function<void()>&)> Guarded);

    // A failure to save a list, said once until saving works again.
    std::function<void(const std::string& Line)> Unsaved;

    TRecentFilesMenu& Comms() const { return *CommsMenu; }
    TRecentFilesMenu& Graphs() const { return *GraphsMenu; }

  private:
    std::unique_ptr<TRecentFilesMenu> CommsMenu;
    std::unique_ptr<TRecentFilesMenu> GraphsMenu;
};
