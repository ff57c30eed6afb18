// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoPaneUnit.h"

#include "RepaintPacingUnit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

namespace {

// The panes hold 8-bit text; what the monitor sends is ASCII, and messages
// that name files carry them in UTF-8.
QString Displayed(std::string_view Line) { return QString::fromUtf8(Line.data(), static_cast<qsizetype>(Line.size())); }

} // namespace

int TMemoPane::TLinesModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : Shown; }

QVariant TMemoPane::TLinesModel::data(const QModelIndex& Index, int Role) const {
    if (Role != Qt::DisplayRole || !Index.isValid())
        return {};
    return Displayed(Lines.Line(static_cast<std::size_t>(Index.row())));
}

TMemoPane::TMemoPane(QWidget* Parent) : QListView(Parent) {
    setModel(&Model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    ShowTimer.setSingleShot(true);
    // Every second repaint interval: a pane's relayout costs more than a
    // chart repaint, and nobody reads a log faster.
    ShowTimer.setInterval(2 * RepaintIntervalMs);
    connect(&ShowTimer, &QTimer::timeout, this, &TMemoPane::ShowAddedLines);
}

void TMemoPane::Clear() {
    ShowTimer.stop();
    Model.beginResetModel();
    Lines.Clear();
    Model.Shown = 0;
    Model.endResetModel();
}

void TMemoPane::SetText(std::string Text) {
    ShowTimer.stop();
    Model.beginResetModel();
    Lines.SetText(std::move(Text));
    Model.Shown = static_cast<int>(Lines.LineCount());
    Model.endResetModel();
}

void TMemoPane::AddLine(std::string_view Line) {
    Lines.AddLine(Line);
    if (!ShowTimer.isActive())
        ShowTimer.start();
}

void TMemoPane::ShowAddedLines() {
    const int Count = static_cast<int>(Lines.LineCount());
    if (Count <= Model.Shown)
        return;
    const bool Following = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    Model.beginInsertRows({}, Model.Shown, Count - 1);
    Model.Shown = Count;
    Model.endInsertRows();
    if (Following)
        scrollToBottom();
}

QString TMemoPane::SelectedText() const {
    QModelIndexList Rows = selectionModel()->selectedRows();
    std::sort(Rows.begin(), Rows.end(), [](const QModelIndex& A, const QModelIndex& B) { return A.row() < B.row(); });
    QStringList Texts;
    for (const QModelIndex& Row : Rows)
        Texts << Displayed(Lines.Line(static_cast<std::size_t>(Row.row())));
    return Texts.join(QLatin1Char('\n'));
}

void TMemoPane::keyPressEvent(QKeyEvent* Event) {
    if (Event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(SelectedText());
        return;
    }
    QListView::keyPressEvent(Event);
}
