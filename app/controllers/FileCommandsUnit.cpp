// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileCommandsUnit.h"

#include "BusyCursorUnit.h"
#include "ChartUnit.h"
#include "CsvExportUnit.h"
#include "FileDialogUnit.h"
#include "FileStreamUnit.h"
#include "GraphFileUnit.h"
#include "MemoPaneUnit.h"
#include "PackMonFileNamesUnit.h"
#include "SourceControllerUnit.h"
#include "WindowGraphHostUnit.h"

TFileCommands::TFileCommands(QWidget& AWindow, TParts AParts, const TFileDialogRunner& ARun)
    : Window(AWindow), Parts(AParts), RunDialog(ARun), CommsOpenDialog(&AWindow), CommsSaveDialog(&AWindow),
      GraphsOpenDialog(&AWindow), GraphsSaveDialog(&AWindow), ExportSaveDialog(&AWindow), SessionExportDialog(&AWindow),
      ReportSaveDialog(&AWindow) {
    const QString Comms = QStringLiteral("PackMon Comms Files|*.PackMonComms");
    const QString Csv = QStringLiteral("Comma Separated Values (*.CSV)|*.CSV");
    SetUpFileDialog(CommsOpenDialog, "CommsOpenDialog", false, Comms, CommsFileExtension);
    SetUpFileDialog(CommsSaveDialog, "CommsSaveDialog", true, Comms, CommsFileExtension);
    SetUpFileDialog(GraphsOpenDialog, "GraphsOpenDialog", false, QStringLiteral("PackMon Graph Files|*.PackMonGraphs"),
                    GraphsFileExtension);
    SetUpFileDialog(GraphsSaveDialog, "GraphsSaveDialog", true, QStringLiteral("Pack Mon Graph Files|*.PackMonGraphs"),
                    GraphsFileExtension);
    SetUpFileDialog(ExportSaveDialog, "ExportSaveDialog", true, Csv, QStringLiteral(".CSV"));
    SetUpFileDialog(SessionExportDialog, "SessionExportDialog", true, Csv, QStringLiteral(".CSV"));
    SetUpFileDialog(ReportSaveDialog, "ReportSaveDialog", true, QStringLiteral("HTML report (*.html)|*.html"),
                    QStringLiteral(".html"));
}

void TFileCommands::RunCommand(QFileDialog& Dialog, bool Save, const std::function<void(const QString&)>& Work) {
    const std::optional<QString> FileName = Save ? ChooseSave(Dialog) : RunDialog(Dialog);
    if (!FileName)
        return;
    TBusyCursor Busy;
    Work(*FileName);
}

std::optional<QString> TFileCommands::ChooseSave(QFileDialog& Dialog) {
    std::optional<QString> FileName = RunDialog(Dialog);
    if (FileName)
        FileName = SaveFileName(*FileName, QLatin1Char('.') + Dialog.defaultSuffix());
    return FileName;
}

void TFileCommands::CommsOpen() {
    RunCommand(CommsOpenDialog, false, [this](const QString& Name) { Parts.Source.ReplayCapture(Name); });
}

void TFileCommands::CommsSave() {
    RunCommand(CommsSaveDialog, true, [this](const QString& Name) { WriteCapture(Name); });
}

void TFileCommands::CommsReview() {
    RunCommand(CommsOpenDialog, false, [this](const QString& Name) { Parts.Source.ReviewCapture(Name); });
}

void TFileCommands::GraphsOpen() {
    RunCommand(GraphsOpenDialog, false, [this](const QString& Name) { ReadGraphs(Name); });
}

void TFileCommands::GraphsSave() {
    RunCommand(GraphsSaveDialog, true, [this](const QString& Name) { WriteGraphs(Name); });
}

void TFileCommands::GraphsExport() {
    RunCommand(ExportSaveDialog, true, [this](const QString& Name) { ExportChartToCsv(&Parts.Chart.Store(), Name); });
}

std::optional<QString> TFileCommands::ChooseSessionExport() { return ChooseSave(SessionExportDialog); }

std::optional<QString> TFileCommands::ChooseReport() { return ChooseSave(ReportSaveDialog); }

void TFileCommands::WriteCapture(const QString& FileName) { ReplaceFileContents(FileName, Parts.CommsPane.Text()); }

void TFileCommands::WriteErrors(const QString& FileName) { ReplaceFileContents(FileName, Parts.ErrorsPane.Text()); }

void TFileCommands::WriteGraphs(const QString& FileName) {
    const std::string Owner = Window.objectName().toStdString();
    WriteComponentRecord(FileName, false, &Owner, &Parts.Chart.Store());
}

void TFileCommands::ReadGraphs(const QString& FileName) {
    // Readings that arrive afterwards join the file's points, so the file
    // goes into the live run's store.
    Parts.Source.ClearLiveRun();
    TWindowGraphHost Host(Window.objectName().toStdString(), Parts.Chart.Store(), &Parts.StatusBar);
    ReadGraphsFile(FileName, Host);
    if (GraphsOpened)
        GraphsOpened(FileName);
}
