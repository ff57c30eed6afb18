// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SessionsUnit.h"

#include <QDialog>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPushButton;
class QTableWidget;

// File > Sessions: the journal's sessions, newest first, to open into the
// chart, export as CSV or delete. The window supplies what the buttons do
// beyond the journal, so the dialog runs without it in tests.
class TSessionsDialog : public QDialog {
    Q_OBJECT

  public:
    TSessionsDialog(std::string AJournalFile, std::int64_t ARecording, QWidget* Parent);

    // Loads the session into the chart.
    std::function<void(std::int64_t Session)> OpenSession;
    // The CSV file to export to, or nothing when the user cancels.
    std::function<std::optional<QString>(std::int64_t Session)> ChooseExportFile;
    std::function<bool(const QString& Question)> Confirm;
    std::function<void(const std::exception& Failure)> ReportFailure;

    void Refresh();
    QTableWidget& Table() const { return *List; }
    const std::vector<TSessionSummary>& Sessions() const { return Shown; }
    void SelectSession(std::int64_t Session);

    void OpenSelected();
    void ExportSelected();
    void DeleteSelected();

  private:
    std::optional<std::int64_t> Selected() const;
    template <typename Work> void Guarded(Work&& Step);

    std::string JournalFile;
    std::int64_t Recording;
    QTableWidget* List;
    QPushButton* OpenButton;
    QPushButton* ExportButton;
    QPushButton* DeleteButton;
    std::vector<TSessionSummary> Shown;
};

// The columns as the dialog shows a session: local start, duration, source,
// readings, lowest and highest cell in volts, end reason.
std::vector<QString> SessionRowTexts(const TSessionSummary& Session, std::int64_t Recording);
