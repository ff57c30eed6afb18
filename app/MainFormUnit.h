// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileCommandsUnit.h"
#include "PackMonConstantsAndTypesUnit.h"
#include "PackMonFileNamesUnit.h"

#include <QMainWindow>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TPackMonMainForm;
}

class QAction;
class QColorDialog;
class QLabel;
class QPainter;
class TBalanceMonitor;
class TChartCanvas;
class TErrorsLog;
class TFileCommands;
class TJournalCommands;
class TJournalWriter;
class TKWBMRU;
class TLiveSession;
class TPackMonChart;
class TPackMonCommsThread;
class TReadingConsumer;
class TReadingView;
class TRecentFiles;
class TReviewTools;
class TSerialPortReader;
class TSessionsDialog;
class TSourceController;
class TStatusBarGraphAdapter;
class SerialCommClass;
class TLiveLink;

// The main window: it builds its widgets and the controllers that own the
// behaviour (the live session and its source, the Errors log, the file and
// journal commands, the recent-file menus), connects them, and closes them
// in order. Every handler runs through one guard that sends its failure to
// the Errors pane. The handlers keep the window's documented names.
class TPackMonMainForm : public QMainWindow {
    Q_OBJECT

  public:
    explicit TPackMonMainForm(TPackMonFileLocations Locations, QWidget* Parent = nullptr);
    ~TPackMonMainForm() override;

    // What the live session shows; tests look in between.
    virtual void LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError);
    virtual void HandleReading(const TReadingRecord& Reading);
    virtual void Beep();
    void ApplicationEvents1Exception(QObject* Sender, const std::exception& E);

    // Shows a file dialog and returns the chosen name, or nothing when the
    // user cancels. Replaceable so that tests need no user.
    TFileDialogRunner ExecuteFileDialog;
    // Shows the colour dialog opened on Initial; the chosen colour
    // (0x00BBGGRR) or nothing when cancelled. Replaceable for tests.
    std::function<std::optional<std::uint32_t>(std::uint32_t Initial)> ExecuteColorDialog;
    // Runs the sessions dialog; replaceable so that tests need no user.
    std::function<void(TSessionsDialog&)> ExecuteSessionsDialog;

    TPackMonChart* Chart1 = nullptr;
    QString IniFileName() const { return Locations.IniFileName; }
    const TPackMonFileLocations& FileLocations() const { return Locations; }
    TReviewTools& ReviewTools() const { return *Review; }
    TBalanceMonitor& Balance() const { return *BalanceMonitor; }
    TLiveSession& Session() const { return *LiveRun; }
    // The readings the chart shows: the live run's, or a review's.
    const TReadingConsumer& Readings() const;
    bool IsBulkInProgress() const;
    std::string GridCellText(int Column) const;
    TKWBMRU* CommsMRU() const;
    TKWBMRU* GraphsMRU() const;
    QString AboutText() const;

    // Commands, by their documented names.
    void LoadCommsFile(const QString& FileName);
    void SaveCommsFile(const QString& FileName);
    void ReviewCommsFile(const QString& FileName);
    void SaveErrorsFile(const QString& FileName);
    void SaveGraphsFile(const QString& FileName);
    void LoadGraphsFile(const QString& FileName);
    void ConnectToPort(std::uint8_t PortNumber);
    // "PackMon --port COM3": logs from the start, for a bench left running.
    // A port that does not open is said in the Errors pane.
    void ConnectAtStart(const QString& PortName);
    void OpenJournalSession(std::int64_t Session);
    // "PackMon --page Balance": the page of that title is shown, for a
    // bench screen; another title is said in the Errors pane.
    void ShowPage(const QString& Title);
    void SessionsActionExecute();
    void ReportActionExecute();
    void HelpAboutActionExecute();
    void CommsClearActionExecute();
    void CommsOpenActionExecute();
    void CommsSaveActionExecute();
    void CommsReviewActionExecute();
    void GraphsClearActionExecute();
    void GraphsOpenActionExecute();
    void GraphsSaveActionExecute();
    void GraphsExportActionExecute();
    void COMPortClick();
    void COMPortItemClick(QAction* Sender);
    void Comms1Click();
    void Graphs1Click();
    void Chart1BeforeDrawSeries(TChartCanvas& Canvas);
    void Chart1MouseMove(QObject* Sender, int X, int Y);
    void StringGrid1DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect);
    void StringGrid1MouseMove(int X, int Y);
    void StringGrid1MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, Qt::MouseButtons Held, int X, int Y);

  protected:
    void closeEvent(QCloseEvent* Event) override;

  private:
    void SetUpMenus();
    void SetUpChart();
    void SetUpSession();
    void SetUpControllers();
    void SetUpReviewTools();
    void FormCreate();
    void FormDestroy();
    void COMPortItemClickOnCom0();
    template <typename Work> void Guarded(Work&& Step);
    void ReportFailure(const std::exception& Failure);

    std::unique_ptr<Ui::TPackMonMainForm> Ui;
    TPackMonFileLocations Locations;
    QColorDialog* ColorDialog1 = nullptr;
    std::unique_ptr<TStatusBarGraphAdapter> StatusBarGraph;
    std::unique_ptr<TErrorsLog> Errors;
    std::unique_ptr<TReadingView> ReadingView;
    std::unique_ptr<TLiveSession> LiveRun;
    std::unique_ptr<TBalanceMonitor> BalanceMonitor;
    std::unique_ptr<TReviewTools> Review;
    std::unique_ptr<TSourceController> Source;
    std::unique_ptr<TFileCommands> Files;
    std::unique_ptr<TJournalCommands> JournalCommands;
    std::unique_ptr<TRecentFiles> Recent;
};
