// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "JournalSettingsUnit.h"

#include "ProfileFileUnit.h"
#include "SettingsKeysUnit.h"

#include <algorithm>

TJournalSettings ReadJournalSettings(const QString& IniFileName) {
    const TProfileFile Settings(IniFileName);
    TJournalSettings Journal;
    Journal.Enabled = Settings.ReadInteger(JournalSection, JournalEnabledKey, 1) != 0;
    Journal.Retention.KeepDays = std::max(Settings.ReadInteger(JournalSection, JournalKeepDaysKey, 0), 0);
    Journal.Retention.MaxMegabytes = std::max(Settings.ReadInteger(JournalSection, JournalMaxMegabytesKey, 0), 0);
    return Journal;
}
