// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFormUnit.h"

#include "BalanceMonitorUnit.h"
#include "BalancePageUnit.h"
#include "BusyCursorUnit.h"
#include "CaptureReplayUnit.h"
#include "ChartOperationsUnit.h"
#include "CommsCaptureUnit.h"
#include "ComponentNamesUnit.h"
#include "CsvExportUnit.h"
#include "FileDialogUnit.h"
#include "FileStreamUnit.h"
#include "GraphFileAdaptersUnit.h"
#include "JournalSchemaUnit.h"
#include "JournalSettingsUnit.h"
#include "KWBMessageDlgUnit.h"
#include "LiveLinkUnit.h"
#include "MRUUnit.h"
#include "MemoPaneUnit.h"
#include "MenuWiringUnit.h"
#include "MiscellaneousRoutinesUnit.h"
#include "NumberFormatUnit.h"
#include "ObserverGateUnit.h"
#include "PackMonApplicationUnit.h"
#include "PortDiscoveryUnit.h"
#include "ReadingViewUnit.h"
#include "RecentFilesMenuUnit.h"
#include "ReviewToolsUnit.h"
#include "RunReportFileUnit.h"
#include "SerialCommUnit.h"
#include "SessionKeepingUnit.h"
#include "SessionsDialogUnit.h"
#include "SettingsKeysUnit.h"
#include "StaleReadingsUnit.h"
#include "ValueGridUnit.h"
#include "VersionInfoUnit.h"
#include "WindowGraphHostUnit.h"
#include "ui_MainFormUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

double LocalNowAsDateTime() { return SystemClock().LocalNow(); }

// Set for as long as it lives, however the scope is left.
class TRestoredFlag {
  public:
    explicit TRestoredFlag(bool& AFlag) : Flag(AFlag) { Flag = true; }
    ~TRestoredFlag() { Flag = false; }
    TRestoredFlag(const TRestoredFlag&) = delete;
    TRestoredFlag& operator=(const TRestoredFlag&) = delete;

  private:
    bool& Flag;
};

} // namespace

TPackMonMainForm::TPackMonMainForm(TPackMonFileLocations ALocations, QWidget* Parent)
    : QMainWindow(Parent), ExecuteFileDialog(ExecuteFileDialogModally), Ui(std::make_unique<Ui::TPackMonMainForm>()),
      Locations(std::move(ALocations)), CommsOpenDialog(this), CommsSaveDialog(this), GraphsOpenDialog(this),
      GraphsSaveDialog(this), ExportSaveDialog(this), SessionExportDialog(this), ReportSaveDialog(this) {
    ExecuteSessionsDialog = [](TSessionsDialog& Dialog) { Dialog.exec(); };
    Ui->setupUi(this);
    SetUpComponents();
    SetUpChartComponent();
    if (auto* App = TPackMonApplication::Instance())
        App->SetExceptionHook([this](const std::exception& E) { ApplicationEvents1Exception(this, E); });
    Guarded([this] { FormCreate(); });
}

TPackMonMainForm::~TPackMonMainForm() {
    FormDestroy();
    if (auto* App = TPackMonApplication::Instance())
        App->SetExceptionHook({});
}

// --- Components --------------------------------------------------------------

