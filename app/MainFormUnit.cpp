// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFormUnit.h"

#include "BusyCursorUnit.h"
#include "ChartOperationsUnit.h"
#include "ChartUnit.h"
#include "CommsCaptureUnit.h"
#include "ChartDataUnit.h"
#include "CsvExportUnit.h"
#include "FileStreamUnit.h"
#include "GraphFileAdaptersUnit.h"
#include "MemoPaneUnit.h"
#include "KWBMessageDlgUnit.h"
#include "MRUUnit.h"
#include "MiscellaneousRoutinesUnit.h"
#include "NumberFormatUnit.h"
#include "PackMonApplicationUnit.h"
#include "PortDiscoveryUnit.h"
#include "SerialCommUnit.h"
#include "SettingsKeysUnit.h"
#include "VersionInfoUnit.h"
#include "ui_MainFormUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFontDatabase>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPainter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <climits>
#include <cmath>
#include <functional>

namespace {

constexpr int GridColumnCount = 10;
constexpr int GridColumnWidths[GridColumnCount] = {62, 50, 40, 40, 40, 40, 40, 40, 40, 40};

// "Description|pattern" pairs, as the dialogs' filters are written, in the
// form Qt's dialogs take.
QString QtNameFilter(const QString& Filter) {
    const QStringList Parts = Filter.split(QLatin1Char('|'));
    QStringList Filters;
    for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
        const QString Pattern = QStringLiteral("(%1)").arg(Parts[I + 1]);
        Filters << (Parts[I].endsWith(Pattern) ? Parts[I] : Parts[I] + QLatin1Char(' ') + Pattern);
    }
    return Filters.join(QStringLiteral(";;"));
}

std::string LogTimeStamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toStdString();
}

double LocalNowAsDateTime() { return SystemClock().LocalNow(); }

// Grid values in the general number format, with the user's decimal separator.
std::string GridNumber(double Value) {
    const QString Point = QLocale().decimalPoint();
    const char Separator = Point.size() == 1 && Point[0].unicode() < 128 ? static_cast<char>(Point[0].unicode()) : '.';
    return FloatToStrGeneral(Value, Separator);
}

constexpr int RecentFileCount = 5;

// A series is shown once it holds more than this many points.
constexpr std::size_t ActivationThreshold = 3;

// The grid draws every cell itself.
class TGridCellDelegate : public QStyledItemDelegate {
public:
    TGridCellDelegate(TPackMonMainForm& AForm, QObject* Parent) : QStyledItemDelegate(Parent), Form(AForm) {}
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        Painter->save();
        Form.StringGrid1DrawCell(*Painter, Index.column(), Index.row(), Option.rect);
        Painter->restore();
    }

private:
    TPackMonMainForm& Form;
};

std::optional<QString> ExecuteModally(QFileDialog& Dialog) {
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Dialog.selectedFiles().constFirst();
}

} // namespace

