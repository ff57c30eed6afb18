// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReviewToolsUnit.h"

#include "BalancePageUnit.h"
#include "BusyCursorUnit.h"
#include "ChartUnit.h"
#include "StoredReadingsUnit.h"
#include "ValueGridUnit.h"

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <utility>

QString ViewModeText(TViewMode Mode) {
    switch (Mode) {
    case TViewMode::Whole:
        return QStringLiteral("View: whole run");
    case TViewMode::Held:
        return QStringLiteral("View: held (End follows the newest reading, Home shows the whole run)");
    case TViewMode::LiveEnd:
        return QStringLiteral("View: following the newest reading (Home shows the whole run)");
    }
    return {};
}

TReviewTools::TReviewTools(TPackMonChart& AChart, TValueGrid& AGrid, TBalancePage& APage, QTabWidget& APages,
                           QStatusBar& Bar, TReadingConsumer& AConsumer, std::function<double()> LocalNow)
    : Chart(AChart), Grid(AGrid), Page(APage), Pages(APages), Consumer(AConsumer), Start(std::move(LocalNow)) {
    Consumer.AddObserver(Start);
    Consumer.AddObserver(*this);
    Start.OnChanged = [this] {
        if (Shown)
            Chart.SetClockStart(Start.Start());
    };
    Status = new QLabel(ViewModeText(TViewMode::Whole), &Bar);
    Status->setObjectName(QStringLiteral("ViewStatus"));
    Bar.addPermanentWidget(Status);
    connect(&Chart, &TPackMonChart::ViewModeChanged, this,
            [this](TViewMode Mode) { Status->setText(ViewModeText(Mode)); });
    connect(&Chart, &TPackMonChart::RangeSelected, this, &TReviewTools::ShowRange);
    connect(&Chart, &TPackMonChart::PointerLeft, this, [this] { Grid.ShowReading(std::nullopt, std::nullopt); });
    connect(&Page, &TBalancePage::RangeCleared, this, [this] { Chart.ClearSelectedRange(); });
}

void TReviewTools::SetShowTimeOfDay(bool Value) { Chart.SetShowTimeOfDay(Value); }

void TReviewTools::WireViewMenu(const TViewMenu& Menu, QWidget& Window) {
    const auto Move = [this](void (TChartView::*Step)()) {
        return [this, Step] {
            (Chart.View().*Step)();
            Chart.ViewChanged();
        };
    };
    connect(&Menu.WholeRun, &QAction::triggered, this, Move(&TChartView::Home));
    connect(&Menu.FollowNewest, &QAction::triggered, this, Move(&TChartView::End));
    connect(&Menu.TimeOfDay, &QAction::toggled, this, [this](bool On) { SetShowTimeOfDay(On); });
    AskNoteText = [&Window]() -> std::optional<std::string> {
        bool Confirmed = false;
        const QString Text =
            QInputDialog::getText(&Window, QStringLiteral("Add Note"), QStringLiteral("Note at the newest reading:"),
                                  QLineEdit::Normal, QString(), &Confirmed);
        return Confirmed ? std::optional<std::string>(Text.toStdString()) : std::nullopt;
    };
}

void TReviewTools::SetShown(bool Value) {
    if (std::exchange(Shown, Value) == Value)
        return;
    Chart.ClearSelectedRange();
    Page.ClearRange();
    Chart.SetClockStart(Shown ? Start.Start() : std::nullopt);
    if (Shown)
        ShowNotes();
    else
        Chart.SetMarkers({});
}

void TReviewTools::PointerAt(QPoint Pixel) {
    std::optional<TReadingRecord> Near;
    if (Chart.PlotRect().contains(Pixel))
        Near = ReadingNear(Chart.Store(), Chart.PixelToValue(TChartAxis::Bottom, Pixel.x()));
    Grid.ShowReading(Near, Chart.ClockStartTime());
}

void TReviewTools::ShowRange(double Low, double High) {
    TBusyCursor Busy;
    Page.ShowRange(BalanceBetween(Chart.Store(), Low, High), Low, High);
    Pages.setCurrentWidget(&Page);
}

void TReviewTools::AddNote() {
    if (!AskNoteText)
        return;
    const std::optional<std::string> Text = AskNoteText();
    if (!Text || Text->empty())
        return;
    AddNote(Consumer.HasLatest() ? Consumer.Latest().Time : 0.0, *Text);
}

void TReviewTools::AddNote(double Time, const std::string& Text) {
    NoteList.push_back({Time, Text});
    ShowNotes();
    if (OnNote)
        OnNote(Text);
}

void TReviewTools::ShowKeptRun(std::optional<double> ClockStart, std::vector<TNote> Notes) {
    Chart.SetClockStart(ClockStart);
    NoteList = std::move(Notes);
    ShowNotes();
}

void TReviewTools::SeriesCleared() {
    NoteList.clear();
    if (!Shown)
        return;
    // A new run: what the user looked closer at belonged to the last one.
    Chart.SetClockStart(std::nullopt);
    Chart.View().Home();
    Chart.ViewChanged();
    Chart.ClearSelectedRange();
    Page.ClearRange();
    ShowNotes();
}

void TReviewTools::ShowNotes() {
    if (!Shown)
        return;
    std::vector<TPackMonChart::TMarker> Markers;
    for (const TNote& Note : NoteList)
        Markers.push_back({Note.Time, QString::fromStdString(Note.Text)});
    Chart.SetMarkers(std::move(Markers));
}
