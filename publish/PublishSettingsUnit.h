// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <string>

// Where readings are published, from the settings file's [Publish] section.
struct TPublishSettings {
    std::string Host;
    int Port = 1883;
    std::string Topic = "packmon/bench1";
    std::string Username;
    std::string Password;
    int QoS = 1;
    std::string CaFile;

    std::string Address() const { return Host + ":" + std::to_string(Port); }
};

// Nothing while Host is empty (publishing is off). An entry that cannot be
// used gives one line in Problem, naming the entry, and nothing: logging
// goes on without publishing.
std::optional<TPublishSettings> ReadPublishSettings(const QString& IniFileName, std::string& Problem);
