// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFormUnit.h"

#include "BalanceMonitorUnit.h"
#include "BalancePageUnit.h"
#include "ChartOperationsUnit.h"
#include "ErrorsLogUnit.h"
#include "FileDialogUnit.h"
#include "GraphFileAdaptersUnit.h"
#include "JournalCommandsUnit.h"
#include "KWBMessageDlgUnit.h"
#include "LiveSessionUnit.h"
#include "MemoPaneUnit.h"
#include "MenuWiringUnit.h"
#include "PackMonApplicationUnit.h"
#include "ReadingViewUnit.h"
#include "RecentFilesUnit.h"
#include "ReviewToolsUnit.h"
#include "SessionsDialogUnit.h"
#include "SourceControllerUnit.h"
#include "ValueGridUnit.h"
#include "VersionInfoUnit.h"
#include "ui_MainFormUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPushButton>

TPackMonMainForm::TPackMonMainForm(TPackMonFileLocations ALocations, QWidget* Parent)
    : QMainWindow(Parent), ExecuteFileDialog(ExecuteFileDialogModally), Ui(std::make_unique<Ui::TPackMonMainForm>()),
      Locations(std::move(ALocations)) {
    ExecuteSessionsDialog = [](TSessionsDialog& Dialog) { Dialog.exec(); };
    Ui->setupUi(this);
    SetUpChart();
    SetUpSession();
    SetUpReviewTools();
    SetUpControllers();
    SetUpMenus();
    if (auto* App = TPackMonApplication::Instance())
        App->SetExceptionHook([this](const std::exception& E) { ApplicationEvents1Exception(this, E); });
    Guarded([this] { FormCreate(); });
}

TPackMonMainForm::~TPackMonMainForm() {
    FormDestroy();
    if (auto* App = TPackMonApplication::Instance())
        App->SetExceptionHook({});
}

// --- Building --------------------------------------------------------------------

void TPackMonMainForm::SetUpChart() {
    Ui->CommsMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Chart1 = AddWindowChart(*Ui->ChartPanel, *Ui->ChartLayout);
    Chart1->OnBeforeDrawSeries = [this](TChartCanvas& Canvas) { Chart1BeforeDrawSeries(Canvas); };
    connect(Chart1, &QCustomPlot::mouseMove, this, [this](QMouseEvent* Event) {
        const QPoint At = Event->position().toPoint();
        Guarded([&] { Chart1MouseMove(Chart1, At.x(), At.y()); });
        Guarded([&] { Review->PointerAt(At); });
    });
    Errors = std::make_unique<TErrorsLog>(*Ui->ErrorsMemo, *Ui->StatusBar1, *Ui->StringGrid1);
    StatusBarGraph = std::make_unique<TStatusBarGraphAdapter>(*Ui->StatusBar1, Errors->StatusLineLabel());
    Errors->Sound = [this] { Beep(); };
    Errors->ShowLine = [this](TMemoPane* Pane, const std::string& Text, double Time, bool Beeps) {
        LogLine(Pane, Text, Time, Beeps);
    };
    ReadingView = std::make_unique<TReadingView>(*Chart1, *Ui->StringGrid1, *Ui->ProgressBar1);
}

void TPackMonMainForm::SetUpSession() {
    TLiveSession::TViews Views;
    Views.CommsLine = [this](const std::string& Line) { LogLine(Ui->CommsMemo, Line, 0.0, false); };
    Views.ErrorLine = [this](const std::string& Line, double Time, bool Beeps) {
        LogLine(Ui->ErrorsMemo, Line, Time, Beeps);
    };
    Views.Reading = [this](const TReadingRecord& Reading) { HandleReading(Reading); };
    Views.Tick = [this] { Errors->ShowStaleness(LiveRun->Stale().StaleSeconds()); };
    Views.Alarm = [this](const TAlarmEvent&) { BalanceMonitor->AlarmChanged(); };
    const std::string Version = GetFileVersionString(QCoreApplication::applicationFilePath().toStdString());
    LiveRun = std::make_unique<TLiveSession>(TSessionKeeping::TPlace{IniFileName(), {}, Version}, Chart1->OwnStore(),
                                             std::move(Views));
    Errors->Keep = [this](const std::string& Kind, const std::string& Text) {
        if (LiveRun)
            LiveRun->Note(Kind, Text);
    };
    BalanceMonitor = std::make_unique<TBalanceMonitor>(*LiveRun, *Ui->PageControl1, *Ui->StatusBar1, *Ui->StringGrid1);
    connect(&BalanceMonitor->Page().AlarmsButton(), &QPushButton::clicked, this,
            [this] { Guarded([this] { BalanceMonitor->EditLimits(IniFileName()); }); });
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ExecuteColorDialog = ColorDialogChooser(*ColorDialog1);
    TValueGrid& Grid = *Ui->StringGrid1;
    Grid.SetUp(*Chart1, LiveRun->LiveConsumer());
    Grid.ChooseColor = [this](TColor Initial) { return ExecuteColorDialog(Initial); };
    Grid.SayError = [this](const std::string& Line) { Errors->LogError(Line); };
    Grid.FailureSeen = [this](const std::exception& Failure) { ReportFailure(Failure); };
}

