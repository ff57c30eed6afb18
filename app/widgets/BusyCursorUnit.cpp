// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyCursorUnit.h"

#include <QCursor>
#include <QGuiApplication>

TBusyCursor::TBusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

TBusyCursor::~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
