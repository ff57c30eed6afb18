// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BalancePageUnit.h"

#include "AlarmsUnit.h"
#include "CellBalanceUnit.h"
#include "NumberFormatUnit.h"
#include "RepaintPacingUnit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstdio>

namespace {

const QStringList ColumnTitles = {QStringLiteral("Latest"), QStringLiteral("Lowest"), QStringLiteral("Highest"),
                                  QStringLiteral("Average"), QStringLiteral("Lowest for")};
const QColor LowestShade(200, 220, 255);
const QColor HighestShade(255, 230, 190);
const QColor AlarmText(200, 0, 0);

QLabel* BigLabel(const QString& Name, int Points, QWidget* Parent) {
    auto* Label = new QLabel(Parent);
    Label->setObjectName(Name);
    QFont Font = Label->font();
    Font.setPointSize(Points);
    Font.setBold(Points > 14);
    Label->setFont(Font);
    return Label;
}

QString Number(double Value) {
    char Text[32];
    std::snprintf(Text, sizeof Text, "%.3f", Value);
    return QString::fromLatin1(Text);
}

QString Volts(double Value) { return QString::fromStdString(VoltsText(Value)); }

// A row a cell, its figures right-aligned, read-only.
QTableWidget* CellTable(const QString& Name, const QStringList& Titles, QWidget* Parent) {
    auto* Table = new QTableWidget(CellCount, static_cast<int>(Titles.size()), Parent);
    Table->setObjectName(Name);
    Table->setHorizontalHeaderLabels(Titles);
    QStringList Rows;
    for (int I = 0; I < CellCount; ++I)
        Rows << QStringLiteral("Cell %1").arg(I + 1);
    Table->setVerticalHeaderLabels(Rows);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int Row = 0; Row < CellCount; ++Row)
        for (int Column = 0; Column < Table->columnCount(); ++Column) {
            auto* Item = new QTableWidgetItem;
            Item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(Row, Column, Item);
        }
    return Table;
}

} // namespace

TBalancePage::TBalancePage(const TCellBalance& ABalance, const TAlarmMonitor& AAlarms, QLabel& AStatusSpread,
                           QWidget* Parent)
    : QWidget(Parent), Balance(ABalance), AlarmState(AAlarms), StatusSpread(AStatusSpread) {
    setObjectName(QStringLiteral("BalanceTabSheet"));
    auto* Layout = new QVBoxLayout(this);
    auto* Figures = new QGridLayout;
    Spread = BigLabel(QStringLiteral("SpreadLabel"), 28, this);
    SpreadDetail = BigLabel(QStringLiteral("SpreadDetailLabel"), 11, this);
    Sum = BigLabel(QStringLiteral("SumLabel"), 28, this);
    SumDetail = BigLabel(QStringLiteral("SumDetailLabel"), 11, this);
    Figures->addWidget(Spread, 0, 0);
    Figures->addWidget(Sum, 0, 1);
    Figures->addWidget(SpreadDetail, 1, 0);
    Figures->addWidget(SumDetail, 1, 1);
    Layout->addLayout(Figures);

    Cells = CellTable(QStringLiteral("BalanceGrid"), ColumnTitles, this);
    Cells->setSelectionMode(QAbstractItemView::NoSelection);
    Layout->addWidget(Cells, 1);
    BuildRangeBox();
    Layout->addWidget(RangeGroup, 1);

    Alarms = new QPushButton(QStringLiteral("Alarms..."), this);
    Alarms->setObjectName(QStringLiteral("AlarmsButton"));
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(Alarms);
    Layout->addLayout(Buttons);

    RefreshTimer.setSingleShot(true);
    RefreshTimer.setInterval(RepaintIntervalMs);
    connect(&RefreshTimer, &QTimer::timeout, this, &TBalancePage::Refresh);
    Refresh();
}

void TBalancePage::BuildRangeBox() {
    RangeGroup = new QGroupBox(QStringLiteral("Selected range"), this);
    RangeGroup->setObjectName(QStringLiteral("RangeBox"));
    auto* Layout = new QVBoxLayout(RangeGroup);
    RangeSummary = new QLabel(RangeGroup);
    RangeSummary->setObjectName(QStringLiteral("RangeLabel"));
    Layout->addWidget(RangeSummary);
    RangeCells = CellTable(QStringLiteral("RangeGrid"), ColumnTitles.mid(1, 3), RangeGroup);
    Layout->addWidget(RangeCells, 1);
    auto* Clear = new QPushButton(QStringLiteral("Clear selection"), RangeGroup);
    Clear->setObjectName(QStringLiteral("ClearRangeButton"));
    connect(Clear, &QPushButton::clicked, this, [this] {
        ClearRange();
        emit RangeCleared();
    });
    Layout->addWidget(Clear, 0, Qt::AlignRight);
    RangeGroup->hide();
}

