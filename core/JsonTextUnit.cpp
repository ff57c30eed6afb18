// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "JsonTextUnit.h"

#include <cstdio>

std::string JsonString(const std::string& Text) {
    std::string Out = "\"";
    for (const char C : Text) {
        const auto Byte = static_cast<unsigned char>(C);
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += C;
        } else if (Byte < 0x20) {
            char Escaped[8];
            std::snprintf(Escaped, sizeof Escaped, "\\u%04x", Byte);
            Out += Escaped;
        } else {
            Out += C;
        }
    }
    return Out + '"';
}