TPackMonMainForm::TPackMonMainForm(TPackMonFileLocations ALocations, QWidget* Parent)
    : QMainWindow(Parent), ExecuteFileDialog(ExecuteModally), Ui(std::make_unique<Ui::TPackMonMainForm>()),
      Locations(std::move(ALocations)), CommsOpenDialog(this), CommsSaveDialog(this), GraphsOpenDialog(this),
      GraphsSaveDialog(this), ExportSaveDialog(this) {
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

    for (int Column = 0; Column < GridColumnCount; ++Column)
        Ui->StringGrid1->setColumnWidth(Column, GridColumnWidths[Column]);
    Ui->StringGrid1->setRowHeight(0, 18);
    for (int Column = 0; Column < GridColumnCount; ++Column)
        Ui->StringGrid1->setItem(0, Column, new QTableWidgetItem);
    Ui->StringGrid1->setTextElideMode(Qt::ElideNone);
    Ui->StringGrid1->setItemDelegate(new TGridCellDelegate(*this, Ui->StringGrid1));
    Ui->StringGrid1->setMouseTracking(true);
    Ui->StringGrid1->viewport()->setMouseTracking(true);
    Ui->StringGrid1->viewport()->installEventFilter(this);
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ExecuteColorDialog = [this](std::uint32_t Initial) -> std::optional<std::uint32_t> {
        ColorDialog1->setCurrentColor(ToQColor(Initial));
        if (ColorDialog1->exec() != QDialog::Accepted)
            return std::nullopt;
        return FromQColor(ColorDialog1->selectedColor());
    };
    GridRefreshTimer.setSingleShot(true);
    GridRefreshTimer.setInterval(TPackMonChart::RepaintIntervalMs);
    connect(&GridRefreshTimer, &QTimer::timeout, this, [this] { Guarded([this] { RefreshGrid(); }); });
    Ui->StringGrid1->setFont(QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont));

    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    const std::pair<QAction*, QAction*> Links[] = {
        {Ui->sClear1, Ui->CommsClearAction},          {Ui->Load1, Ui->CommsOpenAction},
        {Ui->Save1, Ui->CommsSaveAction},             {Ui->GraphsClearAction1, Ui->GraphsClearAction},
        {Ui->GraphsOpenAction1, Ui->GraphsOpenAction}, {Ui->GraphsSaveAction1, Ui->GraphsSaveAction},
        {Ui->Export1, Ui->GraphsExportAction},        {Ui->About1, Ui->HelpAboutAction},
    };
    for (const auto& [Item, Action] : Links)
        LinkMenuItem(Item, Action);
    NameSeparators();

    ConnectHandler(Ui->CommsClearAction, &TPackMonMainForm::CommsClearActionExecute);
    ConnectHandler(Ui->CommsOpenAction, &TPackMonMainForm::CommsOpenActionExecute);
    ConnectHandler(Ui->CommsSaveAction, &TPackMonMainForm::CommsSaveActionExecute);
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

    SetUpFileDialog(CommsOpenDialog, "CommsOpenDialog", false, QStringLiteral("PackMon Comms Files|*.PackMonComms"),
                    CommsFileExtension);
    SetUpFileDialog(CommsSaveDialog, "CommsSaveDialog", true, QStringLiteral("PackMon Comms Files|*.PackMonComms"),
                    CommsFileExtension);
    SetUpFileDialog(GraphsOpenDialog, "GraphsOpenDialog", false,
                    QStringLiteral("PackMon Graph Files|*.PackMonGraphs"), GraphsFileExtension);
    SetUpFileDialog(GraphsSaveDialog, "GraphsSaveDialog", true,
                    QStringLiteral("Pack Mon Graph Files|*.PackMonGraphs"), GraphsFileExtension);
    SetUpFileDialog(ExportSaveDialog, "ExportSaveDialog", true,
                    QStringLiteral("Comma Separated Values (*.CSV)|*.CSV"), QStringLiteral(".CSV"));
}

void TPackMonMainForm::SetUpChartComponent() {
    Chart1 = new TPackMonChart(Ui->ChartPanel);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Ui->ChartLayout->addWidget(Chart1);
    Chart1->SetAxisTitle(TChartAxis::Left, QStringLiteral("CellVolts"));
    Chart1->SetAxisTitle(TChartAxis::Right, QStringLiteral("BatteryVolts"));
    Chart1->AddTitleLine(QStringLiteral("TChart"));
    Chart1->OnBeforeDrawSeries = [this](TChartCanvas& Canvas) { Chart1BeforeDrawSeries(Canvas); };
    ChartGraph = std::make_unique<TChartGraphAdapter>(*Chart1);
    StatusBarGraph = std::make_unique<TStatusBarGraphAdapter>(*Ui->StatusBar1);
    connect(Chart1, &QCustomPlot::mouseMove, this, [this](QMouseEvent* Event) {
        const QPoint At = Event->position().toPoint();
        Guarded([&] { Chart1MouseMove(Chart1, At.x(), At.y()); });
    });
}

// The menu item shows its action: same caption and state, and choosing it
// runs the action.
void TPackMonMainForm::LinkMenuItem(QAction* Item, QAction* Action) {
    Action->setParent(ActionList1);
    addAction(Action);
    const auto Mirror = [Item, Action] {
        Item->setText(Action->text());
        Item->setEnabled(Action->isEnabled());
    };
    Mirror();
    connect(Action, &QAction::changed, Item, Mirror);
    connect(Item, &QAction::triggered, Action, [Action] { Action->trigger(); });
}