void TPackMonMainForm::SetUpComponents() {
    const QFont FixedPitch = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    Ui->CommsMemo->setFont(FixedPitch);

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ExecuteColorDialog = ColorDialogChooser(*ColorDialog1);

    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    const std::pair<QAction*, QAction*> Links[] = {
        {Ui->sClear1, Ui->CommsClearAction},
        {Ui->Load1, Ui->CommsOpenAction},
        {Ui->Review1, Ui->CommsReviewAction},
        {Ui->Save1, Ui->CommsSaveAction},
        {Ui->GraphsClearAction1, Ui->GraphsClearAction},
        {Ui->GraphsOpenAction1, Ui->GraphsOpenAction},
        {Ui->GraphsSaveAction1, Ui->GraphsSaveAction},
        {Ui->Export1, Ui->GraphsExportAction},
        {Ui->About1, Ui->HelpAboutAction},
    };
    for (const auto& [Item, Action] : Links)
        LinkMenuItem(*Item, *Action, *ActionList1, *this);
    NameSeparators(*Ui->Comms1, {QStringLiteral("N1"), QStringLiteral("N2")});
    NameSeparators(*Ui->Graphs1, {QStringLiteral("N3")});

    ConnectHandler(Ui->CommsClearAction, &TPackMonMainForm::CommsClearActionExecute);
    ConnectHandler(Ui->CommsOpenAction, &TPackMonMainForm::CommsOpenActionExecute);
    ConnectHandler(Ui->CommsSaveAction, &TPackMonMainForm::CommsSaveActionExecute);
    ConnectHandler(Ui->CommsReviewAction, &TPackMonMainForm::CommsReviewActionExecute);
    ConnectHandler(Ui->GraphsClearAction, &TPackMonMainForm::GraphsClearActionExecute);
    ConnectHandler(Ui->GraphsOpenAction, &TPackMonMainForm::GraphsOpenActionExecute);
    ConnectHandler(Ui->GraphsSaveAction, &TPackMonMainForm::GraphsSaveActionExecute);
    ConnectHandler(Ui->GraphsExportAction, &TPackMonMainForm::GraphsExportActionExecute);
    ConnectHandler(Ui->HelpAboutAction, &TPackMonMainForm::HelpAboutActionExecute);
    Ui->COM01->setData(0);
    connect(Ui->COM01, &QAction::triggered, this, [this] { Guarded([this] { COMPortItemClick(Ui->COM01); }); });
    connect(Ui->Comms1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Comms1Click(); }); });
    connect(Ui->Graphs1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Graphs1Click(); }); });
    // The list of ports is made anew each time the submenu opens.
    connect(Ui->COMPort, &QMenu::aboutToShow, this, [this] { Guarded([this] { COMPortClick(); }); });

    const QString Comms = QStringLiteral("PackMon Comms Files|*.PackMonComms");
    SetUpFileDialog(CommsOpenDialog, "CommsOpenDialog", false, Comms, CommsFileExtension);
    SetUpFileDialog(CommsSaveDialog, "CommsSaveDialog", true, Comms, CommsFileExtension);
    SetUpFileDialog(GraphsOpenDialog, "GraphsOpenDialog", false, QStringLiteral("PackMon Graph Files|*.PackMonGraphs"),
                    GraphsFileExtension);
    SetUpFileDialog(GraphsSaveDialog, "GraphsSaveDialog", true, QStringLiteral("Pack Mon Graph Files|*.PackMonGraphs"),
                    GraphsFileExtension);
    SetUpFileDialog(ExportSaveDialog, "ExportSaveDialog", true, QStringLiteral("Comma Separated Values (*.CSV)|*.CSV"),
                    QStringLiteral(".CSV"));
    SetUpFileDialog(SessionExportDialog, "SessionExportDialog", true,
                    QStringLiteral("Comma Separated Values (*.CSV)|*.CSV"), QStringLiteral(".CSV"));
    SetUpFileDialog(ReportSaveDialog, "ReportSaveDialog", true, QStringLiteral("HTML report (*.html)|*.html"),
                    QStringLiteral(".html"));
    ConnectHandler(Ui->SessionsAction, &TPackMonMainForm::SessionsActionExecute);
    ConnectHandler(Ui->ReportAction, &TPackMonMainForm::ReportActionExecute);
}

