// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MRUUnit.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;

// The program's recent-file list kept in Section of the settings file
// IniFileName.
std::unique_ptr<TKWBMRU> MakeRecentFileList(const std::string& IniFileName, const std::string& Section);

// A menu's recent-file items: ItemName0 to ItemName4 at the end of the menu,
// hidden while empty, kept in a recent-file list of the settings file.
class TRecentFilesMenu {
  public:
    static constexpr int ItemCount = 5;

    // Open loads a file the way the matching File › Open does.
    TRecentFilesMenu(QMenu& AMenu, std::string AItemName, std::string ANotFoundText, std::unique_ptr<TKWBMRU> AList,
                     std::function<void(const QString&)> AOpen);

    TKWBMRU& List() const { return *Files; }

    // Puts a file just opened at the front. A list that cannot be saved is
    // kept in memory; the failure goes to Unsaved, once until saving works
    // again, and never stops the open.
    void Remember(const QString& FileName);
    std::function<void(const std::string& Message)> Unsaved;
    // Shared by the menus of one settings file, so it is said once for all.
    std::shared_ptr<bool> UnsavedSaid = std::make_shared<bool>(false);
    const QList<QAction*>& Items() const { return MenuItems; }

    // As the menu opens: files that have gone leave the list, and the items
    // show what is left. Raises NotFoundText + the item's name for an item
    // that is no longer in the menu.
    void Refresh();
    // A file that has gone since the menu opened does nothing.
    void OpenItem(QAction& Item);

  private:
    template <typename Work> void Saving(Work&& Change);

    QMenu& Menu;
    std::string ItemName;
    std::string NotFoundText;
    std::unique_ptr<TKWBMRU> Files;
    std::function<void(const QString&)> Open;
    QList<QAction*> MenuItems;
};
