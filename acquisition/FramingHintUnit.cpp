// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FramingHintUnit.h"

#include <cstdio>

namespace {

std::string Hex(std::string_view Bytes) {
    std::string Text;
    for (const char C : Bytes) {
        char Pair[4];
        std::snprintf(Pair, sizeof Pair, "%02X", static_cast<unsigned char>(C));
        Text += (Text.empty() ? "" : " ") + std::string(Pair);
    }
    return Text;
}

} // namespace

void TFramingHint::Arrived(std::string_view Bytes, double Seconds) {
    if (Bytes.empty())
        return;
    if (!Waiting) {
        Sample.clear();
        SawDollar = SawCr = SawLf = false;
        Bytes8Bit = Count = 0;
        Waiting = true;
        FirstSeconds = Seconds;
    }
    LastSeconds = Seconds;
    if (Sample.size() < SampleBytes)
        Sample.append(Bytes.substr(0, SampleBytes - Sample.size()));
    for (const char C : Bytes) {
        SawDollar = SawDollar || C == '$';
        SawCr = SawCr || C == '\r';
        SawLf = SawLf || C == '\n';
        Bytes8Bit += static_cast<unsigned char>(C) >= 0x80 ? 1 : 0;
    }
    Count += Bytes.size();
}

void TFramingHint::Framed() { Waiting = false; }

std::optional<std::string> TFramingHint::Due(double Seconds) {
    if (!Waiting || LastSeconds - FirstSeconds < QuietSeconds)
        return std::nullopt;
    if (HintSeconds && Seconds - *HintSeconds < RepeatSeconds)
        return std::nullopt;
    HintSeconds = Seconds;
    // Bytes at the wrong speed come out as noise: few "$", many with the
    // top bit set. The right speed with the wrong ending keeps the text.
    const bool Garbled = !SawDollar || Bytes8Bit * 4 > Count;
    std::string Cause;
    if (Garbled)
        Cause = "the wrong speed (the monitor sends at 128000 baud, 8N1; check the adapter)";
    else if (!SawCr && !SawLf)
        Cause = "a missing line ending (each record ends with CR LF)";
    else
        Cause = std::string("the wrong line ending (records end with CR LF; these end with ") +
                (SawCr && !SawLf ? "CR alone"
                 : !SawCr        ? "LF alone"
                                 : "CR and LF apart") +
                ")";
    return "Bytes have arrived for " + std::to_string(static_cast<long>(LastSeconds - FirstSeconds)) +
           " s without one record: likely " + Cause + ". First bytes: " + Hex(Sample);
}