void TPackMonMainForm::SetUpChartComponent() {
    Chart1 = new TPackMonChart(Ui->ChartPanel);
    Chart1->setObjectName(QString::fromLatin1(ChartComponentName));
    Ui->ChartLayout->addWidget(Chart1);
    Chart1->SetAxisTitle(TChartAxis::Left, QStringLiteral("CellVolts"));
    Chart1->SetAxisTitle(TChartAxis::Right, QStringLiteral("BatteryVolts"));
    Chart1->AddTitleLine(QStringLiteral("TChart"));
    Chart1->OnBeforeDrawSeries = [this](TChartCanvas& Canvas) { Chart1BeforeDrawSeries(Canvas); };
    Consumer = std::make_unique<TReadingConsumer>(Chart1->Store());
    View = std::make_unique<TReadingView>(*Chart1, *Ui->StringGrid1, *Ui->ProgressBar1);
    Consumer->AddObserver(*View);
    BalanceMonitor = std::make_unique<TBalanceMonitor>(*Consumer, *Ui->PageControl1, *Ui->StatusBar1);
    BalanceMonitor->Log = [this](const std::string& Line, bool Raised) {
        // Kept and published as an alarm, not as an error.
        LogErrorsLine(Line, "alarm", Raised);
        Ui->StringGrid1->viewport()->update();
    };
    Stale = std::make_unique<TStaleReadings>();
    Consumer->AddObserver(*Stale);
    Link = std::make_unique<TLiveLink>(
        *this, [this](const std::string& Line, const char* Kind, bool Beeps) { LogErrorsLine(Line, Kind, Beeps); });
    LinkTimer = new QTimer(this);
    LinkTimer->setInterval(TLiveLink::TickMilliseconds);
    connect(LinkTimer, &QTimer::timeout, this, [this] { Guarded([this] { LinkTick(); }); });
    LinkTimer->start();
    connect(&BalanceMonitor->Page().AlarmsButton(), &QPushButton::clicked, this,
            [this] { Guarded([this] { BalanceMonitor->EditLimits(IniFileName()); }); });
    SetUpGrid();
    // A widget of its own, not a temporary message: hovering a menu item
    // would otherwise wipe the last line logged, often an error.
    StatusLine = new QLabel(Ui->StatusBar1);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    Ui->StatusBar1->addWidget(StatusLine, 1);
    StatusBarGraph = std::make_unique<TStatusBarGraphAdapter>(*Ui->StatusBar1, *StatusLine);
    connect(Chart1, &QCustomPlot::mouseMove, this, [this](QMouseEvent* Event) {
        const QPoint At = Event->position().toPoint();
        Guarded([&] { Chart1MouseMove(Chart1, At.x(), At.y()); });
        Guarded([&] { Review->PointerAt(At); });
    });
    SetUpReviewTools();
}

void TPackMonMainForm::SetUpReviewTools() {
    Review = std::make_unique<TReviewTools>(*Chart1, *Ui->StringGrid1, BalanceMonitor->Page(), *Ui->PageControl1,
                                            *Ui->StatusBar1, *Consumer, [] { return LocalNowAsDateTime(); });
    Review->AskNoteText = [this]() -> std::optional<std::string> {
        bool Confirmed = false;
        const QString Text =
            QInputDialog::getText(this, QStringLiteral("Add Note"), QStringLiteral("Note at the newest reading:"),
                                  QLineEdit::Normal, QString(), &Confirmed);
        return Confirmed ? std::optional<std::string>(Text.toStdString()) : std::nullopt;
    };
    Review->OnNote = [this](const std::string& Text) {
        if (Recorder)
            Recorder->Note("note", Text);
    };
    const auto Move = [this](void (TChartView::*Step)()) {
        return [this, Step] {
            (Chart1->View().*Step)();
            Chart1->ViewChanged();
        };
    };
    connect(Ui->ViewWholeRunAction, &QAction::triggered, this, Move(&TChartView::Home));
    connect(Ui->ViewFollowNewestAction, &QAction::triggered, this, Move(&TChartView::End));
    connect(Ui->ViewTimeOfDayAction, &QAction::toggled, this, [this](bool On) { Review->SetShowTimeOfDay(On); });
    connect(Ui->AddNoteAction, &QAction::triggered, this, [this] { Guarded([this] { Review->AddNote(); }); });
}

void TPackMonMainForm::SetUpGrid() {
    TValueGrid& Grid = *Ui->StringGrid1;
    Grid.SetUp(*Chart1, *Consumer);
    Grid.ChooseColor = [this](TColor Initial) { return ExecuteColorDialog(Initial); };
    Grid.LogError = [this](const std::string& Line) { LogLine(Ui->ErrorsMemo, Line, LocalNowAsDateTime(), true); };
    Grid.ReportFailure = [this](const std::exception& Failure) { ReportFailure(Failure); };
    Grid.IsMarked = [this](int Column) {
        const TAlarmMonitor& Alarms = BalanceMonitor->Alarms();
        return Column == 1 ? Alarms.SumInAlarm() : Alarms.CellInAlarm(Column - 2);
    };
}

void TPackMonMainForm::ConnectHandler(QAction* Action, void (TPackMonMainForm::*Handler)()) {
    connect(Action, &QAction::triggered, this, [this, Handler] { Guarded([this, Handler] { (this->*Handler)(); }); });
}

// --- Failures ----------------------------------------------------------------

template <typename Work> void TPackMonMainForm::Guarded(Work&& Step) {
    try {
        Step();
    } catch (const std::exception& Failure) {
        ReportFailure(Failure);
    } catch (...) {
        ReportFailure(EPackMonException("Unknown exception"));
    }
}