void TPackMonMainForm::SetUpReviewTools() {
    Review = std::make_unique<TReviewTools>(*Chart1, *Ui->StringGrid1, BalanceMonitor->Page(), *Ui->PageControl1,
                                            *Ui->StatusBar1, LiveRun->LiveConsumer(),
                                            [] { return SystemClock().LocalNow(); });
    Review->OnNote = [this](const std::string& Text) { LiveRun->Note("note", Text); };
    Review->WireViewMenu({*Ui->ViewWholeRunAction, *Ui->ViewFollowNewestAction, *Ui->ViewTimeOfDayAction}, *this);
    connect(Ui->AddNoteAction, &QAction::triggered, this, [this] { Guarded([this] { Review->AddNote(); }); });
}

void TPackMonMainForm::SetUpControllers() {
    Source =
        std::make_unique<TSourceController>(*LiveRun, *ReadingView, *Review, *Errors,
                                            TSourceController::TWidgets{*Chart1, *Ui->StringGrid1, *Ui->ProgressBar1,
                                                                        *Ui->CommsMemo, *Ui->COMPort, *Ui->COM01},
                                            IniFileName());
    Source->Opened = [this](const QString& Name) { Recent->Comms().Remember(Name); };
    Files = std::make_unique<TFileCommands>(
        *this, TFileCommands::TParts{*Chart1, *StatusBarGraph, *Ui->CommsMemo, *Ui->ErrorsMemo, *Source},
        ExecuteFileDialog);
    Files->GraphsOpened = [this](const QString& Name) { Recent->Graphs().Remember(Name); };
    JournalCommands = std::make_unique<TJournalCommands>(
        TJournalCommands::TParts{*this, *LiveRun, *Source, *Review, *Files}, IniFileName(), ExecuteSessionsDialog);
    JournalCommands->FailureSeen = [this](const std::exception& Failure) { ReportFailure(Failure); };
}

void TPackMonMainForm::SetUpMenus() {
    auto* ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    const std::pair<QAction*, QAction*> Links[] = {{Ui->sClear1, Ui->CommsClearAction},
                                                   {Ui->Load1, Ui->CommsOpenAction},
                                                   {Ui->Review1, Ui->CommsReviewAction},
                                                   {Ui->Save1, Ui->CommsSaveAction},
                                                   {Ui->GraphsClearAction1, Ui->GraphsClearAction},
                                                   {Ui->GraphsOpenAction1, Ui->GraphsOpenAction},
                                                   {Ui->GraphsSaveAction1, Ui->GraphsSaveAction},
                                                   {Ui->Export1, Ui->GraphsExportAction},
                                                   {Ui->About1, Ui->HelpAboutAction}};
    for (const auto& [Item, Action] : Links)
        LinkMenuItem(*Item, *Action, *ActionList1, *this);
    NameSeparators(*Ui->Comms1, {QStringLiteral("N1"), QStringLiteral("N2")});
    NameSeparators(*Ui->Graphs1, {QStringLiteral("N3")});
    using THandler = void (TPackMonMainForm::*)();
    const std::pair<QAction*, THandler> Handlers[] = {
        {Ui->CommsClearAction, &TPackMonMainForm::CommsClearActionExecute},
        {Ui->CommsOpenAction, &TPackMonMainForm::CommsOpenActionExecute},
        {Ui->CommsSaveAction, &TPackMonMainForm::CommsSaveActionExecute},
        {Ui->CommsReviewAction, &TPackMonMainForm::CommsReviewActionExecute},
        {Ui->GraphsClearAction, &TPackMonMainForm::GraphsClearActionExecute},
        {Ui->GraphsOpenAction, &TPackMonMainForm::GraphsOpenActionExecute},
        {Ui->GraphsSaveAction, &TPackMonMainForm::GraphsSaveActionExecute},
        {Ui->GraphsExportAction, &TPackMonMainForm::GraphsExportActionExecute},
        {Ui->HelpAboutAction, &TPackMonMainForm::HelpAboutActionExecute},
        {Ui->SessionsAction, &TPackMonMainForm::SessionsActionExecute},
        {Ui->ReportAction, &TPackMonMainForm::ReportActionExecute},
        {Ui->COM01, &TPackMonMainForm::COMPortItemClickOnCom0},
    };
    for (const auto& [Action, Handler] : Handlers)
        connect(Action, &QAction::triggered, this,
                [this, Handler] { Guarded([this, Handler] { (this->*Handler)(); }); });
    Ui->COM01->setData(0);
    connect(Ui->Comms1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Comms1Click(); }); });
    connect(Ui->Graphs1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Graphs1Click(); }); });
    // The list of ports is made anew each time the submenu opens.
    connect(Ui->COMPort, &QMenu::aboutToShow, this, [this] { Guarded([this] { COMPortClick(); }); });
}

