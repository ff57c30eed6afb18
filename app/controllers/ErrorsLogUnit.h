// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QStatusBar;
class TMemoPane;
class TValueGrid;

// The window's log lines: the Comms and Errors panes, stamped with the time
// they were seen, and the status line, which shows the last line logged
// unless the readings are old, when it says how old.
class TErrorsLog {
  public:
    // Adds the status line to Bar.
    TErrorsLog(TMemoPane& AErrors, QStatusBar& Bar, TValueGrid& AGrid);
    QLabel& StatusLineLabel() const { return StatusLine; }

    std::function<void()> Sound;
    // Where LogError's lines are shown: Show, unless the window puts itself
    // in between.
    std::function<void(TMemoPane* Pane, const std::string& Text, double Time, bool Beeps)> ShowLine;
    // Keeps a line with the session being recorded.
    std::function<void(const std::string& Kind, const std::string& Text)> Keep;

    // A line in Pane (none: only the beep), stamped with Time when above 0.
    void Show(TMemoPane* Pane, const std::string& Text, double Time, bool Beeps);
    // A failure of the window's own: in the Errors pane now, with a beep, and
    // kept with the session as Kind (none: what a review found, which is the
    // capture's and not the live session's).
    void LogError(const std::string& Text, const char* Kind = "error", bool Beeps = true);
    // Age: how many seconds old the latest values are, once they are stale.
    void ShowStaleness(std::optional<long> Age);

    // Runs a command or handler; whatever it raises reaches the Errors pane
    // once and goes no further.
    template <typename Work> void RunGuarded(Work&& Step) {
        try {
            Step();
        } catch (const std::exception& Failure) {
            LogFailure(Failure);
        } catch (...) {
            LogFailure(EPackMonException("Unknown exception"));
        }
    }
    void LogFailure(const std::exception& Failure);
    // The window is closing: the Errors pane may be one of the files that
    // cannot be written, so failures go to standard error too.
    bool Closing = false;

  private:
    TMemoPane& ErrorsPane;
    QLabel& StatusLine;
    TValueGrid& Grid;
    QString StatusText; // the last line logged, shown again once readings are fresh
};