void TPackMonMainForm::ReportFailure(const std::exception& Failure) {
    // While closing, the Errors pane may be one of the files that cannot be
    // written: say it where someone can still see it.
    if (Destroyed)
        std::fprintf(stderr, "PackMon: %s\n", FailureMessage(Failure).c_str());
    try {
        ApplicationEvents1Exception(this, Failure);
    } catch (...) {
        qWarning("PackMon: %s", Failure.what());
    }
}

void TPackMonMainForm::ApplicationEvents1Exception(QObject*, const std::exception& E) {
    LogLine(Ui->ErrorsMemo, FailureMessage(E), LocalNowAsDateTime(), true);
}

// --- Logs --------------------------------------------------------------------

QObject* TPackMonMainForm::CommsMemo() { return Ui->CommsMemo; }

QObject* TPackMonMainForm::ErrorsMemo() { return Ui->ErrorsMemo; }

void TPackMonMainForm::LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError) {
    if (auto* Pane = qobject_cast<TMemoPane*>(Memo)) {
        // Stamped with the time the caller gives (the comms thread's clock),
        // in the user's own time separator.
        const std::string Line = Time > 0 ? FormatLogTimeStamp(Time, UserTimeSeparator()) + ' ' + Text : Text;
        Pane->AddLine(Line);
        StatusText = QString::fromUtf8(Line.data(), static_cast<qsizetype>(Line.size()));
        if (!Ui->StringGrid1->Stale())
            StatusLine->setText(StatusText);
    }
    // What a review finds (its alarms, its broken records) is the capture's,
    // not the live session's.
    if (Memo == Ui->ErrorsMemo && Recorder && !InReviewPass)
        Recorder->Note(ErrorsLineKind, Text);
    if (IsError)
        Beep();
}

void TPackMonMainForm::LogErrorsLine(const std::string& Line, const char* Kind, bool Beeps) {
    const char* const Was = std::exchange(ErrorsLineKind, Kind);
    try {
        LogLine(Ui->ErrorsMemo, Line, LocalNowAsDateTime(), Beeps);
    } catch (...) {
        ErrorsLineKind = Was;
        throw;
    }
    ErrorsLineKind = Was;
}

void TPackMonMainForm::Beep() { QApplication::beep(); }

// --- Readings --------------------------------------------------------------------

void TPackMonMainForm::HandleReading(const TReadingRecord& Reading) {
    // While a capture is reviewed the live run is kept, not shown.
    if (Reviewing) {
        if (Recorder)
            Recorder->ReadingConsumed(Reading);
        return;
    }
    Consumer->Consume(Reading);
    // Fresh again with the record itself, not at the next tick.
    if (Ui->StringGrid1->Stale())
        ShowStaleness();
}

void TPackMonMainForm::SetBulkInProgress(bool Value) {
    if (!Reviewing)
        Consumer->SetBulkInProgress(Value);
}

// --- Chart -----------------------------------------------------------------------

void TPackMonMainForm::SetUpChart() {
    BuildSeriesSet(*Chart1);
    std::vector<std::string> Problems;
    LoadSeriesColors(*Chart1, IniFileName(), &Problems);
    for (const std::string& Problem : Problems)
        LogLine(Ui->ErrorsMemo, Problem, LocalNowAsDateTime(), true);
    SyncRightAxisColor(*Chart1);
    ToggleSeriesHighlight(Chart1, 0);
}

void TPackMonMainForm::Chart1BeforeDrawSeries(TChartCanvas& Canvas) {
    if (!IsBulkInProgress())
        return;
    try {
        DrawBulkTransferNotice(Canvas, Chart1->width());
    } catch (...) {
        // An overlay that cannot be drawn is left out; the chart still paints.
    }
}

void TPackMonMainForm::Chart1MouseMove(QObject* Sender, int X, int Y) {
    if (auto* Chart = qobject_cast<TPackMonChart*>(Sender))
        ShowReadout(*Chart, X, Y);
}

void TPackMonMainForm::GraphsClearActionExecute() {
    EndReview();
    Consumer->ClearSeries();
}

// --- Graph files -------------------------------------------------------------------

void TPackMonMainForm::SaveGraphsFile(const QString& FileName) {
    const std::string Owner = objectName().toStdString();
    WriteComponentRecord(FileName, false, &Owner, &Chart1->Store());
}

