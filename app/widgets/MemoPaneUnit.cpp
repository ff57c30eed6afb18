// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoPaneUnit.h"

#include "RepaintPacingUnit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {

// The panes hold 8-bit text; what the monitor sends is ASCII, and messages
// that name files carry them in UTF-8.
QString Displayed(std::string_view Line) { return QString::fromUtf8(Line.data(), static_cast<qsizetype>(Line.size())); }

constexpr int TextMargin = 3;

} // namespace

TMemoPane::TMemoPane(QWidget* Parent) : QAbstractScrollArea(Parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    ShowTimer.setSingleShot(true);
    // Every second repaint interval: nobody reads a log faster.
    ShowTimer.setInterval(2 * RepaintIntervalMs);
    connect(&ShowTimer, &QTimer::timeout, this, &TMemoPane::ShowAddedLines);
}

int TMemoPane::LineHeight() const { return std::max(fontMetrics().height(), 1); }

int TMemoPane::LinesInView() const { return std::max(viewport()->height() / LineHeight(), 1); }

std::size_t TMemoPane::FirstLineInView() const { return static_cast<std::size_t>(verticalScrollBar()->value()); }

std::size_t TMemoPane::LineAt(int Y) const {
    if (Y < 0)
        return NoLine;
    const std::size_t Line = FirstLineInView() + static_cast<std::size_t>(Y / LineHeight());
    return Line < Shown ? Line : NoLine;
}

bool TMemoPane::Selected(std::size_t Line) const {
    return Anchor != NoLine && Line >= std::min(Anchor, Cursor) && Line <= std::max(Anchor, Cursor);
}

void TMemoPane::Clear() {
    ShowTimer.stop();
    Lines.Clear();
    Shown = 0;
    Anchor = Cursor = NoLine;
    WidestPainted = 0;
    UpdateScrollBars();
    viewport()->update();
}

void TMemoPane::SetText(std::string Text) {
    Clear();
    Lines.SetText(std::move(Text));
    Shown = Lines.LineCount();
    UpdateScrollBars();
}

void TMemoPane::AddLine(std::string_view Line) {
    Lines.AddLine(Line);
    if (!ShowTimer.isActive())
        ShowTimer.start();
}

void TMemoPane::ShowAddedLines() {
    if (Lines.LineCount() <= Shown)
        return;
    Shown = Lines.LineCount();
    UpdateKeepingTheEnd();
    viewport()->update();
}

void TMemoPane::UpdateKeepingTheEnd() {
    QScrollBar* Bar = verticalScrollBar();
    const bool Following = Bar->value() == Bar->maximum();
    UpdateScrollBars();
    if (Following)
        Bar->setValue(Bar->maximum());
}

void TMemoPane::UpdateScrollBars() {
    const auto Count = static_cast<int>(std::min<std::size_t>(Shown, INT_MAX));
    verticalScrollBar()->setRange(0, std::max(Count - LinesInView(), 0));
    verticalScrollBar()->setPageStep(LinesInView());
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(WidestPainted + 2 * TextMargin - viewport()->width(), 0));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth());
}

void TMemoPane::paintEvent(QPaintEvent*) {
    QPainter Painter(viewport());
    const int Height = LineHeight();
    const int Ascent = fontMetrics().ascent();
    const int Left = TextMargin - horizontalScrollBar()->value();
    const std::size_t First = FirstLineInView();
    const std::size_t Last = std::min(Shown, First + static_cast<std::size_t>(LinesInView()) + 1);
    int Widest = WidestPainted;
    for (std::size_t Line = First; Line < Last; ++Line) {
        const int Top = static_cast<int>(Line - First) * Height;
        const QString Text = Displayed(Lines.Line(Line));
        const bool Marked = Selected(Line);
        if (Marked)
            Painter.fillRect(0, Top, viewport()->width(), Height, palette().brush(QPalette::Highlight));
        Painter.setPen(palette().color(Marked ? QPalette::HighlightedText : QPalette::Text));
        Painter.drawText(Left, Top + Ascent, Text);
        Widest = std::max(Widest, fontMetrics().horizontalAdvance(Text));
    }
    // The scroll range widens as wider lines come into view: measuring every
    // line would cost the whole log.
    if (Widest != WidestPainted) {
        WidestPainted = Widest;
        UpdateScrollBars();
    }
}

void TMemoPane::resizeEvent(QResizeEvent* Event) {
    QAbstractScrollArea::resizeEvent(Event);
    UpdateKeepingTheEnd();
}

void TMemoPane::scrollContentsBy(int, int) { viewport()->update(); }

void TMemoPane::MoveTo(std::size_t Line, bool Extend) {
    if (Shown == 0)
        return;
    Line = std::min(Line, Shown - 1);
    if (!Extend || Anchor == NoLine)
        Anchor = Line;
    Cursor = Line;
    QScrollBar* Bar = verticalScrollBar();
    const auto In = static_cast<std::size_t>(LinesInView());
    if (Line < FirstLineInView())
        Bar->setValue(static_cast<int>(Line));
    else if (Line >= FirstLineInView() + In)
        Bar->setValue(static_cast<int>(Line + 1 - In));
    viewport()->update();
}

void TMemoPane::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(Event);
    const std::size_t Line = LineAt(Event->position().toPoint().y());
    if (Line != NoLine)
        MoveTo(Line, Event->modifiers().testFlag(Qt::ShiftModifier));
}

void TMemoPane::mouseMoveEvent(QMouseEvent* Event) {
    if (!(Event->buttons() & Qt::LeftButton) || Anchor == NoLine)
        return QAbstractScrollArea::mouseMoveEvent(Event);
    // Dragging past the top or the bottom edge scrolls on, a line at a time.
    const int Y = Event->position().toPoint().y();
    const std::size_t First = FirstLineInView();
    if (Y < 0)
        MoveTo(First > 0 ? First - 1 : 0, true);
    else
        MoveTo(First + static_cast<std::size_t>(Y / LineHeight()), true);
}

void TMemoPane::keyPressEvent(QKeyEvent* Event) {
    if (Event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(SelectedText());
        return;
    }
    if (Event->matches(QKeySequence::SelectAll)) {
        if (Shown > 0) {
            Anchor = 0;
            Cursor = Shown - 1;
            viewport()->update();
        }
        return;
    }
    const bool Extend = Event->modifiers().testFlag(Qt::ShiftModifier);
    const std::size_t At = Cursor == NoLine ? FirstLineInView() : Cursor;
    const auto Page = static_cast<std::size_t>(LinesInView());
    switch (Event->key()) {
    case Qt::Key_Up:
        return MoveTo(At > 0 ? At - 1 : 0, Extend);
    case Qt::Key_Down:
        return MoveTo(At + 1, Extend);
    case Qt::Key_PageUp:
        return MoveTo(At > Page ? At - Page : 0, Extend);
    case Qt::Key_PageDown:
        return MoveTo(At + Page, Extend);
    case Qt::Key_Home:
        return MoveTo(0, Extend);
    case Qt::Key_End:
        return MoveTo(Shown > 0 ? Shown - 1 : 0, Extend);
    default:
        QAbstractScrollArea::keyPressEvent(Event);
    }
}

QString TMemoPane::SelectedText() const {
    if (Anchor == NoLine)
        return {};
    QStringList Texts;
    for (std::size_t Line = std::min(Anchor, Cursor); Line <= std::max(Anchor, Cursor) && Line < Shown; ++Line)
        Texts << Displayed(Lines.Line(Line));
    return Texts.join(QLatin1Char('\n'));
}
