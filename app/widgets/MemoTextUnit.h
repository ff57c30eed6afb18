// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChunkedColumnUnit.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text of a log pane, byte for byte as it is saved: lines separated by
// CR LF. Lines added one at a time each end with CR LF; text set whole
// keeps its own final line end, or its lack of one.
//
// The bytes are held in pieces of about a megabyte that never move once
// written, so adding a line costs the same after hours of logging as at
// the start, with no pause while a big block is copied; a line never spans
// two pieces. An index of line starts lets a view show any line without
// copying.
class TMemoText {
  public:
    // The whole text, as a file gets it.
    std::string Text() const;
    std::size_t Size() const { return Bytes; }
    std::size_t LineCount() const { return Starts.size(); }
    std::string_view Line(std::size_t Index) const;
    // The longest line's length in bytes.
    std::size_t LongestLine() const { return Longest; }

    void Clear();
    void SetText(std::string Text);
    void AddLine(std::string_view Line);

  private:
    static constexpr std::size_t PieceSize = std::size_t{1} << 20;

    std::size_t PieceOf(std::uint64_t Start) const;
    std::string& RoomFor(std::size_t Length);

    std::vector<std::string> Pieces;
    std::vector<std::uint64_t> PieceStarts; // where each piece stands in the whole text
    TChunkedColumn<std::uint64_t> Starts;   // where each line starts in the whole text
    std::size_t Bytes = 0;
    std::size_t Longest = 0;
};
