// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvExportUnit.h"
#include "FileStreamUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

class TTableChart : public TChartData {
  public:
    std::vector<std::vector<std::pair<double, double>>> Points = std::vector<std::vector<std::pair<double, double>>>(9);
    std::string Name() const override { return "Chart1"; }
    int SeriesCount() const override { return 9; }
    std::string SeriesTitle(int S) const override {
        return S == 0 ? "BatteryVolts" : "Cell" + std::to_string(S) + "Volts";
    }
    std::size_t PointCount(int S) const override { return Points[S].size(); }
    double XValue(int S, std::size_t P) const override { return Points[S][P].first; }
    double YValue(int S, std::size_t P) const override { return Points[S][P].second; }
    double MaxYValue(int) const override { return 0; }
    void AddXY(int S, double X, double Y) override { Points[S].push_back({X, Y}); }
    void SetActive(int, bool) override {}
};

const std::string HeaderLine =
    "          Time,  BatteryVolts,    Cell1Volts,    Cell2Volts,    Cell3Volts,    Cell4Volts,"
    "    Cell5Volts,    Cell6Volts,    Cell7Volts,    Cell8Volts";

TEST(CsvExport, HeaderAndDataLinesAreRightAlignedToFourteen) {
    TTableChart Chart;
    EXPECT_EQ(CsvLine(Chart, 0), HeaderLine);
    Chart.AddXY(0, 60 / SecondsPerDay, 12.6);
    Chart.AddXY(1, 60 / SecondsPerDay, 3.15);
    const std::string Zero = ",             0";
    std::string Expected = "  00:01:00.000,          12.6,          3.15";
    for (int I = 0; I < 7; ++I)
        Expected += Zero;
    EXPECT_EQ(CsvLine(Chart, 1), Expected);
}

TEST(CsvExport, NumbersLongFieldsAndShortSeries) {
    TTableChart Chart;
    Chart.AddXY(0, 1 / SecondsPerDay, 1234.5);
    Chart.AddXY(0, 2 / SecondsPerDay, 1.0 / 3.0);
    Chart.AddXY(0, 25.0 / 24.0, -0.005);
    Chart.AddXY(1, 1 / SecondsPerDay, 3.3);
    EXPECT_EQ(CsvLine(Chart, 1).substr(0, 29), "  00:00:01.000,        1234.5");
    EXPECT_EQ(CsvLine(Chart, 2).substr(15, 18), "0.333333333333333,") << "15 characters and more are written whole";
    EXPECT_EQ(CsvLine(Chart, 3).substr(0, 29), "  01:00:00.000,        -0.005");
    EXPECT_EQ(CsvLine(Chart, 3).substr(29, 15), ",             0") << "cell 1 has no third point";
    EXPECT_EQ(CsvRowCount(Chart), 3u);
}

TEST(CsvExport, RowsPastSeriesZeroTakeTheirTimeFromTheNextSeriesThatHasThePoint) {
    TTableChart Chart;
    Chart.AddXY(0, 1 / SecondsPerDay, 26.4);
    for (int I = 1; I <= 3; ++I)
        Chart.AddXY(2, I / SecondsPerDay, 3.3);
    EXPECT_EQ(CsvLine(Chart, 3).substr(0, 29), "  00:00:03.000,             0");
}

TEST(CsvExport, FilesAreWholeWithCrLfAndFailuresCarryTheSystemsText) {
    QTemporaryDir Dir;
    TTableChart Chart;
    const QString Name = Dir.filePath("run.CSV");
    ExportChartToCsv(&Chart, Name);
    EXPECT_EQ(ReadWholeFile(Name), HeaderLine + "\r\n") << "an empty chart gives the header alone";
    Chart.AddXY(0, 0, 26.4);
    ExportChartToCsv(&Chart, Name);
    EXPECT_EQ(ReadWholeFile(Name), HeaderLine + "\r\n" + CsvLine(Chart, 1) + "\r\n");
    ExportChartToCsv(nullptr, Name);

    // Long enough for the lines to be made in several blocks at once.
    for (int I = 1; I < 40000; ++I)
        Chart.AddXY(0, I / SecondsPerDay, 26.4 + I / 1000.0);
    ExportChartToCsv(&Chart, Name);
    std::string Expected;
    for (std::size_t Line = 0; Line <= 40000; ++Line)
        Expected += CsvLine(Chart, Line) + "\r\n";
    EXPECT_TRUE(ReadWholeFile(Name) == Expected) << "every line once, in order";

    try {
        ExportChartToCsv(&Chart, Dir.filePath("missing/run.CSV"));
        FAIL() << "a missing folder must fail";
    } catch (const EPackMonException& E) {
        EXPECT_EQ(E.Message(), "No such file or directory");
    }
}

} // namespace
