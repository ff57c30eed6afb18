// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFormUnit.h"

#include "BalanceMonitorUnit.h"
#include "BalancePageUnit.h"
#include "ChartOperationsUnit.h"
#include "ComponentNamesUnit.h"
#include "ErrorsLogUnit.h"
#include "FileDialogUnit.h"
#include "GraphFileAdaptersUnit.h"
#include "JournalCommandsUnit.h"
#include "KWBMessageDlgUnit.h"
#include "LiveSessionUnit.h"
#include "MemoPaneUnit.h"
#include "MenuWiringUnit.h"
#include "MiscellaneousRoutinesUnit.h"
#include "PackMonApplicationUnit.h"
#include "ReadingViewUnit.h"
#include "RecentFilesMenuUnit.h"
#include "ReviewToolsUnit.h"
#include "SessionsDialogUnit.h"
#include "SettingsKeysUnit.h"
#include "SourceControllerUnit.h"
#include "ValueGridUnit.h"
#include "VersionInfoUnit.h"
#include "ui_MainFormUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFontDatabase>
#include <QInputDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <cstdio>

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
    Chart1 = new TPackMonChart(Ui->ChartPanel);
    Chart1->setObjectName(QString::fromLatin1(ChartComponentName));
    Ui->ChartLayout->addWidget(Chart1);
    Chart1->SetAxisTitle(TChartAxis::Left, QStringLiteral("CellVolts"));
    Chart1->SetAxisTitle(TChartAxis::Right, QStringLiteral("BatteryVolts"));
    Chart1->AddTitleLine(QStringLiteral("TChart"));
    Chart1->OnBeforeDrawSeries = [this](TChartCanvas& Canvas) { Chart1BeforeDrawSeries(Canvas); };
    connect(Chart1, &QCustomPlot::mouseMove, this, [this](QMouseEvent* Event) {
        const QPoint At = Event->position().toPoint();
        Guarded([&] { Chart1MouseMove(Chart1, At.x(), At.y()); });
        Guarded([&] { Review->PointerAt(At); });
    });
    // A widget of its own, not a temporary message: hovering a menu item
    // would otherwise wipe the last line logged, often an error.
    StatusLine = new QLabel(Ui->StatusBar1);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    Ui->StatusBar1->addWidget(StatusLine, 1);
    StatusBarGraph = std::make_unique<TStatusBarGraphAdapter>(*Ui->StatusBar1, *StatusLine);
    Errors = std::make_unique<TErrorsLog>(*Ui->ErrorsMemo, *StatusLine, *Ui->StringGrid1);
    Errors->Beep = [this] { Beep(); };
    Errors->ShowLine = [this](TMemoPane* Pane, const std::string& Text, double Time, bool Beeps) {
        LogLine(Pane, Text, Time, Beeps);
    };
    View = std::make_unique<TReadingView>(*Chart1, *Ui->StringGrid1, *Ui->ProgressBar1);
}

