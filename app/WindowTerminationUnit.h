// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Closes Window the normal way and ends the event loop. A dialog left open
// would keep its own event loop, and the program, running past the
// window's close, so open dialogs are closed first.
void CloseForTermination(QWidget& Window);
