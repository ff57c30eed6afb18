// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RepeatedMessageFilterUnit.h"

namespace {

// Messages that vary (a field's text is in them) would otherwise grow the
// table for ever; past this many the oldest minute's quiet ones go first.
constexpr std::size_t MaxEntries = 1024;

} // namespace

bool TRepeatedMessageFilter::Admit(const std::string& Message, double Seconds) {
    auto Found = Entries.find(Message);
    if (Found == Entries.end()) {
        if (Entries.size() >= MaxEntries)
            DueSummaries(Seconds); // ends what can be ended; a flood keeps its entry
        if (Entries.size() >= MaxEntries)
            return true;
        Found = Entries.emplace(Message, TEntry{Seconds, 0, 0, false}).first;
    }
    TEntry& Entry = Found->second;
    if (!Entry.Flooding && Entry.Shown < ShownPerMinute) {
        ++Entry.Shown;
        return true;
    }
    ++Entry.Suppressed;
    return false;
}

std::vector<std::string> TRepeatedMessageFilter::DueSummaries(double Seconds) {
    std::vector<std::string> Lines;
    for (auto It = Entries.begin(); It != Entries.end();) {
        TEntry& Entry = It->second;
        if (Seconds - Entry.WindowStart < WindowSeconds) {
            ++It;
            continue;
        }
        if (Entry.Suppressed == 0) {
            It = Entries.erase(It);
            continue;
        }
        Lines.push_back(It->first + " (" + std::to_string(Entry.Suppressed) +
                        " more like this in the last minute, not shown)");
        Entry = TEntry{Seconds, 0, 0, true};
        ++It;
    }
    return Lines;
}
