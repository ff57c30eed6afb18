// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GraphFileUnit.h"
#include "PackMonCommsThreadUnit.h"
#include "PackMonFileNamesUnit.h"
#include "ReadingConsumerUnit.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMainWindow>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TPackMonMainForm;
}

class QAction;
class QLabel;
class QProgressBar;
class QStatusBar;
class QTableWidget;
class QTabWidget;
class TChartCanvas;
class TKWBMRU;
class TBalanceMonitor;
class TReadingView;
class TRecentFilesMenu;
class TStatusBarGraphAdapter;
class TMemoPane;
class TPackMonChart;
class TJournalWriter;
class TObserverGate;
class TReviewTools;
class TSessionRecorder;
class TSessionKeeping;
class TSessionsDialog;
class SerialCommClass;
class TSerialPortReader;
class TLiveLink;
class TStaleReadings;
class QTimer;

// The main window. It owns the port, the comms thread and the panes, and
// wires menus and dialogs to the operations below; every handler runs
// through one guard that sends its failure to the Errors pane. Readings go
// through the reading consumer; the reading view shows what it reports.
class TPackMonMainForm : public QMainWindow, public TPackMonCommsReceiver {
    Q_OBJECT

  public:
    explicit TPackMonMainForm(TPackMonFileLocations Locations, QWidget* Parent = nullptr);
    ~TPackMonMainForm() override;
    TReviewTools& ReviewTools() const { return *Review; }