void TPackMonMainForm::SetUpSession() {
    TLiveSession::TViews Views;
    Views.CommsLine = [this](const std::string& Line) { LogLine(Ui->CommsMemo, Line, 0.0, false); };
    Views.ErrorLine = [this](const std::string& Line, double Time, bool Beeps) {
        LogLine(Ui->ErrorsMemo, Line, Time, Beeps);
    };
    Views.Reading = [this](const TReadingRecord& Reading) { HandleReading(Reading); };
    Views.Tick = [this] { Errors->ShowStaleness(Live->Stale().StaleSeconds()); };
    Views.Alarm = [this](const TAlarmEvent&) {
        BalanceMonitor->AlarmChanged();
        Ui->StringGrid1->viewport()->update();
    };
    const std::string Version = GetFileVersionString(QCoreApplication::applicationFilePath().toStdString());
    Live = std::make_unique<TLiveSession>(TSessionKeeping::TPlace{IniFileName(), {}, Version}, Chart1->OwnStore(),
                                          std::move(Views));
    Errors->Keep = [this](const std::string& Kind, const std::string& Text) {
        if (Live)
            Live->Note(Kind, Text);
    };
    BalanceMonitor = std::make_unique<TBalanceMonitor>(*Live, *Ui->PageControl1, *Ui->StatusBar1);
    connect(&BalanceMonitor->Page().AlarmsButton(), &QPushButton::clicked, this,
            [this] { Guarded([this] { BalanceMonitor->EditLimits(IniFileName()); }); });
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ExecuteColorDialog = ColorDialogChooser(*ColorDialog1);
    TValueGrid& Grid = *Ui->StringGrid1;
    Grid.SetUp(*Chart1, Live->Consumer());
    Grid.ChooseColor = [this](TColor Initial) { return ExecuteColorDialog(Initial); };
    Grid.LogError = [this](const std::string& Line) { Errors->LogError(Line); };
    Grid.ReportFailure = [this](const std::exception& Failure) { ReportFailure(Failure); };
    Grid.IsMarked = [this](int Column) {
        const TAlarmMonitor& Alarms = Live->Alarms();
        return Column == 1 ? Alarms.SumInAlarm() : Alarms.CellInAlarm(Column - 2);
    };
}

void TPackMonMainForm::SetUpReviewTools() {
    Review = std::make_unique<TReviewTools>(*Chart1, *Ui->StringGrid1, BalanceMonitor->Page(), *Ui->PageControl1,
                                            *Ui->StatusBar1, Live->Consumer(), [] { return SystemClock().LocalNow(); });
    Review->AskNoteText = [this]() -> std::optional<std::string> {
        bool Confirmed = false;
        const QString Text =
            QInputDialog::getText(this, QStringLiteral("Add Note"), QStringLiteral("Note at the newest reading:"),
                                  QLineEdit::Normal, QString(), &Confirmed);
        return Confirmed ? std::optional<std::string>(Text.toStdString()) : std::nullopt;
    };
    Review->OnNote = [this](const std::string& Text) { Live->Note("note", Text); };
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

void TPackMonMainForm::SetUpControllers() {
    Source =
        std::make_unique<TSourceController>(*Live, *View, *Review, *Errors,
                                            TSourceController::TWidgets{*Chart1, *Ui->StringGrid1, *Ui->ProgressBar1,
                                                                        *Ui->CommsMemo, *Ui->COMPort, *Ui->COM01},
                                            IniFileName());
    Source->Opened = [this](const QString& Name) { CommsRecent->Remember(Name); };
    Files = std::make_unique<TFileCommands>(
        *this, TFileCommands::TParts{*Chart1, *StatusBarGraph, *Ui->CommsMemo, *Ui->ErrorsMemo, *Source},
        ExecuteFileDialog);
    Files->GraphsOpened = [this](const QString& Name) { GraphsRecent->Remember(Name); };
    JournalCommands = std::make_unique<TJournalCommands>(
        TJournalCommands::TParts{*this, *Live, *Source, *Review, *Files}, IniFileName(), ExecuteSessionsDialog);
    JournalCommands->ReportFailure = [this](const std::exception& Failure) { ReportFailure(Failure); };
}

void TPackMonMainForm::SetUpMenus() {
    auto* ActionList1 = new QObject(this);
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
    ConnectHandler(Ui->SessionsAction, &TPackMonMainForm::SessionsActionExecute);
    ConnectHandler(Ui->ReportAction, &TPackMonMainForm::ReportActionExecute);
    Ui->COM01->setData(0);
    connect(Ui->COM01, &QAction::triggered, this, [this] { Guarded([this] { COMPortItemClick(Ui->COM01); }); });
    connect(Ui->Comms1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Comms1Click(); }); });
    connect(Ui->Graphs1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Graphs1Click(); }); });
    // The list of ports is made anew each time the submenu opens.
    connect(Ui->COMPort, &QMenu::aboutToShow, this, [this] { Guarded([this] { COMPortClick(); }); });
}

