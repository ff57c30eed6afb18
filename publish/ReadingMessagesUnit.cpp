// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingMessagesUnit.h"

#include "JournalSchemaUnit.h"


std::string MillivoltsText(std::int64_t Millivolts) {
    const bool Negative = Millivolts < 0;
    const std::uint64_t Magnitude =
        Negative ? 0 - static_cast<std::uint64_t>(Millivolts) : static_cast<std::uint64_t>(Millivolts);
    std::string Fraction = std::to_string(Magnitude % 1000);
    Fraction.insert(0, 3 - Fraction.size(), '0');
    return (Negative ? "-" : "") + std::to_string(Magnitude / 1000) + "." + Fraction;
}

std::string ReadingJson(const TJournalReading& Reading, std::int64_t Seq) {
    std::string Cells;
    int Lowest = -1, Highest = -1;
    for (int Cell = 0; Cell < CellCount; ++Cell) {
        const std::int32_t Value = Reading.Millivolts[1 + Cell];
        Cells += (Cell > 0 ? "," : "") + MillivoltsText(Value);
        if (Value <= 0)
            continue;
        if (Lowest < 0 || Value < Reading.Millivolts[1 + Lowest])
            Lowest = Cell;
        if (Highest < 0 || Value > Reading.Millivolts[1 + Highest])
            Highest = Cell;
    }
    const auto CellNumber = [](int Cell) { return Cell < 0 ? std::string("null") : std::to_string(Cell + 1); };
    const std::string Spread =
        Lowest < 0 ? "null" : MillivoltsText(Reading.Millivolts[1 + Highest] - Reading.Millivolts[1 + Lowest]);
    return "{\"seq\":" + std::to_string(Seq) + ",\"utc\":\"" + IsoUtc(Reading.ReceivedUtcMs) +
           "\",\"elapsed_s\":" + MillivoltsText(Reading.ElapsedMs) +
           ",\"battery_V\":" + MillivoltsText(Reading.Millivolts[0]) + ",\"cells_V\":[" + Cells +
           "],\"spread_V\":" + Spread + ",\"lowest_cell\":" + CellNumber(Lowest) +
           ",\"highest_cell\":" + CellNumber(Highest) + "}";
}

std::string EventJson(std::int64_t UtcMs, const std::string& Kind, const std::string& Text) {
    return "{\"utc\":\"" + IsoUtc(UtcMs) + "\",\"kind\":" + JsonString(Kind) + ",\"text\":" + JsonString(Text) + "}";
}
