// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string>

// Record lines as the monitor sends them, for sample files and benchmarks.

// "$1;<sample>;0;<cell 1>;...;<cell 8>;<pack>" in millivolts, CR LF.
std::string DataRecordLine(std::size_t Sample, const std::array<int, 8>& CellMilli);

// A short session of an 8-cell LiFePO4 pack: a stored log of its last
// charge (a bulk transfer at 10 s intervals), then five minutes of live
// readings at 1 s intervals while it discharges. Always the same bytes.
std::string MakeSampleCapture();

// Records of a long discharge, about 60 bytes each, for timing large files.
std::string MakeLongCapture(std::size_t Records);