void TPackMonMainForm::CreateRecentFileLists() {
    const std::string Ini = IniFileName().toStdString();
    CommsRecent = std::make_unique<TRecentFilesMenu>(
        *Ui->Comms1, "CommsMRUMenuItem", "Not found :", MakeRecentFileList("CommsMRU", Ini, CommsMRUSection),
        [this](const QString& Name) { LoadCommsFile(Name); });
    GraphsRecent = std::make_unique<TRecentFilesMenu>(*Ui->Graphs1, "GraphsMRUMenuItem", "Not found ",
                                                      MakeRecentFileList("GraphsMRU", Ini, GraphsMRUSection),
                                                      [this](const QString& Name) { LoadGraphsFile(Name); });
    GraphsRecent->UnsavedSaid = CommsRecent->UnsavedSaid;
    for (TRecentFilesMenu* Recent : {CommsRecent.get(), GraphsRecent.get()}) {
        Recent->Unsaved = [this](const std::string& Line) { Errors->LogError(Line); };
        for (QAction* Item : Recent->Items())
            connect(Item, &QAction::triggered, this,
                    [this, Recent, Item] { Guarded([&] { Recent->OpenItem(*Item); }); });
    }
}

void TPackMonMainForm::ConnectHandler(QAction* Action, void (TPackMonMainForm::*Handler)()) {
    connect(Action, &QAction::triggered, this, [this, Handler] { Guarded([this, Handler] { (this->*Handler)(); }); });
}

// --- Failures and lines ------------------------------------------------------------

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
    Errors->LogError(FailureMessage(E));
}

void TPackMonMainForm::LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError) {
    Errors->Show(qobject_cast<TMemoPane*>(Memo), Text, Time, IsError);
}

void TPackMonMainForm::HandleReading(const TReadingRecord& Reading) {
    Live->Consume(Reading);
    // Fresh again with the record itself, not at the next tick.
    if (Ui->StringGrid1->Stale())
        Errors->ShowStaleness(Live->Stale().StaleSeconds());
}

void TPackMonMainForm::Beep() { QApplication::beep(); }

// --- What the controllers and tests ask ----------------------------------------------

const TReadingConsumer& TPackMonMainForm::Readings() const { return Source->Shown(); }
bool TPackMonMainForm::IsBulkInProgress() const { return Live && Source->Shown().Bulk().InProgress; }
std::string TPackMonMainForm::GridCellText(int Column) const { return Source->Shown().LatestText(Column); }
TSerialPortReader* TPackMonMainForm::SerialPort() const { return Live->LinkState().Port(); }
const SerialCommClass* TPackMonMainForm::SerialPortObjectForTests() const { return Live->LinkState().PortObject(); }
const TPackMonCommsThread* TPackMonMainForm::CommsThreadObject() const { return Live->Thread(); }
const TLiveLink& TPackMonMainForm::LiveLink() const { return Live->LinkState(); }
TJournalWriter* TPackMonMainForm::Journal() const { return Live->Journal(); }
TKWBMRU* TPackMonMainForm::CommsMRU() const { return CommsRecent ? &CommsRecent->List() : nullptr; }
TKWBMRU* TPackMonMainForm::GraphsMRU() const { return GraphsRecent ? &GraphsRecent->List() : nullptr; }

QString TPackMonMainForm::AboutText() const {
    const std::string Version = GetFileVersionString(QCoreApplication::applicationFilePath().toStdString());
    return QString::fromStdString("Version " + Version + "\r\r" + MakerWebAddress());
}

// --- The documented handlers, forwarded ------------------------------------------

