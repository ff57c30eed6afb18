// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvExportUnit.h"

#include "FileStreamUnit.h"
#include "NumberFormatUnit.h"

#include <algorithm>
#include <deque>
#include <future>
#include <vector>

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
    // A block's lines all see the same series, so their sizes are asked once.
    const int Series = Chart.SeriesCount();
    std::vector<std::size_t> Counts(static_cast<std::size_t>(Series));
    for (int S = 0; S < Series; ++S)
        Counts[static_cast<std::size_t>(S)] = Chart.PointCount(S);
    Out.reserve(Out.size() + (To - From) * ((static_cast<std::size_t>(Series) + 1) * (CsvFieldWidth + 1) + 2));
    for (std::size_t I = From; I < To; ++I) {
        if (I == 0) {
            AppendCsvLine(Chart, I, Out);
        } else {
            const std::size_t Row = I - 1;
            int First = 0;
            while (First < Series && Counts[static_cast<std::size_t>(First)] <= Row)
                ++First;
            AppendField(FormatTimeOfDayMillis(First < Series ? Chart.XValue(First, Row) : 0.0), Out, true);
            for (int S = 0; S < Series; ++S) {
                Out += ',';
                AppendFloatGeneral(Counts[static_cast<std::size_t>(S)] > Row ? Chart.YValue(S, Row) : 0.0,
                                   CsvFieldWidth, Out);
            }
        }
        Out += "\r\n";
    }
}

} // namespace

void ExportChartToCsv(const TChartData* Chart, const QString& FileName) {
    if (Chart == nullptr)
        return;
    TReplacingFile File(FileName, TReplacingFile::TMessages::SystemText);
    // Formatting is nearly all of an export's cost: two blocks of lines are
    // formatted on threads of their own while the one before them is
    // written, in order; at most three are held.
    constexpr std::size_t BlockLines = 8192;
    const std::size_t Lines = CsvRowCount(*Chart) + 1;
    std::deque<std::future<std::string>> Ahead;
    std::size_t Next = 0;
    const auto FormatNext = [&] {
        const std::size_t From = Next, To = std::min(Next + BlockLines, Lines);
        Ahead.push_back(std::async(std::launch::async, [Chart, From, To] {
            std::string Block;
            AppendCsvLines(*Chart, From, To, Block);
            return Block;
        }));
        Next = To;
    };
    while (Next < Lines && Ahead.size() < 2)
        FormatNext();
    while (!Ahead.empty()) {
        const std::string Block = Ahead.front().get();
        Ahead.pop_front();
        if (Next < Lines)
            FormatNext();
        File.Write(Block);
    }
    File.Commit();
}
