// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <QTableWidget>
#include <QTimer>
#include <exception>
#include <functional>
#include <optional>
#include <string>

class QColorDialog;
class TReadingConsumer;

// A colour chooser for the grid that runs Dialog opened on the colour given.
std::function<std::optional<TColor>(TColor Initial)> ColorDialogChooser(QColorDialog& Dialog);

// The one-row grid of the latest values: the time, the pack and the eight
// cells, each drawn in bold in its series' colour. A left click on a value
// highlights its series, a right click recolours it.
class TValueGrid : public QTableWidget {
    Q_OBJECT

  public:
    static constexpr int ColumnCount = 10;

    explicit TValueGrid(QWidget* Parent = nullptr);

    // Columns, cells and pacing; after the grid's rows and columns exist.
    void SetUp(TPackMonChart& AChart, const TReadingConsumer& AReadings);
    // The latest values of another run (a capture under review, or the live
    // run again).
    void ShowReadings(const TReadingConsumer& AReadings);

    // Shows the colour dialog opened on a colour; the choice or nothing.
    std::function<std::optional<TColor>(TColor Initial)> ChooseColor;
    // Where a failure in drawing or in a click goes (the Errors pane).
    std::function<void(const std::string& Line)> SayError;
    std::function<void(const std::exception& Failure)> FailureSeen;
    // A column whose value is in alarm, drawn on a red ground.
    std::function<bool(int Column)> IsMarked;

    // The latest values changed: shown at the next repaint interval rather
    // than per record, since a replay brings thousands a second.
    void ValuesChanged();
    void Refresh();
    // Shows a reading the pointer is over in place of the latest values,
    // its lowest and highest cell marked; nothing shows the latest again.
    void ShowReading(std::optional<TReadingRecord> Reading, std::optional<double> ClockStart);
    bool ShowsReading() const { return Pointed.has_value(); }
    std::string Text(int Column) const;
    // Values that have stopped arriving are drawn grey until the next one.
    void SetStale(bool Value);
    bool Stale() const { return StaleValues; }

    void DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect);
    void CellMouseMove(int X, int Y);
    void CellMouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, Qt::MouseButtons Held, int X, int Y);

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    int ColumnAt(int X, int Y) const;

    TPackMonChart* Chart = nullptr;
    const TReadingConsumer* Readings = nullptr;
    TColor LastConfirmedColor = 0;
    bool StaleValues = false;
    std::optional<TReadingRecord> Pointed;
    std::optional<double> PointedClockStart;
    QTimer RefreshTimer;
};
