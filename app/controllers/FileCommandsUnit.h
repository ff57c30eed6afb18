// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QString>
#include <functional>
#include <optional>

class QWidget;
class TGraphStatusBar;
class TMemoPane;
class TPackMonChart;
class TRecentFiles;
class TSourceController;

using TFileDialogRunner = std::function<std::optional<QString>(QFileDialog&)>;

// The window's file dialogs with their filters, and what their commands do
// with captures, graph files and CSV exports. Each command runs its dialog
// and, only when it is confirmed, its work under the busy cursor; a save
// takes the dialog's default extension.
class TFileCommands {
  public:
    struct TParts {
        TPackMonChart& Chart;
        TGraphStatusBar& StatusBar;
        TMemoPane& CommsPane;
        TMemoPane& ErrorsPane;
        TSourceController& Source;
    };
    // Run shows a dialog and gives the chosen name; the window's member, so
    // that tests can answer for the user.
    TFileCommands(QWidget& Window, TParts AParts, const TFileDialogRunner& ARun);

    std::function<void(const QString& FileName)> GraphsOpened;

    void CommsOpen();
    void CommsSave();
    void CommsReview();
    void GraphsOpen();
    void GraphsSave();
    void GraphsExport();
    // A file name for a session's CSV or a report, nothing when cancelled.
    std::optional<QString> ChooseSessionExport();
    std::optional<QString> ChooseReport();

    void WriteCapture(const QString& FileName);
    void WriteErrors(const QString& FileName);
    void WriteGraphs(const QString& FileName);
    void ReadGraphs(const QString& FileName);

  private:
    void RunCommand(QFileDialog& Dialog, bool Save, const std::function<void(const QString&)>& Work);
    std::optional<QString> ChooseSave(QFileDialog& Dialog);

    QWidget& Window;
    TParts Parts;
    const TFileDialogRunner& RunDialog;
    QFileDialog CommsOpenDialog, CommsSaveDialog, GraphsOpenDialog, GraphsSaveDialog, ExportSaveDialog,
        SessionExportDialog, ReportSaveDialog;
};
