// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvExportUnit.h"

#include "FileStreamUnit.h"
#include "NumberFormatUnit.h"

#include <algorithm>
#include <future>

namespace {

// Fields are joined by "," and right-aligned; the first one has no comma.
void AppendField(std::string_view Field, std::string& Line, bool First) {
    if (!First)
        Line += ',';
    if (Field.size() < CsvFieldWidth)
        Line.append(CsvFieldWidth - Field.size(), ' ');
    Line += Field;
}

} // namespace

void AppendCsvField(const std::string& Field, std::string& Line) { AppendField(Field, Line, false); }

std::size_t CsvRowCount(const TChartData& Chart) {
    std::size_t Rows = 0;
    for (int S = 0; S < Chart.SeriesCount(); ++S)
        Rows = std::max(Rows, Chart.PointCount(S));
    return Rows;
}

namespace {

double RowTime(const TChartData& Chart, std::size_t Row) {
    for (int S = 0; S < Chart.SeriesCount(); ++S)
        if (Chart.PointCount(S) > Row)
            return Chart.XValue(S, Row);
    return 0.0;
}

} // namespace

namespace {

// Straight onto the end of Out: an export of millions of rows makes no
// line of its own for each.
void AppendCsvLine(const TChartData& Chart, std::size_t Index, std::string& Out) {
    if (Index == 0) {
        AppendField("Time", Out, true);
        for (int S = 0; S < Chart.SeriesCount(); ++S)
            AppendField(Chart.SeriesTitle(S), Out, false);
        return;
    }
    const std::size_t Row = Index - 1;
    AppendField(FormatTimeOfDayMillis(RowTime(Chart, Row)), Out, true);
    for (int S = 0; S < Chart.SeriesCount(); ++S) {
        Out += ',';
        AppendFloatGeneral(Chart.PointCount(S) > Row ? Chart.YValue(S, Row) : 0.0, CsvFieldWidth, Out);
    }
}

} // namespace

std::string CsvLine(const TChartData& Chart, std::size_t Index) {
    std::string Line;
    AppendCsvLine(Chart, Index, Line);
    return Line;
}

namespace {

void AppendCsvLines(const TChartData& Chart, std::size_t From, std::size_t To, std::string& Out) {
    for (std::size_t I = From; I < To; ++I) {
        AppendCsvLine(Chart, I, Out);
        Out += "\r\n";
    }
}

} // namespace

void ExportChartToCsv(const TChartData* Chart, const QString& FileName) {
    if (Chart == nullptr)
        return;
    TReplacingFile File(FileName, TReplacingFile::TMessages::SystemText);
    // Formatting is nearly all of an export's cost, so a second thread
    // formats every other block of lines; blocks are written in order, and
    // at most two are held.
    constexpr std::size_t BlockLines = 8192;
    const std::size_t Lines = CsvRowCount(*Chart) + 1;
    std::string Mine, Theirs;
    for (std::size_t From = 0; From < Lines; From += 2 * BlockLines) {
        const std::size_t Middle = std::min(From + BlockLines, Lines);
        const std::size_t To = std::min(From + 2 * BlockLines, Lines);
        Mine.clear();
        Theirs.clear();
        std::future<void> Other;
        if (Middle < To)
            Other = std::async(std::launch::async, [&] { AppendCsvLines(*Chart, Middle, To, Theirs); });
        AppendCsvLines(*Chart, From, Middle, Mine);
        if (Other.valid())
            Other.get();
        File.Write(Mine);
        File.Write(Theirs);
    }
    File.Commit();
}
