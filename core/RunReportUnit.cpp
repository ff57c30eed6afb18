// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunReportUnit.h"

#include "JsonTextUnit.h"

#include <QByteArray>
#include <QDateTime>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

std::string ClockText(std::int64_t UtcMs, bool Utc) {
    const QDateTime Time = QDateTime::fromMSecsSinceEpoch(UtcMs, Utc ? Qt::UTC : Qt::LocalTime);
    return Time.toString(Utc ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ") : QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toStdString();
}

std::string ElapsedText(double Seconds) {
    const auto Whole = static_cast<long long>(std::floor(std::max(Seconds, 0.0)));
    char Text[48];
    std::snprintf(Text, sizeof Text, "%lld:%02lld:%02lld", Whole / 3600, Whole / 60 % 60, Whole % 60);
    return Text;
}

std::string Escaped(const std::string& Text) {
    std::string Out;
    for (const char C : Text) {
        switch (C) {
        case '<':
            Out += "&lt;";
            break;
        case '>':
            Out += "&gt;";
            break;
        case '&':
            Out += "&amp;";
            break;
        case '"':
            Out += "&quot;";
            break;
        default:
            Out += C;
        }
    }
    return Out;
}

std::string OptionalClock(const std::optional<std::int64_t>& UtcMs, bool Utc) {
    return UtcMs ? JsonString(ClockText(*UtcMs, Utc)) : "null";
}

std::string MomentsJson(const std::vector<TReportMoment>& Moments, const char* TextKey, bool TextIsNumber) {
    std::string Out = "[";
    for (const TReportMoment& Moment : Moments) {
        Out += (Out.size() > 1 ? "," : "") + std::string("{\"at_s\":") + FixedText(Moment.At) + ",\"" + TextKey +
               "\":" + (TextIsNumber ? Moment.Text : JsonString(Moment.Text)) + "}";
    }
    return Out + "]";
}

} // namespace

int TRunReport::MostOftenLowest() const {
    int Most = TCellBalance::NoCell;
    for (int Cell = 0; Cell < CellCount; ++Cell)
        if (Balance.Cell(Cell).Fitted() &&
            (Most == TCellBalance::NoCell || Balance.Cell(Cell).LowestCount > Balance.Cell(Most).LowestCount))
            Most = Cell;
    return Most;
}

std::string FixedText(double Value, int Decimals) {
    if (std::fabs(Value) < 0.5 * std::pow(10.0, -Decimals))
        Value = 0.0; // never "-0.000"
    char Text[64];
    const auto Result = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::fixed, Decimals);
    return std::string(Text, Result.ptr);
}

// --- Following a run ---------------------------------------------------------

TRunReportBuilder::TRunReportBuilder(std::optional<TAlarmLimits> Limits) : Checking(Limits.has_value()) {
    if (Limits)
        Monitor.SetLimits(*Limits);
    Monitor.OnAlarm = [this](const TAlarmEvent& Event) {
        if (Last)
            Alarms.push_back({SecondsAt(*Last), Event.Text});
    };
}

void TRunReportBuilder::SeriesCleared() {
    Balance.SeriesCleared();
    Monitor.SeriesCleared();
    Alarms.clear();
    Gaps.clear();
    GapRule.Restart();
    First.reset();
    Last.reset();
}

double TRunReportBuilder::SecondsAt(double Time) const { return First ? (Time - *First) * SecondsPerDay : 0.0; }

void TRunReportBuilder::ReadingConsumed(const TReadingRecord& Reading) {
    const double Gap = GapRule.Observe(Reading);
    if (Reading.Kind != rkData)
        return;
    if (Gap > 0 && Last)
        Gaps.push_back({SecondsAt(*Last), FixedText(Gap, 1)});
    if (!First)
        First = Reading.Time;
    Last = Reading.Time;
    Balance.ReadingConsumed(Reading);
    if (Checking)
        Monitor.ReadingConsumed(Reading);
}

