// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

class QString;

// Every line end made CR LF: a lone CR and a lone LF each become CR LF.
// Captures edited on other systems then replay exactly like our own.
std::string NormaliseLineEnds(std::string Text);

// A comms capture's text, line ends normalised.
std::string LoadCommsCaptureText(const QString& FileName);
