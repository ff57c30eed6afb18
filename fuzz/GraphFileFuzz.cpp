// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Arbitrary graph files into a chart: no crash, no hang, and never more
// points than the file has room for (memory bounded by the file's size).

#include "ConvertUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Bytes(reinterpret_cast<const char*>(Data), Size);
    TProgramSeriesStore Chart;
    try {
        ReadGraphsInto(Bytes, Chart);
    } catch (const EPackMonException&) {
    }
    std::size_t Points = 0;
    for (int S = 0; S < Chart.SeriesCount(); ++S)
        Points += Chart.PointCount(S);
    if (Points > Size / 2)
        std::abort();
    return 0;
}