void TPackMonMainForm::LoadCommsFile(const QString& FileName) { Source->LoadCommsFile(FileName); }
void TPackMonMainForm::SaveCommsFile(const QString& FileName) { Files->SaveCommsFile(FileName); }
void TPackMonMainForm::ReviewCommsFile(const QString& FileName) { Source->ReviewCommsFile(FileName); }
void TPackMonMainForm::SaveErrorsFile(const QString& FileName) { Files->SaveErrorsFile(FileName); }
void TPackMonMainForm::SaveGraphsFile(const QString& FileName) { Files->SaveGraphsFile(FileName); }
void TPackMonMainForm::LoadGraphsFile(const QString& FileName) { Files->LoadGraphsFile(FileName); }
void TPackMonMainForm::ConnectToPort(std::uint8_t PortNumber) { Source->ConnectToPort(PortNumber); }
void TPackMonMainForm::ConnectAtStart(const QString& PortName) {
    Guarded([&] { Source->ConnectAtStart(PortName); });
}
void TPackMonMainForm::OpenJournalSession(std::int64_t Session) { JournalCommands->OpenSession(Session); }
void TPackMonMainForm::SessionsActionExecute() { JournalCommands->Sessions(); }
void TPackMonMainForm::ReportActionExecute() { JournalCommands->Report(); }
void TPackMonMainForm::HelpAboutActionExecute() {
    KWBMessageDlg(AboutText(), QMessageBox::Information, QMessageBox::Ok, this, 0);
}
void TPackMonMainForm::CommsClearActionExecute() { Ui->CommsMemo->Clear(); }
void TPackMonMainForm::CommsOpenActionExecute() { Files->CommsOpen(); }
void TPackMonMainForm::CommsSaveActionExecute() { Files->CommsSave(); }
void TPackMonMainForm::CommsReviewActionExecute() { Files->CommsReview(); }
void TPackMonMainForm::GraphsClearActionExecute() { Source->ClearGraphs(); }
void TPackMonMainForm::GraphsOpenActionExecute() { Files->GraphsOpen(); }
void TPackMonMainForm::GraphsSaveActionExecute() { Files->GraphsSave(); }
void TPackMonMainForm::GraphsExportActionExecute() { Files->GraphsExport(); }
void TPackMonMainForm::Comms1Click() { CommsRecent->Refresh(); }
void TPackMonMainForm::Graphs1Click() { GraphsRecent->Refresh(); }

void TPackMonMainForm::COMPortClick() {
    Source->FillPortMenu([this](QAction& Item) {
        connect(&Item, &QAction::triggered, this, [this, At = &Item] { Guarded([&] { COMPortItemClick(At); }); });
    });
}

void TPackMonMainForm::COMPortItemClick(QAction* Sender) {
    // The number names the device the last rebuild of the list found for it.
    ConnectToPort(Sender != nullptr ? static_cast<std::uint8_t>(Sender->data().toInt() & 0xFF) : 0);
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
    BuildSeriesSet(*Chart1);
    std::vector<std::string> Problems;
    LoadSeriesColors(*Chart1, IniFileName(), &Problems);
    for (const std::string& Problem : Problems)
        Errors->LogError(Problem);
    SyncRightAxisColor(*Chart1);
    ToggleSeriesHighlight(Chart1, 0);
    CreateRecentFileLists();
    Live->LoadAlarmLimits();
}

void TPackMonMainForm::closeEvent(QCloseEvent* Event) { Event->setAccepted(true); }

// Every step runs even when an earlier one failed, and each failure is in
// the Errors pane before the errors file is written, so an unwritable
// settings file never costs the user the capture of the session.
void TPackMonMainForm::FormDestroy() {
    if (std::exchange(Destroyed, true))
        return;
    Guarded([this] { Source->Stop(); });
    Guarded([this] { SaveSeriesColors(*Chart1, IniFileName()); });
    Guarded([this] { CommsRecent.reset(); });
    Guarded([this] { GraphsRecent.reset(); });
    Guarded([this] { SaveCommsFile(Locations.CommsExitFileName); });
    Guarded([this] { SaveGraphsFile(Locations.GraphsExitFileName); });
    Guarded([this] { SaveErrorsFile(Locations.ErrorsExitFileName); });
    // Last, so that it keeps every failure above; what is queued is written.
    Guarded([this] { Live.reset(); });
}
