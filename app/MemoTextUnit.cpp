// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoTextUnit.h"

#include <cstring>

namespace {

bool EndsWithLineEnd(const std::string& Text) { return Text.size() >= 2 && Text.ends_with("\r\n"); }

} // namespace

std::string_view TMemoText::Line(std::size_t Index) const {
    const std::size_t Start = LineStarts.at(Index);
    std::size_t End = Index + 1 < LineStarts.size() ? LineStarts[Index + 1] - 2 : Bytes.size();
    if (Index + 1 == LineStarts.size() && EndsWithLineEnd(Bytes))
        End -= 2;
    return std::string_view(Bytes).substr(Start, End - Start);
}

void TMemoText::Clear() {
    std::string().swap(Bytes);
    std::vector<std::size_t>().swap(LineStarts);
}

void TMemoText::SetText(std::string Text) {
    Bytes = std::move(Text);
    LineStarts.clear();
    if (Bytes.empty())
        return;
    LineStarts.push_back(0);
    const char* const Base = Bytes.data();
    const std::size_t Size = Bytes.size();
    std::size_t From = 0;
    while (From + 1 < Size) {
        const void* Hit = std::memchr(Base + From, '\r', Size - 1 - From);
        if (Hit == nullptr)
            break;
        const std::size_t Cr = static_cast<std::size_t>(static_cast<const char*>(Hit) - Base);
        From = Cr + 1;
        if (Base[From] == '\n') {
            From += 1;
            if (From < Size)
                LineStarts.push_back(From);
        }
    }
    LineStarts.shrink_to_fit();
}

void TMemoText::AddLine(std::string_view Line) {
    if (!Bytes.empty() && !EndsWithLineEnd(Bytes))
        Bytes += "\r\n";
    LineStarts.push_back(Bytes.size());
    Bytes += Line;
    Bytes += "\r\n";
}
