// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SessionsUnit.h"

#include <QString>

struct TJournalSettings {
    bool Enabled = true;
    TJournalRetention Retention;
};

// The settings file's [Journal] section; a negative limit keeps everything.
TJournalSettings ReadJournalSettings(const QString& IniFileName);
