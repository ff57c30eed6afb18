// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The comms thread's receive buffer. Records are framed from its front, so
// deleting the front only moves a read position; the bytes are moved down
// when more is appended and at least as much has been consumed as is left,
// which keeps every byte's share of that work constant however large a
// replayed capture is. Searches remember how far they have looked, so a
// buffer that is still waiting for its "$" or its CR LF is not rescanned
// from its start on every pass.
//
// Views handed out by View() stay valid until the next Append or Clear:
// the parser decodes a record from a view after the record has already
// left the buffer.
class TRxedBuffer {
  public:
    TRxedBuffer() = default;
    explicit TRxedBuffer(std::string Text) : Data(std::move(Text)) {}

    std::size_t Length() const { return Data.size() - Head; }
    bool Empty() const { return Length() == 0; }
    std::string_view View() const { return std::string_view(Data).substr(Head); }

    void Append(const char* Bytes, std::size_t Count);
    void Clear();
    void DeleteFront(std::size_t Count);

    // 0-based positions within View(), or npos.
    std::size_t FindRecordStart();
    std::size_t FindLineEnd();
    // The first "$" after the first byte: where a record cut short ends.
    std::size_t FindNextRecordStart();

    static constexpr std::size_t npos = std::string_view::npos;

  private:
    // The first "$" at or after NoneBefore, which it moves on.
    std::size_t FindDollar(std::size_t& NoneBefore) const;

    std::string Data;
    std::size_t Head = 0;
    // Counted from Head: the first NoDollarBefore bytes hold no "$", and
    // no CR LF starts before NoLineEndBefore.
    std::size_t NoDollarBefore = 0;
    std::size_t NoLineEndBefore = 0;
    // No "$" from position 1 up to NoSecondDollarBefore.
    std::size_t NoSecondDollarBefore = 1;
};
