// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Bytes that arrive and never make a record mean a wrong line ending or a
// wrong speed; without a word the user would watch an empty chart for
// hours. After QuietSeconds of bytes with no record framed it gives one
// line naming the likely cause and the first bytes in hex, and at most one
// more a minute while it lasts.
class TFramingHint {
  public:
    static constexpr double QuietSeconds = 5.0;
    static constexpr double RepeatSeconds = 60.0;
    static constexpr std::size_t SampleBytes = 16;

    // Seconds run on a monotonic clock.
    void Arrived(std::string_view Bytes, double Seconds);
    void Framed();
    // The hint, when one is due.
    std::optional<std::string> Due(double Seconds);

  private:
    bool Waiting = false; // bytes have arrived since the last record
    double FirstSeconds = 0.0;
    double LastSeconds = 0.0;
    std::optional<double> HintSeconds;
    std::string Sample;
    bool SawDollar = false, SawCr = false, SawLf = false;
    std::size_t Bytes8Bit = 0, Count = 0;
};