// --- Failures and lines ------------------------------------------------------------

template <typename Work> void TPackMonMainForm::Guarded(Work&& Step) { Errors->RunGuarded(std::forward<Work>(Step)); }

void TPackMonMainForm::ReportFailure(const std::exception& Failure) { Errors->LogFailure(Failure); }

void TPackMonMainForm::ApplicationEvents1Exception(QObject*, const std::exception& E) { Errors->LogFailure(E); }

void TPackMonMainForm::LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError) {
    Errors->Show(qobject_cast<TMemoPane*>(Memo), Text, Time, IsError);
}

void TPackMonMainForm::HandleReading(const TReadingRecord& Reading) {
    LiveRun->Consume(Reading);
    // Fresh again with the record itself, not at the next tick.
    if (Ui->StringGrid1->Stale())
        Errors->ShowStaleness(LiveRun->Stale().StaleSeconds());
}

void TPackMonMainForm::Beep() { QApplication::beep(); }

// --- What the controllers and tests ask ----------------------------------------------

const TReadingConsumer& TPackMonMainForm::Readings() const { return Source->ShownReadings(); }
bool TPackMonMainForm::IsBulkInProgress() const { return LiveRun && Source->ShownReadings().Bulk().InProgress; }
std::string TPackMonMainForm::GridCellText(int Column) const { return Source->ShownReadings().LatestText(Column); }
TKWBMRU* TPackMonMainForm::CommsMRU() const { return Recent ? &Recent->Comms().List() : nullptr; }
TKWBMRU* TPackMonMainForm::GraphsMRU() const { return Recent ? &Recent->Graphs().List() : nullptr; }

QString TPackMonMainForm::AboutText() const { return QString::fromStdString(AboutBoxText()); }

// --- The documented handlers, forwarded ------------------------------------------

void TPackMonMainForm::LoadCommsFile(const QString& FileName) { Source->ReplayCapture(FileName); }
void TPackMonMainForm::SaveCommsFile(const QString& FileName) { Files->WriteCapture(FileName); }
void TPackMonMainForm::ReviewCommsFile(const QString& FileName) { Source->ReviewCapture(FileName); }
void TPackMonMainForm::SaveErrorsFile(const QString& FileName) { Files->WriteErrors(FileName); }
void TPackMonMainForm::SaveGraphsFile(const QString& FileName) { Files->WriteGraphs(FileName); }
void TPackMonMainForm::LoadGraphsFile(const QString& FileName) { Files->ReadGraphs(FileName); }
void TPackMonMainForm::ConnectToPort(std::uint8_t PortNumber) { Source->ConnectPort(PortNumber); }
void TPackMonMainForm::ConnectAtStart(const QString& PortName) {
    Guarded([&] { Source->ConnectNamed(PortName); });
}
void TPackMonMainForm::ShowPage(const QString& Title) {
    for (int Page = 0; Page < Ui->PageControl1->count(); ++Page)
        if (Ui->PageControl1->tabText(Page).compare(Title, Qt::CaseInsensitive) == 0)
            return Ui->PageControl1->setCurrentIndex(Page);
    Errors->LogError("No such page: " + Title.toStdString() + " (Graphs, Comms, Errors or Balance)");
}

