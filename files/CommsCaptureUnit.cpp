// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommsCaptureUnit.h"

#include "FileStreamUnit.h"

namespace {

bool HasOnlyCrLfLineEnds(const std::string& Text) {
    for (std::size_t I = 0; I < Text.size(); ++I) {
        const char C = Text[I];
        if (C == '\n')
            return false;
        if (C == '\r') {
            if (I + 1 >= Text.size() || Text[I + 1] != '\n')
                return false;
            ++I;
        }
    }
    return true;
}

} // namespace

std::string NormaliseLineEnds(std::string Text) {
    // Our own captures are already normal: keep them without a second copy.
    if (HasOnlyCrLfLineEnds(Text))
        return Text;
    std::string Result;
    Result.reserve(Text.size() + Text.size() / 32);
    for (std::size_t I = 0; I < Text.size(); ++I) {
        const char C = Text[I];
        if (C == '\r') {
            Result += "\r\n";
            if (I + 1 < Text.size() && Text[I + 1] == '\n')
                ++I;
        } else if (C == '\n') {
            Result += "\r\n";
        } else {
            Result += C;
        }
    }
    return Result;
}

std::string LoadCommsCaptureText(const QString& FileName) { return NormaliseLineEnds(ReadWholeFile(FileName)); }
