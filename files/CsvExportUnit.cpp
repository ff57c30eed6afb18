// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvExportUnit.h"

#include "FileStreamUnit.h"
#include "NumberFormatUnit.h"

#include <algorithm>

void AppendCsvField(const std::string& Field, std::string& Line) {
    Line += ',';
    if (Field.size() < CsvFieldWidth)
        Line.append(CsvFieldWidth - Field.size(), ' ');
    Line += Field;
}

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

std::string CsvLine(const TChartData& Chart, std::size_t Index) {
    std::string Line;
    if (Index == 0) {
        AppendCsvField("Time", Line);
        for (int S = 0; S < Chart.SeriesCount(); ++S)
            AppendCsvField(Chart.SeriesTitle(S), Line);
    } else {
        const std::size_t Row = Index - 1;
        AppendCsvField(FormatTimeOfDayMillis(RowTime(Chart, Row)), Line);
        for (int S = 0; S < Chart.SeriesCount(); ++S)
            AppendCsvField(Chart.PointCount(S) > Row ? FloatToStrGeneral(Chart.YValue(S, Row)) : "0", Line);
    }
    return Line.substr(1);
}

void ExportChartToCsv(const TChartData* Chart, const QString& FileName) {
    if (Chart == nullptr)
        return;
    TReplacingFile File(FileName, TReplacingFile::TMessages::SystemText);
    std::string Buffer;
    constexpr std::size_t FlushAt = 1 << 20;
    const std::size_t Lines = CsvRowCount(*Chart) + 1;
    for (std::size_t I = 0; I < Lines; ++I) {
        Buffer += CsvLine(*Chart, I);
        Buffer += "\r\n";
        if (Buffer.size() >= FlushAt) {
            File.Write(Buffer);
            Buffer.clear();
        }
    }
    File.Write(Buffer);
    File.Commit();
}
