// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPainter>
#include <QString>
#include <cstdint>

// A colour as the settings file and the colour dialog hold it: 0x00BBGGRR.
using TColor = std::uint32_t;
QColor ToQColor(TColor Color);
TColor FromQColor(const QColor& Color);

// Drawing on the chart from the hook, in the chart control's pixels.
class TChartCanvas {
  public:
    explicit TChartCanvas(QPainter& APainter) : Painter(APainter) {}
    void Save() { Painter.save(); }
    void Restore() { Painter.restore(); }
    void SetFontSize(int Points);
    void SetFontBold(bool Bold);
    void SetFontColor(TColor Color);
    void SetBrushStyle(Qt::BrushStyle Style);
    int TextWidth(const QString& Text) const;
    // Text with its top-left corner at (X, Y).
    void TextOut(int X, int Y, const QString& Text);

  private:
    QPainter& Painter;
};