void TPackMonMainForm::OpenJournalSession(std::int64_t Session) { JournalCommands->OpenSession(Session); }
void TPackMonMainForm::SessionsActionExecute() { JournalCommands->Sessions(); }
void TPackMonMainForm::ReportActionExecute() { JournalCommands->WriteReport(); }
void TPackMonMainForm::HelpAboutActionExecute() {
    KWBMessageDlg(AboutText(), QMessageBox::Information, QMessageBox::Ok, this, 0);
}
void TPackMonMainForm::CommsClearActionExecute() { Ui->CommsMemo->Clear(); }
void TPackMonMainForm::CommsOpenActionExecute() { Files->CommsOpen(); }
void TPackMonMainForm::CommsSaveActionExecute() { Files->CommsSave(); }
void TPackMonMainForm::CommsReviewActionExecute() { Files->CommsReview(); }
void TPackMonMainForm::GraphsClearActionExecute() { Source->ClearChart(); }
void TPackMonMainForm::GraphsOpenActionExecute() { Files->GraphsOpen(); }
void TPackMonMainForm::GraphsSaveActionExecute() { Files->GraphsSave(); }
void TPackMonMainForm::GraphsExportActionExecute() { Files->GraphsExport(); }
void TPackMonMainForm::Comms1Click() { Recent->Comms().Refresh(); }
void TPackMonMainForm::Graphs1Click() { Recent->Graphs().Refresh(); }

void TPackMonMainForm::COMPortClick() {
    Source->FillPortMenu([this](QAction& Item) {
        connect(&Item, &QAction::triggered, this, [this, At = &Item] { Guarded([&] { COMPortItemClick(At); }); });
    });
}

void TPackMonMainForm::COMPortItemClickOnCom0() { COMPortItemClick(Ui->COM01); }

void TPackMonMainForm::COMPortItemClick(QAction* Sender) {
    // The number names the device the last rebuild of the list found for it.
    ConnectToPort(Sender != nullptr ? static_cast<std::uint8_t>(Sender->data().toInt() & 0xFF) : 0);
}

void TPackMonMainForm::Chart1BeforeDrawSeries(TChartCanvas& Canvas) {
    if (IsBulkInProgress())
        DrawBulkTransferNotice(Canvas, Chart1->width());
}

void TPackMonMainForm::Chart1MouseMove(QObject* Sender, int X, int Y) {
    if (auto* Chart = qobject_cast<TPackMonChart*>(Sender))
        ShowReadout(*Chart, X, Y);
}

void TPackMonMainForm::StringGrid1DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect) {
    Ui->StringGrid1->DrawCell(Canvas, ACol, ARow, Rect);
}
void TPackMonMainForm::StringGrid1MouseMove(int X, int Y) { Ui->StringGrid1->CellMouseMove(X, Y); }
void TPackMonMainForm::StringGrid1MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, Qt::MouseButtons Held,
                                          int X, int Y) {
    Ui->StringGrid1->CellMouseUp(Button, Shift, Held, X, Y);
}

// --- Lifecycle ---------------------------------------------------------------

void TPackMonMainForm::FormCreate() {
    Ui->PageControl1->setCurrentIndex(0);
    for (const std::string& Problem : SetUpWindowSeries(*Chart1, IniFileName()))
        Errors->LogError(Problem);
    Recent = std::make_unique<TRecentFiles>(
        TRecentFiles::TMenus{*Ui->Comms1, *Ui->Graphs1}, IniFileName(),
        [this](const QString& Name) { LoadCommsFile(Name); }, [this](const QString& Name) { LoadGraphsFile(Name); },
        [this](const std::function<void()>& Step) { Guarded(Step); });
    Recent->Unsaved = [this](const std::string& Line) { Errors->LogError(Line); };
    LiveRun->LoadAlarmLimits();
}

void TPackMonMainForm::closeEvent(QCloseEvent* Event) { Event->setAccepted(true); }

// Every step runs even when an earlier one failed, and each failure is in
// the Errors pane before the errors file is written, so an unwritable
// settings file never costs the user the capture of the session.
void TPackMonMainForm::FormDestroy() {
    if (std::exchange(Errors->Closing, true))
        return;
    Guarded([this] { Source->EndSource(); });
    Guarded([this] { SaveSeriesColors(*Chart1, IniFileName()); });
    Guarded([this] { Recent.reset(); });
    Guarded([this] { SaveCommsFile(Locations.CommsExitFileName); });
    Guarded([this] { SaveGraphsFile(Locations.GraphsExitFileName); });
    Guarded([this] { SaveErrorsFile(Locations.ErrorsExitFileName); });
    // Last, so that it keeps every failure above; what is queued is written.
    Guarded([this] { LiveRun.reset(); });
}
