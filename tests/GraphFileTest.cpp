// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileStreamUnit.h"
#include "GraphFileUnit.h"
#include "PackMonConstantsAndTypesUnit.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

// A chart of nine series held in memory.
class TMemoryChart : public TChartData {
  public:
    struct TSeries {
        std::vector<double> X, Y;
        bool Active = false;
    };
    std::vector<TSeries> Series = std::vector<TSeries>(9);

    std::string Name() const override { return "Chart1"; }
    int SeriesCount() const override { return static_cast<int>(Series.size()); }
    std::string SeriesTitle(int S) const override {
        return S == 0 ? "BatteryVolts" : "Cell" + std::to_string(S) + "Volts";
    }
    std::size_t PointCount(int S) const override { return Series[S].Y.size(); }
    double XValue(int S, std::size_t P) const override { return Series[S].X[P]; }
    double YValue(int S, std::size_t P) const override { return Series[S].Y[P]; }
    double MaxYValue(int S) const override {
        return Series[S].Y.empty() ? 0.0 : *std::max_element(Series[S].Y.begin(), Series[S].Y.end());
    }
    void AddXY(int S, double X, double Y) override {
        Series[S].X.push_back(X);
        Series[S].Y.push_back(Y);
    }
    void SetActive(int S, bool Active) override { Series[S].Active = Active; }
};

class TMemoryHost : public TGraphFileHost {
  public:
    TMemoryChart Chart;
    std::string OwnerName() const override { return "PackMonMainForm"; }
    TGraphComponent FindComponent(const std::string& Name) override {
        std::string Lower = Name;
        std::transform(Lower.begin(), Lower.end(), Lower.begin(), ::tolower);
        if (Lower == "chart1")
            return {TGraphComponent::Chart, &Chart, nullptr};
        if (Lower == "commsmemo")
            return {TGraphComponent::Other, nullptr, nullptr};
        return {};
    }
};

std::string Hex(const std::string& Bytes) {
    std::string Text;
    char Buffer[4];
    for (unsigned char C : Bytes) {
        std::snprintf(Buffer, sizeof Buffer, "%02X ", C);
        Text += Buffer;
    }
    return Text;
}

const std::string Header = std::string("\x0F") + "PackMonMainForm" + "\x06" + "Chart1";

std::string Int32(std::int32_t V) {
    std::string Out;
    for (int I = 0; I < 4; ++I)
        Out += static_cast<char>((static_cast<std::uint32_t>(V) >> (8 * I)) & 0xFF);
    return Out;
}

TEST(GraphFile, ProgramFileIsByteForByteAsDocumented) {
    TMemoryChart Chart;
    EXPECT_EQ(ChartRecordBytes("PackMonMainForm", Chart).size(), 63u) << "an empty chart";
    Chart.AddXY(0, 0, 12.345);
    Chart.AddXY(0, 0, 12.35);
    Chart.AddXY(1, 0, 3.701);
    const std::string Bytes = ChartRecordBytes("PackMonMainForm", Chart);
    ASSERT_EQ(Bytes.size(), 69u);
    EXPECT_EQ(Bytes.substr(0, 23), Header);
    EXPECT_EQ(
        Hex(Bytes.substr(23)), "09 00 00 00 02 00 00 00 39 30 3E 30 01 00 00 00 75 0E " + [] {
            std::string Zeros;
            for (int I = 0; I < 7; ++I)
                Zeros += "00 00 00 00 ";
            return Zeros;
        }());
}

TEST(GraphFile, ValuesRoundHalfToEvenAndWrapModulo65536) {
    TMemoryChart Chart;
    for (double V : {0.0005, 0.0015, -0.005, 65.536, 70.0, 3.7125})
        Chart.AddXY(2, 0, V);
    TMemoryHost Host;
    ReadGraphsBytes(ChartRecordBytes("PackMonMainForm", Chart), Host);
    const std::vector<double> Expected = {0.0, 0.002, 65.531, 0.0, 4.464, 3.712};
    ASSERT_EQ(Host.Chart.Series[2].Y.size(), Expected.size());
    for (std::size_t I = 0; I < Expected.size(); ++I)
        EXPECT_NEAR(Host.Chart.Series[2].Y[I], Expected[I], 1e-9) << I;
}

TEST(GraphFile, ReloadKeepsValuesAndOrderAndPlacesPointsAtWholeSeconds) {
    TMemoryChart Chart;
    for (int I = 0; I < 50; ++I) {
        Chart.AddXY(0, I * 0.37, 26.0 + I * 0.011);
        Chart.AddXY(4, I * 0.37, I % 2 == 0 ? 0.0 : 3.3);
    }
    TMemoryHost Host;
    ReadGraphsBytes(ChartRecordBytes("PackMonMainForm", Chart), Host);
    for (int I = 0; I < 50; ++I) {
        EXPECT_NEAR(Host.Chart.Series[0].Y[I], 26.0 + I * 0.011, 0.0005);
        EXPECT_DOUBLE_EQ(Host.Chart.Series[0].X[I], (I + 1) / SecondsPerDay);
    }
    EXPECT_TRUE(Host.Chart.Series[0].Active);
    EXPECT_TRUE(Host.Chart.Series[4].Active) << "any value above 0 shows a series";
    EXPECT_FALSE(Host.Chart.Series[1].Active) << "an empty series is hidden";
}