void TRunReportBuilder::Fill(TRunReport& Into) const {
    Into.Balance = Balance;
    Into.DurationSeconds = First ? SecondsAt(*Last) : 0.0;
    Into.LargestSpreadAt = SecondsAt(Balance.LargestSpreadTime());
    if (Checking)
        Into.Alarms = Alarms;
    Into.Gaps = Gaps;
}

// --- Writing it --------------------------------------------------------------

std::string RunReportJson(const TRunReport& Report) {
    const TCellBalance& B = Report.Balance;
    std::string Cells = "[";
    for (int Cell = 0; Cell < CellCount; ++Cell) {
        const TCellFigures& C = B.Cell(Cell);
        if (!C.Fitted())
            continue;
        Cells += (Cells.size() > 1 ? "," : "") + std::string("{\"cell\":") + std::to_string(Cell + 1) +
                 ",\"lowest_V\":" + FixedText(C.Lowest) + ",\"highest_V\":" + FixedText(C.Highest) +
                 ",\"average_V\":" + FixedText(C.Average()) + ",\"final_V\":" + FixedText(C.Latest) +
                 ",\"lowest_share\":" + FixedText(B.LowestShare(Cell)) + "}";
    }
    Cells += "]";
    const int Lowest = Report.MostOftenLowest();
    return "{\"source\":" + JsonString(Report.Source) + ",\"device\":" + JsonString(Report.Device) +
           ",\"start_utc\":" + OptionalClock(Report.StartUtcMs, true) +
           ",\"end_utc\":" + OptionalClock(Report.EndUtcMs, true) +
           ",\"start_local\":" + OptionalClock(Report.StartUtcMs, false) +
           ",\"end_local\":" + OptionalClock(Report.EndUtcMs, false) +
           ",\"end_reason\":" + JsonString(Report.EndReason) + ",\"duration_s\":" + FixedText(Report.DurationSeconds) +
           ",\"readings\":" + std::to_string(B.Readings()) + ",\"cells\":" + Cells +
           ",\"largest_spread_V\":" + FixedText(B.LargestSpread()) +
           ",\"largest_spread_at_s\":" + FixedText(Report.LargestSpreadAt) +
           ",\"most_often_lowest_cell\":" + (Lowest == TCellBalance::NoCell ? "null" : std::to_string(Lowest + 1)) +
           ",\"battery_V\":" + FixedText(B.Battery()) + ",\"cells_sum_V\":" + FixedText(B.CellSum()) +
           ",\"largest_sum_difference_V\":" + FixedText(B.LargestSumDifference()) +
           ",\"disconnects\":" + std::to_string(Report.Disconnects) +
           ",\"readings_not_kept\":" + std::to_string(Report.ReadingsNotKept) +
           ",\"gaps\":" + MomentsJson(Report.Gaps, "seconds", true) +
           ",\"alarms\":" + MomentsJson(Report.Alarms, "text", false) +
           ",\"notes\":" + MomentsJson(Report.Notes, "text", false) + "}\n";
}

