// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartViewUnit.h"
#include "ReadingConsumerUnit.h"
#include "RunStartUnit.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QWidget;
class QStatusBar;
class QTabWidget;
class TBalancePage;
class TPackMonChart;
class TValueGrid;

// What the status line says of the chart's view.
QString ViewModeText(TViewMode Mode);

// The tools for looking back over a run, wired to the window's widgets: the
// view mode on the status line, the reading at the pointer in the value
// grid, a selected range's figures on the Balance page, the time of day on
// the time axis, and notes drawn on the chart.
class TReviewTools : public QObject, private TReadingObserver {
    Q_OBJECT

  public:
    struct TNote {
        double Time; // elapsed, days
        std::string Text;
    };

    TReviewTools(TPackMonChart& AChart, TValueGrid& AGrid, TBalancePage& APage, QTabWidget& APages, QStatusBar& Bar,
                 TReadingConsumer& AConsumer, std::function<double()> LocalNow);

    // Readings come from a monitor on the line, so the run's start on the
    // clock can be told from them.
    void SetLive(bool Value) { Start.SetLive(Value); }
    void SetShowTimeOfDay(bool Value);
    // Off while the chart shows another run than the one these tools follow
    // (a capture under review): its clock start and notes are put back when
    // it is shown again.
    void SetShown(bool Value);

    // View > Whole Run, Follow Newest and Time of Day.
    struct TViewMenu {
        QAction& WholeRun;
        QAction& FollowNewest;
        QAction& TimeOfDay;
    };
    void WireViewMenu(const TViewMenu& Menu, QWidget& Window);

    // The note's text as the user types it; nothing when cancelled. Asks in
    // a dialog over the window WireViewMenu was given.
    std::function<std::optional<std::string>()> AskNoteText;
    // A note was added, to be kept with the session.
    std::function<void(const std::string& Text)> OnNote;
    // Asks for a note and adds it at the newest reading's time.
    void AddNote();
    void AddNote(double Time, const std::string& Text);
    const std::vector<TNote>& Notes() const { return NoteList; }
    // A kept run shown again: its start on the clock and its notes.
    void ShowKeptRun(std::optional<double> ClockStart, std::vector<TNote> Notes);

    // The pointer is over Pixel of the chart: the reading nearest in time
    // there is shown in the grid, or the latest values again off the plot.
    void PointerAt(QPoint Pixel);
    void ShowRange(double Low, double High);

    QLabel& ViewStatus() const { return *Status; }

  private:
    void SeriesCleared() override;
    void ShowNotes();

    TPackMonChart& Chart;
    TValueGrid& Grid;
    TBalancePage& Page;
    QTabWidget& Pages;
    TReadingConsumer& Consumer;
    bool Shown = true;
    TRunStart Start;
    QLabel* Status = nullptr;
    std::vector<TNote> NoteList;
};