void TPackMonMainForm::NameSeparators() {
    const std::pair<QMenu*, QStringList> Menus[] = {
        {Ui->Comms1, {QStringLiteral("N1"), QStringLiteral("N2")}},
        {Ui->Graphs1, {QStringLiteral("N3")}},
    };
    for (const auto& [Menu, Names] : Menus) {
        qsizetype Next = 0;
        for (QAction* Action : Menu->actions())
            if (Action->isSeparator() && Next < Names.size())
                Action->setObjectName(Names[Next++]);
    }
}

void TPackMonMainForm::SetUpFileDialog(QFileDialog& Dialog, const char* Name, bool Save, const QString& Filter,
                                       const QString& DefaultExtension) {
    Dialog.setObjectName(QString::fromLatin1(Name));
    Dialog.setAcceptMode(Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    Dialog.setFileMode(Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    Dialog.setNameFilter(QtNameFilter(Filter));
    Dialog.setDefaultSuffix(DefaultExtension.mid(1));
    Dialog.setSizeGripEnabled(true);
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
        const std::string Line = Time > 0 ? LogTimeStamp() + ' ' + Text : Text;
        Pane->AddLine(Line);
        Ui->StatusBar1->showMessage(QString::fromUtf8(Line.data(), static_cast<qsizetype>(Line.size())));
    }
    if (IsError)
        Beep();
}

void TPackMonMainForm::Beep() { QApplication::beep(); }

// --- Readings --------------------------------------------------------------------

void TPackMonMainForm::HandleReading(const TReadingRecord& Reading) {
    switch (Reading.Kind) {
    case rkBulkStart:
        ClearGraphs(Chart1);
        SetProgressMaximum(Reading.Time);
        SetBulkInProgress(true);
        break;
    case rkBulkEnd:
        ActivateSeriesWithData(Chart1, true, ActivationThreshold);
        SetBulkInProgress(false);
        break;
    case rkTimeValue:
        ClearGraphs(Chart1);
        SetBulkInProgress(false);
        break;
    case rkData:
        HandleData(Reading);
        break;
    case rkNone:
        break;
    }
}

void TPackMonMainForm::HandleData(const TReadingRecord& Reading) {
    SetGridCell(0, FormatTimeOfDay(Reading.Time));
    SetGridCell(1, GridNumber(Reading.BatteryVolts));
    for (int Cell = 0; Cell < CellCount; ++Cell)
        SetGridCell(Cell + 2, GridNumber(Reading.CellVolts[Cell]));
    PlaceDataPoints(*ChartGraph, Reading);
    if (BulkInProgress)
        StepProgress();
    else
        ActivateSeriesWithData(Chart1, true, ActivationThreshold);
}

// Readings arrive thousands of times a second in a replay; the grid shows
// the latest values at the chart's pace instead of repainting per record.
void TPackMonMainForm::SetGridCell(int Column, const std::string& Text) {
    GridTexts.at(static_cast<std::size_t>(Column)) = Text;
    if (!GridRefreshTimer.isActive())
        GridRefreshTimer.start();
}

void TPackMonMainForm::RefreshGrid() {
    for (int Column = 0; Column < GridColumnCount; ++Column) {
        const QString Text = QString::fromStdString(GridTexts[static_cast<std::size_t>(Column)]);
        QTableWidgetItem* Item = Ui->StringGrid1->item(0, Column);
        if (Item->text() != Text)
            Item->setText(Text);
    }
}

// Each transfer's progress starts from the beginning, and records beyond
// the announced count leave the bar full.
void TPackMonMainForm::SetProgressMaximum(double Count) {
    const double Rounded = std::nearbyint(Count);
    if (Rounded < 0 || Rounded > INT_MAX)
        throw EPackMonException(std::string(Ui->ProgressBar1->metaObject()->className()) +
                                " property out of range");
    Ui->ProgressBar1->setMaximum(static_cast<int>(Rounded));
    Ui->ProgressBar1->setValue(0);
}

void TPackMonMainForm::StepProgress() {
    QProgressBar* Bar = Ui->ProgressBar1;
    Bar->setValue(std::min(Bar->value() + 1, Bar->maximum()));
}

void TPackMonMainForm::SetBulkInProgress(bool Value) {
    BulkInProgress = Value;
    Ui->ProgressBar1->setVisible(Value);
    Ui->StringGrid1->setVisible(!Value);
    Chart1->Invalidate();
}

// --- Chart -----------------------------------------------------------------------

void TPackMonMainForm::SetUpChart() {
    BuildSeriesSet(*Chart1);
    LoadSeriesColors(*Chart1, IniFileName());
    SyncRightAxisColor(*Chart1);
    ToggleSeriesHighlight(Chart1, 0);
}

void TPackMonMainForm::Chart1BeforeDrawSeries(TChartCanvas& Canvas) {
    if (!BulkInProgress)
        return;
    try {
        DrawBulkTransferNotice(Canvas, Chart1->width());
    } catch (...) {
        // An overlay that cannot be drawn is left out; the chart still paints.
    }
}

void TPackMonMainForm::Chart1MouseMove(QObject* Sender, int X, int Y) {
    auto* Chart = qobject_cast<TPackMonChart*>(Sender);
    if (Chart == nullptr)
        return;
    const QString Text = ReadoutText(*Chart, X, Y);
    Chart->ClearTitle();
    Chart->AddTitleLine(Text);
}

void TPackMonMainForm::GraphsClearActionExecute() { ClearGraphs(Chart1); }

// --- Graph files -------------------------------------------------------------------

void TPackMonMainForm::SaveGraphsFile(const QString& FileName) {
    const std::string Owner = OwnerName();
    WriteComponentRecord(FileName, false, &Owner, ChartGraph.get());
}

void TPackMonMainForm::LoadGraphsFile(const QString& FileName) {
    ClearGraphs(Chart1);
    ReadGraphsFile(FileName, *this);
    GraphsMRUList->AddFileName(FileName.toStdString());
}

// The window's named components, found as a graph file names them.
TGraphComponent TPackMonMainForm::FindComponent(const std::string& Name) {
    const QString Wanted = QString::fromStdString(Name);
    for (QObject* Child : findChildren<QObject*>()) {
        if (Child->objectName().isEmpty() || Child->objectName().compare(Wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (Child == Chart1)
            return {TGraphComponent::Chart, ChartGraph.get(), nullptr};
        if (Child == Ui->StatusBar1)
            return {TGraphComponent::StatusBar, nullptr, StatusBarGraph.get()};
        return {TGraphComponent::Other, nullptr, nullptr};
    }
    return {};
}

void TPackMonMainForm::GraphsOpenActionExecute() {
    RunFileAction(GraphsOpenDialog, false, &TPackMonMainForm::LoadGraphsFile);
}

void TPackMonMainForm::GraphsExportActionExecute() {
    RunFileAction(ExportSaveDialog, true, [](TPackMonMainForm& Form, const QString& Name) { ExportChartToCsv(Form.ChartGraph.get(), Name); });
}

void TPackMonMainForm::GraphsSaveActionExecute() {
    RunFileAction(GraphsSaveDialog, true, &TPackMonMainForm::SaveGraphsFile);
}

// --- Comms captures ----------------------------------------------------------

void TPackMonMainForm::LoadCommsFile(const QString& FileName) {
    StopAndFreeThread(CommsThread);
    SerialPortObject.reset();
    ClearGraphs(Chart1);
    Ui->CommsMemo->Clear();
    Ui->CommsMemo->SetText(LoadCommsCaptureText(FileName));
    CommsMRUList->AddFileName(FileName.toStdString());
    CommsThread = TPackMonCommsThread::Create(Ui->CommsMemo->Text(), this);
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
        FileName = ChangeFileExt(*FileName, QLatin1Char('.') + Dialog.defaultSuffix());
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

TSerialPortReader* TPackMonMainForm::SerialPort() { return SerialPortObject.get(); }

void TPackMonMainForm::COMPortClick() {
    TBusyCursor Busy;
    const auto Table = std::make_shared<const TPortTable>(TPortTable::Load(IniFileName()));
    UsePortTable(Table);
    const QList<QAction*> Items = Ui->COMPort->actions();
    for (QAction* Item : Items)
        if (Item != Ui->COM01) {
            Ui->COMPort->removeAction(Item);
            Item->deleteLater();
        }
    for (const TPortListing& Port : ProbeOpenablePorts(*Table)) {
        QAction* Item = Ui->COMPort->addAction(QStringLiteral("COM%1").arg(Port.PortNumber));
        Item->setData(Port.PortNumber);
        const QString Path = QString::fromStdString(Port.Path);
        Item->setToolTip(Path);
        Item->setStatusTip(Path);
        connect(Item, &QAction::triggered, this, [this, Item] { Guarded([this, Item] { COMPortItemClick(Item); }); });
    }
    Ui->COMPort->setToolTipsVisible(true);
}

void TPackMonMainForm::COMPortItemClick(QAction* Sender) {
    StopAndFreeThread(CommsThread);
    SerialPortObject.reset();
    if (Sender == nullptr)
        return;
    // The number names the device the last rebuild of the list found for it.
    const auto PortNumber = static_cast<std::uint8_t>(Sender->data().toInt() & 0xFF);
    SerialPortObject = OpenLivePort(PortNumber);
    if (!SerialPortObject)
        return;
    ClearGraphs(Chart1);
    CommsThread = TPackMonCommsThread::Create({}, this);
}

// --- Value grid ------------------------------------------------------------------

void TPackMonMainForm::StringGrid1DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect) {
    try {
        QColor TextColor = Ui->StringGrid1->palette().color(QPalette::WindowText);
        if (ACol >= 1 && ACol <= Chart1->SeriesCount())
            TextColor = ToQColor(Chart1->Series(ACol - 1).Color());
        QFont Bold = Ui->StringGrid1->font();
        Bold.setBold(true);
        Canvas.setFont(Bold);
        Canvas.setPen(TextColor);
        Canvas.fillRect(Rect, Ui->StringGrid1->palette().color(QPalette::Base));
        const QString Text = ARow == 0 ? QString::fromStdString(GridCellText(ACol)) : QString();
        const QFontMetrics Metrics(Bold);
        const int Top = Rect.top() + (Rect.height() - Metrics.height()) / 2;
        Canvas.drawText(Rect.left(), Top + Metrics.ascent(), Text);
    } catch (const std::exception& Failure) {
        LogLine(Ui->ErrorsMemo, "TPackMonMainForm.StringGrid1DrawCell " + FailureMessage(Failure), LocalNowAsDateTime(),
                true);
    }
}

void TPackMonMainForm::StringGrid1MouseMove(int X, int Y) {
    try {
        const int Column = Ui->StringGrid1->rowAt(Y) < 0 ? -1 : Ui->StringGrid1->columnAt(X);
        if (Column == 0)
            Ui->StringGrid1->setToolTip(QStringLiteral("Time"));
        else if (Column >= 1 && Column <= Chart1->SeriesCount())
            Ui->StringGrid1->setToolTip(Chart1->Series(Column - 1).Title());
    } catch (...) {
        // The tooltip simply keeps its text.
    }
}

void TPackMonMainForm::StringGrid1MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, Qt::MouseButtons Held,
                                          int X, int Y) {
    const int Column = Ui->StringGrid1->rowAt(Y) < 0 ? -1 : Ui->StringGrid1->columnAt(X);
    if (Column < 1 || Column > Chart1->SeriesCount())
        return;
    const bool Plain = Shift == Qt::NoModifier && (Held & ~Button) == Qt::NoButton;
    if (Button == Qt::LeftButton && Plain) {
        ToggleSeriesHighlight(Chart1, Column - 1);
    } else if (Button == Qt::RightButton) {
        if (Plain) {
            if (const std::optional<std::uint32_t> Chosen = ExecuteColorDialog(LastConfirmedColor)) {
                LastConfirmedColor = *Chosen;
                Chart1->Series(Column - 1).SetColor(*Chosen);
                if (Column == 1)
                    SyncRightAxisColor(*Chart1);
            }
        }
        Ui->StringGrid1->viewport()->update();
    }
}

bool TPackMonMainForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == Ui->StringGrid1->viewport()) {
        switch (Event->type()) {
        case QEvent::MouseMove: {
            const QPoint At = static_cast<QMouseEvent*>(Event)->position().toPoint();
            StringGrid1MouseMove(At.x(), At.y());
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* Mouse = static_cast<QMouseEvent*>(Event);
            const QPoint At = Mouse->position().toPoint();
            Guarded([&] { StringGrid1MouseUp(Mouse->button(), Mouse->modifiers(), Mouse->buttons(), At.x(), At.y()); });
            return true;
        }
        case QEvent::ToolTip:
            QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), Ui->StringGrid1->toolTip(),
                               Ui->StringGrid1);
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
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
    CommsMRUList = std::make_unique<TKWBMRU>("\\SOFTWARE\\BrindleworksLtd\\PackMon\\CommsMRU", HKEY_LOCAL_MACHINE_KEY,
                                             true, Ini, CommsMRUSection, RecentFileCount);
    GraphsMRUList = std::make_unique<TKWBMRU>("\\SOFTWARE\\BrindleworksLtd\\PackMon\\GraphsMRU", HKEY_LOCAL_MACHINE_KEY,
                                              true, Ini, GraphsMRUSection, RecentFileCount);
    const struct {
        QMenu* Menu;
        const char* Name;
        void (TPackMonMainForm::*Click)(QAction*);
    } Menus[] = {{Ui->Comms1, "CommsMRUMenuItem", &TPackMonMainForm::CommsMRUMenuItemClick},
                 {Ui->Graphs1, "GraphsMRUMenuItem", &TPackMonMainForm::GraphsMRUMenuItemClick}};
    for (const auto& M : Menus)
        for (int I = 0; I < RecentFileCount; ++I) {
            QAction* Item = M.Menu->addAction(QString());
            Item->setObjectName(QString::fromLatin1(M.Name) + QString::number(I));
            Item->setData(I);
            Item->setVisible(false);
            const auto Click = M.Click;
            connect(Item, &QAction::triggered, this, [this, Item, Click] { Guarded([&] { (this->*Click)(Item); }); });
        }
}