void TPackMonMainForm::LoadGraphsFile(const QString& FileName) {
    Consumer->ClearSeries();
    TWindowGraphHost Host(objectName().toStdString(), Chart1->Store(), StatusBarGraph.get());
    ReadGraphsFile(FileName, Host);
    GraphsRecent->Remember(FileName);
}

void TPackMonMainForm::GraphsOpenActionExecute() {
    RunFileAction(GraphsOpenDialog, false, &TPackMonMainForm::LoadGraphsFile);
}

void TPackMonMainForm::GraphsExportActionExecute() {
    RunFileAction(ExportSaveDialog, true,
                  [](TPackMonMainForm& Form, const QString& Name) { ExportChartToCsv(&Form.Chart1->Store(), Name); });
}

void TPackMonMainForm::GraphsSaveActionExecute() {
    RunFileAction(GraphsSaveDialog, true, &TPackMonMainForm::SaveGraphsFile);
}

// --- Comms captures ----------------------------------------------------------

void TPackMonMainForm::LoadCommsFile(const QString& FileName) {
    EndReview();
    StopComms();
    Review->SetLive(false);
    Consumer->ClearSeries();
    Ui->CommsMemo->Clear();
    Ui->CommsMemo->SetText(LoadCommsCaptureText(FileName));
    CommsRecent->Remember(FileName);
    Recorder->BeginReplay(DisplayPath(FileName));
    CommsThread = TPackMonCommsThread::Create(Ui->CommsMemo->Text(), this);
}

void TPackMonMainForm::ReviewCommsFile(const QString& FileName) {
    std::string Text = LoadCommsCaptureText(FileName);
    TBusyCursor Busy;
    const bool Live = Link->Active();
    if (!Live) {
        // A replay gives way; the Comms pane shows the capture as it does.
        StopComms();
        Ui->CommsMemo->Clear();
        Ui->CommsMemo->SetText(Text);
    }
    Reviewing = Live;
    if (Live)
        Stale->Forget();
    ShowStaleness();
    Review->SetLive(false);
    // The journal keeps what is logged, never what is looked back at.
    KeepReadings(false);
    const TRestoredFlag Passing(InReviewPass);
    std::vector<std::string> Failures;
    try {
        Consumer->ClearSeries();
        ReviewProgress(true, 0.0);
        ReplayCaptureThrough(std::move(Text), *Consumer, Failures, [this](double Done) { ReviewProgress(true, Done); });
    } catch (...) {
        ReviewProgress(false, 1.0);
        KeepReadings(!Reviewing);
        throw;
    }
    ReviewProgress(false, 1.0);
    KeepReadings(!Reviewing);
    CommsRecent->Remember(FileName);
    ReportReviewFailures(Failures);
    if (Live)
        LogLine(Ui->ErrorsMemo,
                "Reviewing " + DisplayPath(FileName) +
                    ": the live readings are kept in the journal, not shown; Graphs > Clear shows them again",
                LocalNowAsDateTime(), false);
}

void TPackMonMainForm::KeepReadings(bool Value) {
    if (RecorderGate)
        RecorderGate->SetOpen(Value);
}

void TPackMonMainForm::ReviewProgress(bool Running, double Done) {
    Ui->ProgressBar1->setVisible(Running);
    Ui->StringGrid1->setVisible(!Running);
    Ui->ProgressBar1->setRange(0, 1000);
    Ui->ProgressBar1->setValue(static_cast<int>(Done * 1000));
    // The pass holds the main thread; the bar at least is shown moving.
    if (Running)
        Ui->ProgressBar1->repaint();
}

void TPackMonMainForm::ReportReviewFailures(const std::vector<std::string>& Failures) {
    // A capture of many broken records says so in a few lines, not thousands.
    constexpr std::size_t Shown = 10;
    for (std::size_t I = 0; I < std::min(Failures.size(), Shown); ++I)
        LogLine(Ui->ErrorsMemo, Failures[I], LocalNowAsDateTime(), I == 0);
    if (Failures.size() > Shown)
        LogLine(Ui->ErrorsMemo, "... and " + std::to_string(Failures.size() - Shown) + " more records that failed",
                LocalNowAsDateTime(), false);
}

void TPackMonMainForm::EndReview() {
    if (!std::exchange(Reviewing, false))
        return;
    Consumer->ClearSeries();
    Review->SetLive(Link->Active());
    if (Link->Active())
        Stale->Expect();
}