    // What the comms thread needs.
    TSerialPortReader* SerialPort() override;
    QObject* CommsMemo() override;
    QObject* ErrorsMemo() override;
    void LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError) override;
    void HandleReading(const TReadingRecord& Reading) override;
    void Beep() override;

    void ApplicationEvents1Exception(QObject* Sender, const std::exception& E);

    // Comms captures and the errors file.
    void LoadCommsFile(const QString& FileName);
    void SaveCommsFile(const QString& FileName);
    // The capture through the reading consumer in one pass, unpaced, into
    // the chart; a live connection goes on, its readings kept in the
    // journal but not shown until Graphs > Clear.
    void ReviewCommsFile(const QString& FileName);
    void SaveErrorsFile(const QString& FileName);

    // Graph files.
    void SaveGraphsFile(const QString& FileName);
    void LoadGraphsFile(const QString& FileName);

    QString IniFileName() const { return Locations.IniFileName; }
    const TPackMonFileLocations& FileLocations() const { return Locations; }
    const TPackMonCommsThread* CommsThreadObject() const;
    const SerialCommClass* SerialPortObjectForTests() const;
    const TLiveLink& LiveLink() const { return *Link; }
    // Notices a lost line, reopens a device that is back and marks old
    // readings; run every TLiveLink::TickMilliseconds.
    void LinkTick();
    TPackMonChart* Chart1 = nullptr;
    const TReadingConsumer& Readings() const { return *Consumer; }
    TBalanceMonitor& Balance() const { return *BalanceMonitor; }
    bool IsBulkInProgress() const { return Consumer->Bulk().InProgress; }
    // The value grid's text for a column as the readings left it; the grid
    // shows it at its next refresh.
    std::string GridCellText(int Column) const { return Consumer->LatestText(Column); }

    // Readings into the chart, the grid and the progress bar.
    void SetBulkInProgress(bool Value);

    // The chart.
    void SetUpChart();
    void Chart1BeforeDrawSeries(TChartCanvas& Canvas);
    void Chart1MouseMove(QObject* Sender, int X, int Y);

    // Shows a file dialog and returns the chosen name, or nothing when the
    // user cancels. Replaceable so that tests need no user.
    std::function<std::optional<QString>(QFileDialog&)> ExecuteFileDialog;
    // Shows the colour dialog opened on Initial; the chosen colour
    // (0x00BBGGRR) or nothing when cancelled. Replaceable for tests.
    std::function<std::optional<std::uint32_t>(std::uint32_t Initial)> ExecuteColorDialog;

    // The value grid.
    void StringGrid1DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect);
    void StringGrid1MouseMove(int X, int Y);
    void StringGrid1MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, Qt::MouseButtons Held, int X, int Y);

    // The session journal; null when switched off in the settings file.
    TJournalWriter* Journal() const;
    // Starts live logging on the port, as its COMPort item does; raises
    // the port's failure.
    void ConnectToPort(std::uint8_t PortNumber);
    // "PackMon --port COM3": logs from the start, for a bench left running.
    // A name that is no COM number, or a port that does not open, is said
    // in the Errors pane.
    void ConnectAtStart(const QString& PortName);
    void SessionsActionExecute();
    // The HTML report of the session being recorded, else of the newest kept.
    void ReportActionExecute();
    // Shows the whole run of a journal session in the chart, ending any
    // live logging or replay first.
    void OpenJournalSession(std::int64_t Session);
    // Runs the sessions dialog; replaceable so that tests need no user.
    std::function<void(TSessionsDialog&)> ExecuteSessionsDialog;

    // The About box.
    QString AboutText() const;
    void HelpAboutActionExecute();

    // Menu and action handlers.
    void CommsClearActionExecute();
    void CommsOpenActionExecute();
    void CommsSaveActionExecute();
    void CommsReviewActionExecute();
    void GraphsClearActionExecute();
    void GraphsOpenActionExecute();
    void GraphsSaveActionExecute();
    void GraphsExportActionExecute();
    void COMPortClick();
    void Comms1Click();
    void Graphs1Click();
    void CommsMRUMenuItemClick(QAction* Sender);
    void GraphsMRUMenuItemClick(QAction* Sender);
    TKWBMRU* CommsMRU() const;
    TKWBMRU* GraphsMRU() const;
    void COMPortItemClick(QAction* Sender);

  protected:
    void closeEvent(QCloseEvent* Event) override;

  private:
    void FormCreate();
    void FormCloseQuery(bool& CanClose);
    void FormDestroy();

    void SetUpComponents();
    void SetUpGrid();
    void CreateRecentFileLists();
    void SetUpChartComponent();
    void SetUpReviewTools();
    void StartJournal();
    void ReportJournalLine(const std::string& Line);
    // An Errors-pane line kept in the journal as Kind.
    void LogErrorsLine(const std::string& Line, const char* Kind, bool Beeps);
    void ShowStaleness();
    void ReviewProgress(bool Running, double Done);
    void ReportReviewFailures(const std::vector<std::string>& Failures);
    void EndReview();
    void KeepReadings(bool Value);
    TJournalWriter& RequireJournal() const;
    // Stops the comms thread and ends its session: "disconnected" when the
    // port had failed, else "closed".
    void StopComms();

    void ConnectHandler(QAction* Action, void (TPackMonMainForm::*Handler)());
    template <typename Work> void RunFileAction(QFileDialog& Dialog, bool Save, Work&& Operation);

    template <typename Work> void Guarded(Work&& Step);
    void ReportFailure(const std::exception& Failure);

    std::unique_ptr<Ui::TPackMonMainForm> Ui;
    std::unique_ptr<TReadingConsumer> Consumer;
    std::unique_ptr<TReadingView> View;
    std::unique_ptr<TReviewTools> Review;
    std::unique_ptr<TBalanceMonitor> BalanceMonitor;
    std::unique_ptr<TStatusBarGraphAdapter> StatusBarGraph;
    TPackMonFileLocations Locations;
    QObject* ActionList1 = nullptr;

    QFileDialog CommsOpenDialog;
    QFileDialog CommsSaveDialog;
    QFileDialog GraphsOpenDialog;
    QFileDialog GraphsSaveDialog;
    QFileDialog ExportSaveDialog;
    QFileDialog SessionExportDialog;
    QFileDialog ReportSaveDialog;

    QColorDialog* ColorDialog1 = nullptr;
    QLabel* StatusLine = nullptr;
    std::unique_ptr<TLiveLink> Link;
    std::unique_ptr<TStaleReadings> Stale;
    QTimer* LinkTimer = nullptr;
    QString StatusText; // the last line logged, shown again once readings are fresh
    // A replay's thread; a live link keeps its own.
    std::unique_ptr<TPackMonCommsThread> CommsThread;
    std::unique_ptr<TRecentFilesMenu> CommsRecent;
    std::unique_ptr<TRecentFilesMenu> GraphsRecent;
    std::unique_ptr<TSessionKeeping> Keeping;
    std::unique_ptr<TObserverGate> RecorderGate;
    bool Reviewing = false;
    bool InReviewPass = false;
    TSessionRecorder* Recorder = nullptr;
    bool Destroyed = false;
    // The kind the journal keeps an Errors-pane line as.
    const char* ErrorsLineKind = "error";
};