// Files that have gone leave the list; the items show what is left.
void TPackMonMainForm::RefreshRecentFiles(TKWBMRU& List, const char* ItemName, const char* NotFoundText) {
    std::vector<std::string> Gone;
    for (int I = 0; I < RecentFileCount; ++I) {
        const std::string Name = List.GetFileName(I);
        if (Name.empty() || !QFileInfo(QString::fromStdString(Name)).isFile())
            Gone.push_back(Name);
    }
    for (const std::string& Name : Gone)
        List.RemoveFileName(Name);
    for (int I = 0; I < RecentFileCount; ++I) {
        const QString Name = QString::fromLatin1(ItemName) + QString::number(I);
        auto* Item = findChild<QAction*>(Name);
        if (Item == nullptr)
            throw EPackMonException(std::string(NotFoundText) + Name.toStdString());
        const QString Caption = QString::fromStdString(List.GetFileName(I));
        Item->setText(Caption);
        Item->setVisible(!Caption.isEmpty());
    }
}

void TPackMonMainForm::Comms1Click() { RefreshRecentFiles(*CommsMRUList, "CommsMRUMenuItem", "Not found :"); }

void TPackMonMainForm::Graphs1Click() { RefreshRecentFiles(*GraphsMRUList, "GraphsMRUMenuItem", "Not found "); }

