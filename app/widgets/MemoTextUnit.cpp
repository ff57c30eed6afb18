// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoTextUnit.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

bool EndsWithLineEnd(const std::string& Text) { return Text.ends_with("\r\n"); }

} // namespace

std::string TMemoText::Text() const {
    std::string Whole;
    Whole.reserve(Bytes);
    for (const std::string& Piece : Pieces)
        Whole += Piece;
    return Whole;
}

std::size_t TMemoText::PieceOf(std::uint64_t Start) const {
    const auto After = std::upper_bound(PieceStarts.begin(), PieceStarts.end(), Start);
    return static_cast<std::size_t>(After - PieceStarts.begin()) - 1;
}

std::string_view TMemoText::Line(std::size_t Index) const {
    if (Index >= Starts.size())
        throw std::out_of_range("log line " + std::to_string(Index) + " of " + std::to_string(Starts.size()));
    const std::uint64_t Start = Starts[Index];
    const std::size_t P = PieceOf(Start);
    // Every line but the last ends with CR LF, and pieces lie end to end.
    const std::uint64_t End =
        Index + 1 < Starts.size() ? Starts[Index + 1] - 2 : Bytes - (EndsWithLineEnd(Pieces.back()) ? 2 : 0);
    return std::string_view(Pieces[P]).substr(Start - PieceStarts[P], End - Start);
}

void TMemoText::Clear() {
    std::vector<std::string>().swap(Pieces);
    std::vector<std::uint64_t>().swap(PieceStarts);
    Starts.clear();
    Bytes = Longest = 0;
}

void TMemoText::SetText(std::string Text) {
    Clear();
    if (Text.empty())
        return;
    const char* const Base = Text.data();
    const std::size_t Size = Text.size();
    std::size_t LineStart = 0;
    std::size_t From = 0;
    Starts.push_back(0);
    while (From + 1 < Size) {
        const void* Hit = std::memchr(Base + From, '\r', Size - 1 - From);
        if (Hit == nullptr)
            break;
        const std::size_t Cr = static_cast<std::size_t>(static_cast<const char*>(Hit) - Base);
        From = Cr + 1;
        if (Base[From] == '\n') {
            Longest = std::max(Longest, Cr - LineStart);
            From += 1;
            LineStart = From;
            if (From < Size)
                Starts.push_back(From);
        }
    }
    if (LineStart < Size)
        Longest = std::max(Longest, Size - LineStart);
    Bytes = Size;
    PieceStarts.push_back(0);
    Pieces.push_back(std::move(Text));
}

std::string& TMemoText::RoomFor(std::size_t Length) {
    if (Pieces.empty() || Pieces.back().capacity() - Pieces.back().size() < Length) {
        PieceStarts.push_back(Bytes);
        Pieces.emplace_back().reserve(std::max(PieceSize, Length));
    }
    return Pieces.back();
}

void TMemoText::AddLine(std::string_view Line) {
    if (!Pieces.empty() && !EndsWithLineEnd(Pieces.back())) {
        Pieces.back() += "\r\n";
        Bytes += 2;
    }
    std::string& Piece = RoomFor(Line.size() + 2);
    Starts.push_back(Bytes);
    Piece += Line;
    Piece += "\r\n";
    Bytes += Line.size() + 2;
    Longest = std::max(Longest, Line.size());
}
