// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortDiscoveryUnit.h"

#include <QStringList>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QObject;
class QWidget;

// The menu item shows its action: same caption and state, and choosing it
// runs the action. The action joins ActionList and Window's shortcuts.
void LinkMenuItem(QAction& Item, QAction& Action, QObject& ActionList, QWidget& Window);

// Names a menu's separators in order, as the window's N1, N2 and N3.
void NameSeparators(QMenu& Menu, const QStringList& Names);

// The COMPort submenu anew: every item but Keep goes, then one item "COMn"
// per port: checked when logging from it, disabled with the reason in its
// caption when it cannot be chosen, the adapter and its names as tooltip
// and its path as status tip. Added is called for each new item so the
// window can connect it.
void FillPortMenu(QMenu& Menu, const QAction* Keep, const std::vector<TPortListing>& Ports,
                  const std::function<void(QAction&)>& Added);
