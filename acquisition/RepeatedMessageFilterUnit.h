// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// Keeps persistent bad data from flooding the Errors pane: the first
// ShownPerMinute identical messages of a minute are shown, the rest are
// counted, and at the end of each minute with any counted one line says
// how many there were. A message that stops for a whole minute is
// forgotten and shows again in full when it returns.
class TRepeatedMessageFilter {
  public:
    static constexpr int ShownPerMinute = 10;
    static constexpr double WindowSeconds = 60.0;

    // True when Message should be shown now; Seconds runs on a monotonic clock.
    bool Admit(const std::string& Message, double Seconds);
    // The summary lines of the minutes that have ended by Seconds.
    std::vector<std::string> DueSummaries(double Seconds);

  private:
    struct TEntry {
        double WindowStart = 0;
        int Shown = 0;
        std::size_t Suppressed = 0;
        bool Flooding = false; // the minute before was suppressed too
    };
    std::map<std::string, TEntry> Entries;
};
