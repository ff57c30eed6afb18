// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "JournalCommandsUnit.h"

#include "BusyCursorUnit.h"
#include "FileCommandsUnit.h"
#include "FileStreamUnit.h"
#include "JournalSchemaUnit.h"
#include "LiveSessionUnit.h"
#include "ReviewToolsUnit.h"
#include "RunReportFileUnit.h"
#include "SessionsDialogUnit.h"
#include "SessionsUnit.h"
#include "SourceControllerUnit.h"

TJournalCommands::TJournalCommands(TParts AParts, QString AIniFileName,
                                   const std::function<void(TSessionsDialog&)>& ARunDialog)
    : Parts(AParts), SettingsFile(std::move(AIniFileName)), RunDialog(ARunDialog) {}

TJournalWriter& TJournalCommands::RequireJournal() const {
    TJournalWriter* Journal = Parts.Session.Journal();
    if (Journal == nullptr)
        throw EPackMonException("The session journal is switched off ([Journal] Enabled=0 in " +
                                DisplayPath(SettingsFile) + ")");
    Journal->Flush();
    return *Journal;
}

void TJournalCommands::Sessions() {
    TJournalWriter& Kept = RequireJournal();
    TSessionsDialog Dialog(Kept.FileName(), Kept.RecordingSession(), &Parts.Window);
    Dialog.ReportFailure = FailureSeen;
    Dialog.OpenSession = [this, &Dialog](std::int64_t Session) {
        OpenSession(Session);
        Dialog.accept();
    };
    Dialog.ChooseExportFile = [this](std::int64_t) { return Parts.Files.ChooseSessionExport(); };
    RunDialog(Dialog);
}

void TJournalCommands::WriteReport() {
    TJournalWriter& Kept = RequireJournal();
    const std::optional<QString> Chosen = Parts.Files.ChooseReport();
    if (!Chosen)
        return;
    TBusyCursor Busy;
    WriteSessionReport(Kept.FileName(), Kept.RecordingSession(), SettingsFile, *Chosen, false);
}

void TJournalCommands::OpenSession(std::int64_t Session) {
    TBusyCursor Busy;
    Parts.Source.EndSource();
    TSqliteDatabase Db(RequireJournal().FileName(), false, JournalReaderBusyMs);
    std::vector<TSessionReading> Readings = LoadSessionReadings(Db, Session);
    Parts.Source.ShowKept([&](TReadingConsumer& Consumer) { ShowSessionReadings(Consumer, Readings); });
    TSessionView Kept = SessionViewOf(Db, Session, Readings);
    std::vector<TReviewTools::TNote> Notes;
    for (TSessionNote& Note : Kept.Notes)
        Notes.push_back({Note.RunTime, std::move(Note.Text)});
    Parts.Tools.ShowKeptRun(Kept.ClockStart, std::move(Notes));
}
