// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QString>
#include <optional>

// The window's file dialogs, set up from the filters as they are written
// ("Description|pattern" pairs) and a default extension (".CSV").
void SetUpFileDialog(QFileDialog& Dialog, const char* Name, bool Save, const QString& Filter,
                     const QString& DefaultExtension);

// Runs the dialog; the chosen file, or nothing when the user cancels.
std::optional<QString> ExecuteFileDialogModally(QFileDialog& Dialog);
