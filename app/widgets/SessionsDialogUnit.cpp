// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionsDialogUnit.h"

#include "BusyCursorUnit.h"
#include "JournalSchemaUnit.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString VoltsText(const std::optional<std::int64_t>& Millivolts) {
    return Millivolts ? QString::number(static_cast<double>(*Millivolts) / 1000.0, 'f', 3) : QString();
}

} // namespace

std::vector<QString> SessionRowTexts(const TSessionSummary& Session, std::int64_t Recording) {
    const QString Reason = Session.Id == Recording     ? QStringLiteral("recording")
                           : Session.EndReason.empty() ? QStringLiteral("open")
                                                       : QString::fromStdString(Session.EndReason);
    return {QString::fromStdString(LocalTimeText(Session.StartedUtcMs)),
            QString::fromStdString(DurationText(Session.DurationMs)),
            QString::fromStdString(Session.Source),
            QString::number(Session.Readings),
            VoltsText(Session.LowestCellMv),
            VoltsText(Session.HighestCellMv),
            Reason};
}

TSessionsDialog::TSessionsDialog(std::string AJournalFile, std::int64_t ARecording, QWidget* Parent)
    : QDialog(Parent), JournalFile(std::move(AJournalFile)), Recording(ARecording), List(new QTableWidget(this)),
      OpenButton(new QPushButton(tr("Open in chart"), this)), ExportButton(new QPushButton(tr("Export CSV..."), this)),
      DeleteButton(new QPushButton(tr("Delete"), this)) {
    setObjectName(QStringLiteral("SessionsDialog"));
    setWindowTitle(tr("Sessions"));
    resize(820, 420);
    const QStringList Headers{tr("Started"),         tr("Duration"),         tr("Source"), tr("Readings"),
                              tr("Lowest cell (V)"), tr("Highest cell (V)"), tr("End")};
    List->setColumnCount(static_cast<int>(Headers.size()));
    List->setHorizontalHeaderLabels(Headers);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->verticalHeader()->hide();
    List->horizontalHeader()->setStretchLastSection(true);
    auto* Buttons = new QHBoxLayout;
    for (QPushButton* Button : {OpenButton, ExportButton, DeleteButton})
        Buttons->addWidget(Button);
    Buttons->addStretch();
    auto* Close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    Buttons->addWidget(Close);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(List);
    Layout->addLayout(Buttons);
    connect(Close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(OpenButton, &QPushButton::clicked, this, [this] { OpenSelected(); });
    connect(ExportButton, &QPushButton::clicked, this, [this] { ExportSelected(); });
    connect(DeleteButton, &QPushButton::clicked, this, [this] { DeleteSelected(); });
    connect(List, &QTableWidget::cellDoubleClicked, this, [this] { OpenSelected(); });
    Confirm = [this](const QString& Question) {
        return QMessageBox::question(this, windowTitle(), Question) == QMessageBox::Yes;
    };
    Guarded([this] { Refresh(); });
}

template <typename Work> void TSessionsDialog::Guarded(Work&& Step) {
    try {
        Step();
    } catch (const std::exception& Failure) {
        if (ReportFailure)
            ReportFailure(Failure);
    }
}

void TSessionsDialog::Refresh() {
    TSqliteDatabase Db(JournalFile, false, JournalReaderBusyMs);
    Shown = ListSessions(Db);
    List->setRowCount(static_cast<int>(Shown.size()));
    for (int Row = 0; Row < List->rowCount(); ++Row) {
        const std::vector<QString> Texts = SessionRowTexts(Shown[static_cast<std::size_t>(Row)], Recording);
        for (int Column = 0; Column < static_cast<int>(Texts.size()); ++Column)
            List->setItem(Row, Column, new QTableWidgetItem(Texts[static_cast<std::size_t>(Column)]));
    }
    List->resizeColumnsToContents();
}

void TSessionsDialog::SelectSession(std::int64_t Session) {
    for (std::size_t Row = 0; Row < Shown.size(); ++Row)
        if (Shown[Row].Id == Session)
            List->selectRow(static_cast<int>(Row));
}

std::optional<std::int64_t> TSessionsDialog::Selected() const {
    const int Row = List->currentRow();
    if (Row < 0 || Row >= static_cast<int>(Shown.size()) || List->selectedItems().isEmpty())
        return std::nullopt;
    return Shown[static_cast<std::size_t>(Row)].Id;
}

void TSessionsDialog::OpenSelected() {
    const auto Session = Selected();
    if (Session && OpenSession)
        Guarded([&] { OpenSession(*Session); });
}

void TSessionsDialog::ExportSelected() {
    const auto Session = Selected();
    if (!Session || !ChooseExportFile)
        return;
    Guarded([&] {
        const std::optional<QString> FileName = ChooseExportFile(*Session);
        if (!FileName)
            return;
        TBusyCursor Busy;
        TSqliteDatabase Db(JournalFile, false, JournalReaderBusyMs);
        ExportSessionCsv(Db, *Session, *FileName);
    });
}

void TSessionsDialog::DeleteSelected() {
    const auto Session = Selected();
    if (!Session)
        return;
    Guarded([&] {
        if (*Session == Recording)
            throw EPackMonException("The session being recorded cannot be deleted");
        if (!Confirm(tr("Delete this session and its readings from the journal?")))
            return;
        TBusyCursor Busy;
        {
            TSqliteDatabase Db(JournalFile, false, JournalReaderBusyMs);
            DeleteSession(Db, *Session);
        }
        Refresh();
    });
}