// A recent file whose file has gone since the menu opened does nothing.
void TPackMonMainForm::OpenRecentFile(TKWBMRU& List, QAction* Sender, void (TPackMonMainForm::*Load)(const QString&)) {
    const QString Name = QString::fromStdString(List.GetFileName(Sender->data().toInt()));
    if (Name.isEmpty() || !QFileInfo(Name).isFile())
        return;
    TBusyCursor Busy;
    (this->*Load)(Name);
}

void TPackMonMainForm::CommsMRUMenuItemClick(QAction* Sender) {
    OpenRecentFile(*CommsMRUList, Sender, &TPackMonMainForm::LoadCommsFile);
}

void TPackMonMainForm::GraphsMRUMenuItemClick(QAction* Sender) {
    OpenRecentFile(*GraphsMRUList, Sender, &TPackMonMainForm::LoadGraphsFile);
}

// --- Lifecycle ---------------------------------------------------------------

void TPackMonMainForm::FormCreate() {
    Ui->PageControl1->setCurrentIndex(0);
    SetUpChart();
    CreateRecentFileLists();
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
    Guarded([this] { StopAndFreeThread(CommsThread); });
    Guarded([this] { SerialPortObject.reset(); });
    Guarded([this] { SaveSeriesColors(*Chart1, IniFileName()); });
    Guarded([this] { CommsMRUList.reset(); });
    Guarded([this] { GraphsMRUList.reset(); });
    Guarded([this] { SaveCommsFile(Locations.CommsExitFileName); });
    Guarded([this] { SaveGraphsFile(Locations.GraphsExitFileName); });
    Guarded([this] { SaveErrorsFile(Locations.ErrorsExitFileName); });
}
