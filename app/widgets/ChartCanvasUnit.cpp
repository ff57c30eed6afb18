// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartCanvasUnit.h"

QColor ToQColor(TColor Color) {
    return QColor(static_cast<int>(Color & 0xFF), static_cast<int>((Color >> 8) & 0xFF),
                  static_cast<int>((Color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& Color) {
    return static_cast<TColor>(Color.red()) | static_cast<TColor>(Color.green()) << 8 |
           static_cast<TColor>(Color.blue()) << 16;
}

void TChartCanvas::SetFontSize(int Points) {
    QFont Font = Painter.font();
    Font.setPointSize(Points);
    Painter.setFont(Font);
}

void TChartCanvas::SetFontBold(bool Bold) {
    QFont Font = Painter.font();
    Font.setBold(Bold);
    Painter.setFont(Font);
}

void TChartCanvas::SetFontColor(TColor Color) { Painter.setPen(ToQColor(Color)); }

void TChartCanvas::SetBrushStyle(Qt::BrushStyle Style) {
    QBrush Brush = Painter.brush();
    Brush.setStyle(Style);
    Painter.setBrush(Brush);
    Painter.setBackgroundMode(Style == Qt::SolidPattern ? Qt::OpaqueMode : Qt::TransparentMode);
}

int TChartCanvas::TextWidth(const QString& Text) const { return Painter.fontMetrics().horizontalAdvance(Text); }

void TChartCanvas::TextOut(int X, int Y, const QString& Text) {
    Painter.drawText(X, Y + Painter.fontMetrics().ascent(), Text);
}
