// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MemoTextUnit.h"

#include <QAbstractListModel>
#include <QListView>
#include <QTimer>
#include <string>
#include <string_view>

// A read-only log pane. It keeps its text as the bytes that are saved and
// shows it one line per row, so a replayed capture of a million records
// costs little more memory than its file, and loads in a moment. Added
// lines reach the view in batches, a few times a second, and the view
// follows them while it is scrolled to the bottom.
class TMemoPane : public QListView {
    Q_OBJECT

  public:
    explicit TMemoPane(QWidget* Parent = nullptr);

    const std::string& Text() const { return Lines.Text(); }
    std::size_t LineCount() const { return Lines.LineCount(); }
    std::string_view Line(std::size_t Index) const { return Lines.Line(Index); }

    void Clear();
    void SetText(std::string Text);
    void AddLine(std::string_view Line);

    // The selected lines, as the clipboard gets them.
    QString SelectedText() const;

  protected:
    void keyPressEvent(QKeyEvent* Event) override;

  private:
    class TLinesModel : public QAbstractListModel {
      public:
        explicit TLinesModel(const TMemoText& ALines) : Lines(ALines) {}
        int Shown = 0; // rows the view has been told of
        int rowCount(const QModelIndex& Parent) const override;
        QVariant data(const QModelIndex& Index, int Role) const override;
        using QAbstractListModel::beginInsertRows;
        using QAbstractListModel::beginResetModel;
        using QAbstractListModel::endInsertRows;
        using QAbstractListModel::endResetModel;

      private:
        const TMemoText& Lines;
    };

    void ShowAddedLines();

    TMemoText Lines;
    TLinesModel Model{Lines};
    QTimer ShowTimer;
};
