// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The text of a log pane, byte for byte as it is saved: lines separated by
// CR LF. Lines added one at a time each end with CR LF; text set whole
// keeps its own final line end, or its lack of one. An index of line
// starts lets a view show any of a million lines without copying them.
class TMemoText {
  public:
    const std::string& Text() const { return Bytes; }
    std::size_t LineCount() const { return LineStarts.size(); }
    std::string_view Line(std::size_t Index) const;

    void Clear();
    void SetText(std::string Text);
    void AddLine(std::string_view Line);

  private:
    std::string Bytes;
    std::vector<std::size_t> LineStarts;
};