void TPackMonMainForm::CommsReviewActionExecute() {
    RunFileAction(CommsOpenDialog, false, &TPackMonMainForm::ReviewCommsFile);
}

void TPackMonMainForm::SaveCommsFile(const QString& FileName) { ReplaceFileContents(FileName, Ui->CommsMemo->Text()); }

void TPackMonMainForm::SaveErrorsFile(const QString& FileName) {
    ReplaceFileContents(FileName, Ui->ErrorsMemo->Text());
}

// A file command: its dialog, and only when confirmed the work under the
// busy cursor. A save takes the dialog's default extension.
template <typename Work> void TPackMonMainForm::RunFileAction(QFileDialog& Dialog, bool Save, Work&& Operation) {
    std::optional<QString> FileName = ExecuteFileDialog(Dialog);
    if (!FileName)
        return;
    if (Save)
        FileName = SaveFileName(*FileName, QLatin1Char('.') + Dialog.defaultSuffix());
    TBusyCursor Busy;
    std::invoke(Operation, *this, *FileName);
}

void TPackMonMainForm::CommsClearActionExecute() { Ui->CommsMemo->Clear(); }

void TPackMonMainForm::CommsOpenActionExecute() {
    RunFileAction(CommsOpenDialog, false, &TPackMonMainForm::LoadCommsFile);
}

void TPackMonMainForm::CommsSaveActionExecute() {
    RunFileAction(CommsSaveDialog, true, &TPackMonMainForm::SaveCommsFile);
}

TSerialPortReader* TPackMonMainForm::SerialPort() { return Link->Port(); }

const SerialCommClass* TPackMonMainForm::SerialPortObjectForTests() const { return Link->PortObject(); }

const TPackMonCommsThread* TPackMonMainForm::CommsThreadObject() const {
    return Link->Thread() != nullptr ? Link->Thread() : CommsThread.get();
}

void TPackMonMainForm::COMPortClick() {
    TBusyCursor Busy;
    const auto Table = std::make_shared<const TPortTable>(TPortTable::Load(IniFileName()));
    UsePortTable(Table);
    FillPortMenu(*Ui->COMPort, Ui->COM01, ListPorts(*Table, Link->Path()), [this](QAction& Item) {
        connect(&Item, &QAction::triggered, this, [this, At = &Item] { Guarded([&] { COMPortItemClick(At); }); });
    });
}

void TPackMonMainForm::COMPortItemClick(QAction* Sender) {
    // The number names the device the last rebuild of the list found for it.
    ConnectToPort(Sender != nullptr ? static_cast<std::uint8_t>(Sender->data().toInt() & 0xFF) : 0);
}

void TPackMonMainForm::ConnectToPort(std::uint8_t PortNumber) {
    EndReview();
    StopComms();
    if (PortNumber == 0)
        return;
    Link->Start(PortNumber, AutoReconnectEnabled(IniFileName()));
    Review->SetLive(true);
    Consumer->ClearSeries();
    Recorder->BeginLive("COM" + std::to_string(PortNumber), Link->Path());
    Stale->Expect();
}

void TPackMonMainForm::ConnectAtStart(const QString& PortName) {
    Guarded([&] {
        bool Valid = false;
        const int Number = QString(PortName).remove(QStringLiteral("COM"), Qt::CaseInsensitive).toInt(&Valid);
        if (!Valid || Number < 1 || Number > 255)
            throw EPackMonException("No such port: " + PortName.toStdString() + " (COM1 to COM255)");
        UsePortTable(std::make_shared<const TPortTable>(TPortTable::Load(IniFileName())));
        try {
            ConnectToPort(static_cast<std::uint8_t>(Number));
        } catch (const std::exception& Failure) {
            throw EPackMonException(PortName.toStdString() + " cannot be opened: " + FailureMessage(Failure));
        }
    });
}

void TPackMonMainForm::StopComms() {
    if (CommsThread) {
        CommsThread->Terminate();
        CommsThread->WaitFor();
    }
    CommsThread.reset();
    const bool Lost = Link && Link->Stop();
    if (Stale) {
        Stale->Forget();
        ShowStaleness();
    }
    if (Recorder)
        Recorder->End(Lost ? "disconnected" : "closed");
}

void TPackMonMainForm::LinkTick() {
    Link->Tick();
    ShowStaleness();
}