void TBalancePage::ShowRange(const TCellBalance& Range, double Low, double High) {
    QString Summary = QStringLiteral("%1 to %2: %3 readings")
                          .arg(QString::fromStdString(FormatElapsedLabel(Low, true)),
                               QString::fromStdString(FormatElapsedLabel(High, true)))
                          .arg(Range.Readings());
    if (Range.Readings() > 0)
        Summary += QStringLiteral("; largest spread %1 at %2")
                       .arg(Volts(Range.LargestSpread()),
                            QString::fromStdString(FormatElapsedLabel(Range.LargestSpreadTime(), true)));
    RangeSummary->setText(Summary);
    for (int Cell = 0; Cell < CellCount; ++Cell) {
        const TCellFigures& C = Range.Cell(Cell);
        const QString Texts[] = {C.Fitted() ? Number(C.Lowest) : QStringLiteral("not fitted"),
                                 C.Fitted() ? Number(C.Highest) : QString(),
                                 C.Fitted() ? Number(C.Average()) : QString()};
        for (int Column = 0; Column < 3; ++Column)
            RangeCells->item(Cell, Column)->setText(Texts[Column]);
    }
    RangeGroup->show();
}

void TBalancePage::ClearRange() { RangeGroup->hide(); }

QString TBalancePage::RangeText() const { return !RangeGroup->isHidden() ? RangeSummary->text() : QString(); }

void TBalancePage::Changed() {
    if (!RefreshTimer.isActive())
        RefreshTimer.start();
}

QString TBalancePage::SpreadText() const {
    return Balance.Readings() == 0 ? QStringLiteral("Spread –") : QStringLiteral("Spread ") + Volts(Balance.Spread());
}

QString TBalancePage::SumText() const {
    return Balance.HasSumCheck() ? QStringLiteral("Pack − cells ") + Volts(Balance.SumDifference())
                                 : QStringLiteral("Pack − cells –");
}

void TBalancePage::Refresh() {
    const bool Any = Balance.Readings() > 0;
    Spread->setText(SpreadText());
    Sum->setText(SumText());
    SpreadDetail->setText(Any ? QStringLiteral("largest %1 at %2")
                                    .arg(Volts(Balance.LargestSpread()),
                                         QString::fromStdString(FormatTimeOfDay(Balance.LargestSpreadTime())))
                              : QString());
    SumDetail->setText(Balance.HasSumCheck()
                           ? QStringLiteral("pack %1, cells %2; largest %3 at %4")
                                 .arg(Volts(Balance.Battery()), Volts(Balance.CellSum()),
                                      Volts(Balance.LargestSumDifference()),
                                      QString::fromStdString(FormatTimeOfDay(Balance.LargestSumDifferenceTime())))
                           : QString());
    Spread->setStyleSheet(AlarmState.SpreadInAlarm() ? QStringLiteral("color: rgb(200,0,0)") : QString());
    Sum->setStyleSheet(AlarmState.SumInAlarm() ? QStringLiteral("color: rgb(200,0,0)") : QString());
    for (int Cell = 0; Cell < CellCount; ++Cell)
        RefreshCell(Cell);
    StatusSpread.setText(SpreadText());
}

void TBalancePage::RefreshCell(int Cell) {
    const TCellFigures& C = Balance.Cell(Cell);
    const QString Texts[] = {
        C.Fitted() ? Number(C.Latest) : QStringLiteral("not fitted"),
        C.Fitted() ? Number(C.Lowest) : QString(),
        C.Fitted() ? Number(C.Highest) : QString(),
        C.Fitted() ? Number(C.Average()) : QString(),
        C.Fitted() ? QStringLiteral("%1 %").arg(100.0 * Balance.LowestShare(Cell), 0, 'f', 1) : QString(),
    };
    const QBrush Background = Cell == Balance.LowestCell()    ? QBrush(LowestShade)
                              : Cell == Balance.HighestCell() ? QBrush(HighestShade)
                                                              : QBrush();
    const QBrush Foreground = AlarmState.CellInAlarm(Cell) ? QBrush(AlarmText) : QBrush();
    for (int Column = 0; Column < Cells->columnCount(); ++Column) {
        QTableWidgetItem* Item = Cells->item(Cell, Column);
        if (Item->text() != Texts[Column])
            Item->setText(Texts[Column]);
        Item->setBackground(Background);
        Item->setForeground(Foreground);
    }
    QTableWidgetItem* Header = Cells->verticalHeaderItem(Cell);
    const QString Title =
        QStringLiteral("Cell %1").arg(Cell + 1) + (Cell == Balance.LowestCell()    ? QStringLiteral(" (lowest)")
                                                   : Cell == Balance.HighestCell() ? QStringLiteral(" (highest)")
                                                                                   : QString());
    if (Header->text() != Title)
        Header->setText(Title);
}
