// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Record lines as the monitor sends them, for sample files and benchmarks.

// A plausible 8-cell LiFePO4 pack: it discharges and recharges in cycles
// of CycleSamples samples, each cell with its own small offset and a few
// millivolts of noise, cell 5 weaker than the rest (it sags further under
// load and lags on charge). Always the same values for the same seed.
class TPackWaveform {
  public:
    explicit TPackWaveform(std::size_t ACycleSamples = 3600, std::uint64_t Seed = 20240305);
    std::array<int, 8> CellsAt(std::size_t Sample);

  private:
    int Noise(int Amplitude);
    std::size_t CycleSamples;
    std::uint64_t State;
};

// "$1;<sample>;0;<cell 1>;...;<cell 8>;<pack>" in millivolts, CR LF.
std::string DataRecordLine(std::size_t Sample, const std::array<int, 8>& CellMilli);

// A short session of an 8-cell LiFePO4 pack: a stored log of its last
// charge (a bulk transfer at 10 s intervals), then five minutes of live
// readings at 1 s intervals while it discharges. Always the same bytes.
std::string MakeSampleCapture();

// Records of a long discharge, about 60 bytes each, for timing large files.
std::string MakeLongCapture(std::size_t Records);