void TPackMonMainForm::ShowStaleness() {
    const std::optional<long> Age = Stale->StaleSeconds();
    TValueGrid& Grid = *Ui->StringGrid1;
    if (Age)
        StatusLine->setText(QString::fromStdString(NoDataText(*Age)));
    else if (Grid.Stale())
        StatusLine->setText(StatusText);
    Grid.SetStale(Age.has_value());
}

// --- Session journal --------------------------------------------------------

void TPackMonMainForm::StartJournal() {
    TSessionKeeping::TPlace Place;
    Place.IniFileName = IniFileName();
    Place.AppVersion = GetFileVersionString(QCoreApplication::applicationFilePath().toStdString());
    // Said on the journal's and the publisher's threads, shown by the window's own.
    Keeping = std::make_unique<TSessionKeeping>(Place, [this](const std::string& Line) {
        QMetaObject::invokeMethod(
            this, [this, Line] { ReportJournalLine(Line); }, Qt::QueuedConnection);
    });
    Recorder = &Keeping->Recorder();
    RecorderGate = std::make_unique<TObserverGate>(*Recorder);
    Consumer->AddObserver(*RecorderGate);
}

TJournalWriter* TPackMonMainForm::Journal() const { return Keeping ? Keeping->Journal() : nullptr; }

void TPackMonMainForm::ReportJournalLine(const std::string& Line) {
    LogLine(Ui->ErrorsMemo, Line, LocalNowAsDateTime(), true);
}

TJournalWriter& TPackMonMainForm::RequireJournal() const {
    if (!Journal())
        throw EPackMonException("The session journal is switched off ([Journal] Enabled=0 in " +
                                DisplayPath(IniFileName()) + ")");
    Journal()->Flush();
    return *Journal();
}

void TPackMonMainForm::SessionsActionExecute() {
    TJournalWriter& Kept = RequireJournal();
    TSessionsDialog Dialog(Kept.FileName(), Kept.RecordingSession(), this);
    Dialog.ReportFailure = [this](const std::exception& Failure) { ReportFailure(Failure); };
    Dialog.OpenSession = [this, &Dialog](std::int64_t Session) {
        OpenJournalSession(Session);
        Dialog.accept();
    };
    Dialog.ChooseExportFile = [this](std::int64_t) -> std::optional<QString> {
        std::optional<QString> FileName = ExecuteFileDialog(SessionExportDialog);
        if (FileName)
            FileName = SaveFileName(*FileName, QLatin1Char('.') + SessionExportDialog.defaultSuffix());
        return FileName;
    };
    ExecuteSessionsDialog(Dialog);
}

void TPackMonMainForm::ReportActionExecute() {
    TJournalWriter& Kept = RequireJournal();
    const std::optional<QString> Chosen = ExecuteFileDialog(ReportSaveDialog);
    if (!Chosen)
        return;
    TBusyCursor Busy;
    WriteSessionReport(Kept.FileName(), Kept.RecordingSession(), IniFileName(),
                       SaveFileName(*Chosen, QStringLiteral(".html")), false);
}

void TPackMonMainForm::OpenJournalSession(std::int64_t Session) {
    TBusyCursor Busy;
    StopComms();
    TSqliteDatabase Db(Journal()->FileName(), false, JournalReaderBusyMs);
    EndReview();
    Review->SetLive(false);
    const std::vector<TSessionReading> Readings = LoadSessionReadings(Db, Session);
    ShowSessionReadings(*Consumer, Readings);
    TSessionView Kept = SessionViewOf(Db, Session, Readings);
    std::vector<TReviewTools::TNote> Notes;
    for (TSessionNote& Note : Kept.Notes)
        Notes.push_back({Note.RunTime, std::move(Note.Text)});
    Review->ShowKeptRun(Kept.ClockStart, std::move(Notes));
}

// --- Value grid ------------------------------------------------------------------

void TPackMonMainForm::StringGrid1DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect) {
    Ui->StringGrid1->DrawCell(Canvas, ACol, ARow, Rect);
}

void TPackMonMainForm::StringGrid1MouseMove(int X, int Y) { Ui->StringGrid1->CellMouseMove(X, Y); }

void TPackMonMainForm::StringGrid1MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, Qt::MouseButtons Held,
                                          int X, int Y) {
    Ui->StringGrid1->CellMouseUp(Button, Shift, Held, X, Y);
}