TEST(GraphFile, ShortAndRepeatedAndForeignRecords) {
    TMemoryHost Host;
    ReadGraphsBytes("", Host);
    EXPECT_EQ(Host.Chart.Series[0].Y.size(), 0u) << "a 0-byte file is no error";

    // Two blocks only, then a second record for the same chart.
    const std::string TwoBlocks = Header + Int32(2) + Int32(1) + "\x10\x27" + Int32(0);
    ReadGraphsBytes(TwoBlocks + TwoBlocks, Host);
    ASSERT_EQ(Host.Chart.Series[0].Y.size(), 2u);
    EXPECT_DOUBLE_EQ(Host.Chart.Series[0].X[1], 1 / SecondsPerDay) << "the count starts again at 1 s";
    EXPECT_TRUE(Host.Chart.Series[0].Active);
    EXPECT_FALSE(Host.Chart.Series[8].Active);

    // A record for a component that is not a chart reads nothing more, and
    // an unknown owner is skipped name by name.
    TMemoryHost Other;
    ReadGraphsBytes(std::string("\x07Unknown") +
                        "\x0F"
                        "PackMonMainForm" +
                        "\x09"
                        "CommsMemo" +
                        TwoBlocks,
                    Other);
    EXPECT_EQ(Other.Chart.Series[0].Y.size(), 1u);
}

TEST(GraphFile, DamagedFilesFailCleanly) {
    TMemoryChart Chart;
    for (int I = 0; I < 5; ++I)
        Chart.AddXY(0, 0, 3.3);
    const std::string Whole = ChartRecordBytes("PackMonMainForm", Chart);

    TMemoryHost Truncated;
    EXPECT_EQ(Failure([&] { ReadGraphsBytes(Whole.substr(0, Whole.size() - 20), Truncated); }), "Stream read error");
    EXPECT_EQ(Truncated.Chart.Series[0].Y.size(), 5u) << "the points read stay";
    EXPECT_FALSE(Truncated.Chart.Series[0].Active) << "but their series stay hidden";

    for (std::size_t Length = 0; Length < Whole.size(); ++Length) {
        TMemoryHost Host;
        const std::string Message = Failure([&] { ReadGraphsBytes(Whole.substr(0, Length), Host); });
        // An empty file holds no record; any other cut ends a record early.
        EXPECT_EQ(Message, Length == 0 ? "(no failure)" : "Stream read error") << Length;
    }

    TMemoryHost TooMany;
    std::string Ten = Header + Int32(10);
    for (int K = 0; K < 10; ++K)
        Ten += Int32(1) + std::string("\x01\x00", 2);
    EXPECT_EQ(Failure([&] { ReadGraphsBytes(Ten, TooMany); }), "List index out of bounds (9)");

    TMemoryHost Hostile;
    const std::string Promise = Header + Int32(1) + Int32(2000000000) + std::string("\x01\x00\x02\x00", 4);
    EXPECT_EQ(Failure([&] { ReadGraphsBytes(Promise, Hostile); }), "Stream read error");
    EXPECT_EQ(Hostile.Chart.Series[0].Y.size(), 2u);
}

TEST(GraphFile, RandomBytesNeverCrash) {
    std::mt19937 Random(12345);
    for (int Round = 0; Round < 2000; ++Round) {
        std::string Bytes(Random() % 200, '\0');
        for (char& C : Bytes)
            C = static_cast<char>(Random());
        if (Round % 2 == 0)
            Bytes = Header + Bytes;
        TMemoryHost Host;
        Failure([&] { ReadGraphsBytes(Bytes, Host); });
    }
}

TEST(GraphFile, FilesOnDisk) {
    QTemporaryDir Dir;
    const QString Name = Dir.filePath("run.PackMonGraphs");
    TMemoryHost Host;
    EXPECT_EQ(Failure([&] { ReadGraphsFile(Name, Host); }), "File not found: " + Name.toStdString());

    TMemoryChart Chart;
    Chart.AddXY(3, 0, 3.25);
    const std::string Owner = "PackMonMainForm";
    WriteComponentRecord(Name, false, &Owner, &Chart);
    WriteComponentRecord(Name, true, &Owner, &Chart);
    WriteComponentRecord(Name, false, nullptr, &Chart);
    EXPECT_EQ(ReadWholeFile(Name).size(), 2 * 65u);
    ReadGraphsFile(Name, Host);
    EXPECT_EQ(Host.Chart.Series[3].Y, (std::vector<double>{3.25, 3.25}));
    EXPECT_EQ(Failure([&] {
                  WriteComponentRecord(Dir.filePath("no/such/x"), false, &Owner, &Chart);
              }).rfind("Cannot create file \"", 0),
              0u);
}

} // namespace
