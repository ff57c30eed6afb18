// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QRect>
#include <QString>

class QWidget;

// Where a message box of DialogSize goes: centred over the owner, shrunk to
// a screen that is smaller than it, moved back onto the screen's right and
// bottom edges, and never to a negative position. The screen is the
// primary screen's full size, not its work area.
QRect PlaceMessageDialog(const QRect& Owner, const QSize& DialogSize, const QSize& Screen);

// Shows a modal message box placed over OwnerForm (centred on the screen
// without one) and returns the button that closed it.
int KWBMessageDlg(const QString& Msg, QMessageBox::Icon DlgType, QMessageBox::StandardButtons Buttons,
                  QWidget* OwnerForm, int HelpCtx);
