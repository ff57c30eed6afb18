// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ValueGridUnit.h"

#include "ChartOperationsUnit.h"
#include "ReadingConsumerUnit.h"
#include "RepaintPacingUnit.h"
#include "StoredReadingsUnit.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {

constexpr int ColumnWidths[TValueGrid::ColumnCount] = {62, 50, 40, 40, 40, 40, 40, 40, 40, 40};

// The grid draws every cell itself.
class TGridCellDelegate : public QStyledItemDelegate {
  public:
    TGridCellDelegate(TValueGrid& AGrid) : QStyledItemDelegate(&AGrid), Grid(AGrid) {}
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        Painter->save();
        Grid.DrawCell(*Painter, Index.column(), Index.row(), Option.rect);
        Painter->restore();
    }

  private:
    TValueGrid& Grid;
};

} // namespace

std::function<std::optional<TColor>(TColor Initial)> ColorDialogChooser(QColorDialog& Dialog) {
    return [&Dialog](TColor Initial) -> std::optional<TColor> {
        Dialog.setCurrentColor(ToQColor(Initial));
        if (Dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return FromQColor(Dialog.selectedColor());
    };
}

TValueGrid::TValueGrid(QWidget* Parent) : QTableWidget(Parent) {
    RefreshTimer.setSingleShot(true);
    RefreshTimer.setInterval(RepaintIntervalMs);
    connect(&RefreshTimer, &QTimer::timeout, this, [this] {
        try {
            Refresh();
        } catch (const std::exception& Failure) {
            if (FailureSeen)
                FailureSeen(Failure);
        }
    });
}

void TValueGrid::ShowReadings(const TReadingConsumer& AReadings) {
    Readings = &AReadings;
    viewport()->update();
}

void TValueGrid::SetUp(TPackMonChart& AChart, const TReadingConsumer& AReadings) {
    Chart = &AChart;
    Readings = &AReadings;
    for (int Column = 0; Column < ColumnCount; ++Column) {
        setColumnWidth(Column, ColumnWidths[Column]);
        setItem(0, Column, new QTableWidgetItem);
    }
    setRowHeight(0, 18);
    setTextElideMode(Qt::ElideNone);
    setItemDelegate(new TGridCellDelegate(*this));
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    viewport()->installEventFilter(this);
    setFont(QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont));
}

void TValueGrid::ValuesChanged() {
    if (!RefreshTimer.isActive())
        RefreshTimer.start();
}

void TValueGrid::Refresh() {
    QFont Bold = font();
    Bold.setBold(true);
    const QFontMetrics Metrics(Bold);
    for (int Column = 0; Column < ColumnCount; ++Column) {
        const QString Text = QString::fromStdString(this->Text(Column));
        QTableWidgetItem* Cell = item(0, Column);
        if (Cell->text() == Text)
            continue;
        Cell->setText(Text);
        // A value wider than its column ("-10.123", "-0.004") widens it
        // rather than being cut to something else.
        const int Wanted = Metrics.horizontalAdvance(Text) + 4;
        if (Wanted > columnWidth(Column))
            setColumnWidth(Column, Wanted);
    }
}

void TValueGrid::DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect) {
    try {
        QColor TextColor = palette().color(QPalette::WindowText);
        if (StaleValues)
            TextColor = palette().color(QPalette::Disabled, QPalette::WindowText);
        else if (ACol >= 1 && ACol <= Chart->SeriesCount())
            TextColor = ToQColor(Chart->Series(ACol - 1).Color());
        QFont Bold = font();
        Bold.setBold(true);
        Canvas.setFont(Bold);
        Canvas.setPen(TextColor);
        // Alarms are about the latest values, not a reading looked back at.
        const bool Marked = !Pointed && IsMarked && IsMarked(ACol);
        QColor Ground = Marked ? QColor(255, 190, 190) : palette().color(QPalette::Base);
        if (Pointed) {
            const TCellExtremes Extremes = CellExtremeColumns(*Pointed);
            if (ACol == Extremes.Lowest)
                Ground = QColor(200, 220, 255);
            else if (ACol == Extremes.Highest)
                Ground = QColor(255, 230, 190);
        }
        Canvas.fillRect(Rect, Ground);
        const QString Text = ARow == 0 ? QString::fromStdString(this->Text(ACol)) : QString();
        const QFontMetrics Metrics(Bold);
        const int Top = Rect.top() + (Rect.height() - Metrics.height()) / 2;
        Canvas.drawText(Rect.left(), Top + Metrics.ascent(), Text);
    } catch (const std::exception& Failure) {
        if (SayError)
            SayError("TPackMonMainForm.StringGrid1DrawCell " + FailureMessage(Failure));
    }
}

std::string TValueGrid::Text(int Column) const {
    return Pointed ? PointerReadingText(*Pointed, Column, PointedClockStart) : Readings->LatestText(Column);
}

void TValueGrid::ShowReading(std::optional<TReadingRecord> Reading, std::optional<double> ClockStart) {
    if (!Reading && !Pointed)
        return;
    Pointed = Reading;
    PointedClockStart = ClockStart;
    Refresh();
    viewport()->update();
}

void TValueGrid::SetStale(bool Value) {
    if (std::exchange(StaleValues, Value) != Value)
        viewport()->update();
}

int TValueGrid::ColumnAt(int X, int Y) const { return rowAt(Y) < 0 ? -1 : columnAt(X); }

void TValueGrid::CellMouseMove(int X, int Y) {
    try {
        const int Column = ColumnAt(X, Y);
        if (Column == 0)
            setToolTip(QStringLiteral("Time"));
        else if (Column >= 1 && Column <= Chart->SeriesCount())
            setToolTip(Chart->Series(Column - 1).Title());
    } catch (...) {
        // The tooltip simply keeps its text.
    }
}

void TValueGrid::CellMouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, Qt::MouseButtons Held, int X, int Y) {
    const int Column = ColumnAt(X, Y);
    if (Column < 1 || Column > Chart->SeriesCount())
        return;
    const bool PlainClick = Shift == Qt::NoModifier && (Held & ~Button) == Qt::NoButton;
    if (Button == Qt::LeftButton && PlainClick) {
        ToggleSeriesHighlight(Chart, Column - 1);
    } else if (Button == Qt::RightButton) {
        if (PlainClick && ChooseColor) {
            if (const std::optional<TColor> Chosen = ChooseColor(LastConfirmedColor)) {
                LastConfirmedColor = *Chosen;
                Chart->Series(Column - 1).SetColor(*Chosen);
                if (Column == 1)
                    SyncRightAxisColor(*Chart);
            }
        }
        viewport()->update();
    }
}

bool TValueGrid::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched != viewport())
        return QTableWidget::eventFilter(Watched, Event);
    switch (Event->type()) {
    case QEvent::MouseMove: {
        const QPoint At = static_cast<QMouseEvent*>(Event)->position().toPoint();
        CellMouseMove(At.x(), At.y());
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* Mouse = static_cast<QMouseEvent*>(Event);
        const QPoint At = Mouse->position().toPoint();
        try {
            CellMouseUp(Mouse->button(), Mouse->modifiers(), Mouse->buttons(), At.x(), At.y());
        } catch (const std::exception& Failure) {
            if (FailureSeen)
                FailureSeen(Failure);
        }
        return true;
    }
    case QEvent::ToolTip:
        QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), toolTip(), this);
        return true;
    default:
        break;
    }
    return QTableWidget::eventFilter(Watched, Event);
}