// --- About box ----------------------------------------------------------------------

QString TPackMonMainForm::AboutText() const {
    const std::string Version = GetFileVersionString(QCoreApplication::applicationFilePath().toStdString());
    return QString::fromStdString("Version " + Version + "\r\r" + MakerWebAddress());
}

void TPackMonMainForm::HelpAboutActionExecute() {
    KWBMessageDlg(AboutText(), QMessageBox::Information, QMessageBox::Ok, this, 0);
}

// --- Recent files ----------------------------------------------------------------

void TPackMonMainForm::CreateRecentFileLists() {
    const std::string Ini = IniFileName().toStdString();
    CommsRecent = std::make_unique<TRecentFilesMenu>(
        *Ui->Comms1, "CommsMRUMenuItem", "Not found :", MakeRecentFileList("CommsMRU", Ini, CommsMRUSection),
        [this](const QString& Name) { LoadCommsFile(Name); });
    GraphsRecent = std::make_unique<TRecentFilesMenu>(*Ui->Graphs1, "GraphsMRUMenuItem", "Not found ",
                                                      MakeRecentFileList("GraphsMRU", Ini, GraphsMRUSection),
                                                      [this](const QString& Name) { LoadGraphsFile(Name); });
    GraphsRecent->UnsavedSaid = CommsRecent->UnsavedSaid;
    for (TRecentFilesMenu* Recent : {CommsRecent.get(), GraphsRecent.get()})
        Recent->Unsaved = [this](const std::string& Line) {
            LogLine(Ui->ErrorsMemo, Line, LocalNowAsDateTime(), true);
        };
    for (QAction* Item : CommsRecent->Items())
        connect(Item, &QAction::triggered, this, [this, Item] { Guarded([&] { CommsMRUMenuItemClick(Item); }); });
    for (QAction* Item : GraphsRecent->Items())
        connect(Item, &QAction::triggered, this, [this, Item] { Guarded([&] { GraphsMRUMenuItemClick(Item); }); });
}

TKWBMRU* TPackMonMainForm::CommsMRU() const { return CommsRecent ? &CommsRecent->List() : nullptr; }

TKWBMRU* TPackMonMainForm::GraphsMRU() const { return GraphsRecent ? &GraphsRecent->List() : nullptr; }

void TPackMonMainForm::Comms1Click() { CommsRecent->Refresh(); }

void TPackMonMainForm::Graphs1Click() { GraphsRecent->Refresh(); }

void TPackMonMainForm::CommsMRUMenuItemClick(QAction* Sender) { CommsRecent->OpenItem(*Sender); }

void TPackMonMainForm::GraphsMRUMenuItemClick(QAction* Sender) { GraphsRecent->OpenItem(*Sender); }

// --- Lifecycle ---------------------------------------------------------------

void TPackMonMainForm::FormCreate() {
    StartJournal();
    Ui->PageControl1->setCurrentIndex(0);
    SetUpChart();
    CreateRecentFileLists();
    BalanceMonitor->LoadLimits(IniFileName());
}

void TPackMonMainForm::FormCloseQuery(bool& CanClose) { CanClose = true; }

void TPackMonMainForm::closeEvent(QCloseEvent* Event) {
    bool CanClose = true;
    Guarded([&] { FormCloseQuery(CanClose); });
    Event->setAccepted(CanClose);
}

// Every step runs even when an earlier one failed, and each failure is in
// the Errors pane before the errors file is written, so an unwritable
// settings file never costs the user the capture of the session.
void TPackMonMainForm::FormDestroy() {
    if (std::exchange(Destroyed, true))
        return;
    Guarded([this] { LinkTimer->stop(); });
    Guarded([this] { StopComms(); });
    Guarded([this] { SaveSeriesColors(*Chart1, IniFileName()); });
    Guarded([this] { CommsRecent.reset(); });
    Guarded([this] { GraphsRecent.reset(); });
    Guarded([this] { SaveCommsFile(Locations.CommsExitFileName); });
    Guarded([this] { SaveGraphsFile(Locations.GraphsExitFileName); });
    Guarded([this] { SaveErrorsFile(Locations.ErrorsExitFileName); });
    // Last, so that it keeps every failure above; what is queued is written.
    Guarded([this] {
        KeepReadings(false);
        Recorder = nullptr;
        Keeping.reset();
    });
}
