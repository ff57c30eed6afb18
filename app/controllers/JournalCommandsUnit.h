// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <functional>

class QWidget;
class TFileCommands;
class TJournalWriter;
class TLiveSession;
class TReviewTools;
class TSessionsDialog;
class TSourceController;

// File > Sessions and File > Report: the kept sessions browsed, exported,
// deleted or opened into the chart, and the report of the session being
// recorded (else of the newest kept).
class TJournalCommands {
  public:
    struct TParts {
        QWidget& Window;
        TLiveSession& Session;
        TSourceController& Source;
        TReviewTools& Tools;
        TFileCommands& Files;
    };
    TJournalCommands(TParts AParts, QString AIniFileName, const std::function<void(TSessionsDialog&)>& ARunDialog);

    std::function<void(const std::exception& Failure)> FailureSeen;

    void Sessions();
    void WriteReport();
    // Shows the whole run of a kept session in the chart, ending any live
    // logging or replay first.
    void OpenSession(std::int64_t Session);

  private:
    // The journal with everything posted to it written; raises when the
    // settings switch it off.
    TJournalWriter& RequireJournal() const;

    TParts Parts;
    QString SettingsFile;
    const std::function<void(TSessionsDialog&)>& RunDialog;
};