namespace {

std::string Row(const std::string& Name, const std::string& Value) {
    return "<tr><th>" + Escaped(Name) + "</th><td>" + Escaped(Value) + "</td></tr>\n";
}

std::string MomentAt(const TRunReport& Report, double At) {
    std::string Text = ElapsedText(At) + " into the run";
    if (Report.StartUtcMs)
        Text += " (" + ClockText(*Report.StartUtcMs + std::llround(At * 1000.0), false) + ")";
    return Text;
}

std::string SummaryTable(const TRunReport& Report) {
    const TCellBalance& B = Report.Balance;
    const auto Clock = [](const std::optional<std::int64_t>& Ms) {
        return Ms ? ClockText(*Ms, false) + " (" + ClockText(*Ms, true) + ")"
                  : std::string("not recorded in a capture");
    };
    const int Lowest = Report.MostOftenLowest();
    std::string Out = "<table class=\"summary\">\n";
    Out += Row("Source", Report.Device.empty() || Report.Device == Report.Source
                             ? Report.Source
                             : Report.Source + " (" + Report.Device + ")");
    Out += Row("Start", Clock(Report.StartUtcMs)) + Row("End", Clock(Report.EndUtcMs));
    if (!Report.EndReason.empty())
        Out += Row("Ended", Report.EndReason);
    Out += Row("Duration", ElapsedText(Report.DurationSeconds));
    Out += Row("Readings", std::to_string(B.Readings()));
    Out += Row("Largest spread", FixedText(B.LargestSpread()) + " V at " + MomentAt(Report, Report.LargestSpreadAt));
    Out += Row("Lowest most often", Lowest == TCellBalance::NoCell
                                        ? "-"
                                        : "cell " + std::to_string(Lowest + 1) + " (" +
                                              FixedText(100.0 * B.LowestShare(Lowest), 1) + " % of readings)");
    if (B.HasSumCheck())
        Out += Row("Battery field against the cells", FixedText(B.Battery()) + " V against " + FixedText(B.CellSum()) +
                                                          " V at the end; largest difference " +
                                                          FixedText(B.LargestSumDifference()) + " V");
    Out += Row("Disconnects", std::to_string(Report.Disconnects));
    Out += Row("Gaps", std::to_string(Report.Gaps.size()) +
                           (Report.ReadingsNotKept > 0
                                ? ", " + std::to_string(Report.ReadingsNotKept) + " readings not kept by the journal"
                                : std::string()));
    return Out + "</table>\n";
}

std::string CellTable(const TCellBalance& B) {
    std::string Out = "<table class=\"cells\">\n<tr><th>Cell</th><th>Lowest V</th><th>Highest V</th><th>Average "
                      "V</th><th>Final V</th><th>Lowest in</th></tr>\n";
    for (int Cell = 0; Cell < CellCount; ++Cell) {
        const TCellFigures& C = B.Cell(Cell);
        if (!C.Fitted())
            continue;
        Out += "<tr><td>" + std::to_string(Cell + 1) + "</td><td>" + FixedText(C.Lowest) + "</td><td>" +
               FixedText(C.Highest) + "</td><td>" + FixedText(C.Average()) + "</td><td>" + FixedText(C.Latest) +
               "</td><td>" + FixedText(100.0 * B.LowestShare(Cell), 1) + " %</td></tr>\n";
    }
    return Out + "</table>\n";
}

std::string MomentList(const TRunReport& Report, const std::vector<TReportMoment>& Moments, const char* Suffix) {
    if (Moments.empty())
        return "<p>None.</p>\n";
    std::string Out = "<ul>\n";
    for (const TReportMoment& Moment : Moments)
        Out += "<li>" + Escaped(MomentAt(Report, Moment.At)) + ": " + Escaped(Moment.Text) + Suffix + "</li>\n";
    return Out + "</ul>\n";
}

} // namespace

std::string RunReportHtml(const TRunReport& Report, const std::string& ChartPng) {
    const QByteArray Png = QByteArray::fromRawData(ChartPng.data(), static_cast<qsizetype>(ChartPng.size()));
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>PackMon report: " +
           Escaped(Report.Source) +
           "</title>\n<style>\nbody{font-family:sans-serif;margin:2em;color:#222}\n"
           "table{border-collapse:collapse;margin:1em 0}\nth,td{border:1px solid #ccc;padding:.3em "
           ".6em;text-align:left}\n"
           "table.cells td{text-align:right}\nimg{max-width:100%;border:1px solid #ccc}\n</style>\n</head>\n<body>\n"
           "<h1>PackMon report</h1>\n" +
           SummaryTable(Report) + "<h2>Chart</h2>\n<img alt=\"The pack and its cells over the run\" " +
           "src=\"data:image/png;base64," + Png.toBase64().toStdString() + "\">\n<h2>Cells</h2>\n" +
           CellTable(Report.Balance) + "<h2>Alarms</h2>\n" + MomentList(Report, Report.Alarms, "") + "<h2>Gaps</h2>\n" +
           MomentList(Report, Report.Gaps, " s without readings") + "<h2>Notes</h2>\n" +
           MomentList(Report, Report.Notes, "") + "</body>\n</html>\n";
}
