// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MemoTextUnit.h"

#include <QAbstractScrollArea>
#include <QTimer>
#include <string>
#include <string_view>

// A read-only log pane. It keeps its text as the bytes that are saved and
// paints only the lines in view, straight from them: adding a line costs
// the same after millions of lines as after ten, and a replayed capture of
// a million records costs little more memory than its file. Added lines
// reach the view in batches, a few times a second, and the view follows
// them while it is scrolled to the bottom. Lines are selected as a run
// (click, Shift+click, drag, Shift+arrows, Ctrl+A) and copied with Ctrl+C.
class TMemoPane : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit TMemoPane(QWidget* Parent = nullptr);

    std::string Text() const { return Lines.Text(); }
    std::size_t LineCount() const { return Lines.LineCount(); }
    std::string_view Line(std::size_t Index) const { return Lines.Line(Index); }
    // The lines the view has been given so far; the rest come with the next batch.
    std::size_t ShownLineCount() const { return Shown; }
    std::size_t FirstLineInView() const;
    // The line under a point of the viewport, if one is there.
    std::size_t LineAt(int Y) const;
    int LineHeight() const;

    void Clear();
    void SetText(std::string Text);
    void AddLine(std::string_view Line);

    // The selected lines, as the clipboard gets them.
    QString SelectedText() const;

  protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void scrollContentsBy(int, int) override;

  private:
    static constexpr std::size_t NoLine = static_cast<std::size_t>(-1);

    int LinesInView() const;
    bool Selected(std::size_t Line) const;
    void ShowAddedLines();
    void UpdateScrollBars();
    // The scroll ranges anew; a view at its end stays at the end.
    void UpdateKeepingTheEnd();
    void MoveTo(std::size_t Line, bool Extend);

    TMemoText Lines;
    std::size_t Shown = 0;
    std::size_t Anchor = NoLine; // the selection runs from Anchor to Cursor
    std::size_t Cursor = NoLine;
    int WidestPainted = 0;
    QTimer ShowTimer;
};
