// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleCaptureUnit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Small fixed offsets between the cells, as a real pack has them.
constexpr std::array<int, 8> CellOffsetMilli = {0, 6, -4, 11, -9, 3, -2, 7};

// Deterministic noise of a few millivolts.
class TNoise {
  public:
    int Next(int Amplitude) {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((State >> 33) % static_cast<std::uint64_t>(2 * Amplitude + 1)) - Amplitude;
    }

  private:
    std::uint64_t State = 20240305;
};

std::array<int, 8> Cells(double MeanMilli, TNoise& Noise) {
    std::array<int, 8> Milli{};
    for (std::size_t I = 0; I < Milli.size(); ++I)
        Milli[I] = static_cast<int>(std::lround(MeanMilli)) + CellOffsetMilli[I] + Noise.Next(2);
    return Milli;
}

// Rises quickly, then creeps towards the top of charge.
double ChargeMilli(double Fraction) { return 3320.0 + 130.0 * (1.0 - std::exp(-3.0 * Fraction)); }

// The flat LiFePO4 plateau, sagging a little under load.
double DischargeMilli(double Fraction) { return 3290.0 - 40.0 * Fraction - 25.0 * Fraction * Fraction; }

} // namespace

TPackWaveform::TPackWaveform(std::size_t ACycleSamples, std::uint64_t Seed)
    : CycleSamples(std::max<std::size_t>(ACycleSamples, 2)), State(Seed) {}

int TPackWaveform::Noise(int Amplitude) {
    State = State * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<int>((State >> 33) % static_cast<std::uint64_t>(2 * Amplitude + 1)) - Amplitude;
}

std::array<int, 8> TPackWaveform::CellsAt(std::size_t Sample) {
    const std::size_t Half = CycleSamples / 2;
    const std::size_t Phase = Sample % CycleSamples;
    const bool Discharging = Phase < Half;
    const double Fraction = static_cast<double>(Discharging ? Phase : Phase - Half) / static_cast<double>(Half);
    const double Mean = Discharging ? DischargeMilli(Fraction) : ChargeMilli(Fraction);
    std::array<int, 8> Milli{};
    for (std::size_t I = 0; I < Milli.size(); ++I) {
        double Cell = Mean + CellOffsetMilli[I];
        if (I == 4)
            Cell += Discharging ? -30.0 * Fraction : -30.0 * (1.0 - Fraction);
        Milli[I] = static_cast<int>(std::lround(Cell)) + Noise(2);
    }
    return Milli;
}

std::string DataRecordLine(std::size_t Sample, const std::array<int, 8>& CellMilli) {
    std::string Line = "$1;" + std::to_string(Sample) + ";0";
    int Pack = 0;
    for (int Milli : CellMilli) {
        Line += ';' + std::to_string(Milli);
        Pack += Milli;
    }
    return Line + ';' + std::to_string(Pack) + "\r\n";
}

std::string MakeSampleCapture() {
    constexpr std::size_t BulkRecords = 120;
    constexpr std::size_t LiveRecords = 300;
    TNoise Noise;
    std::string Text = "$STARTBULK;" + std::to_string(BulkRecords) + ";10000\r\n";
    for (std::size_t I = 0; I < BulkRecords; ++I)
        Text += DataRecordLine(I, Cells(ChargeMilli(static_cast<double>(I) / BulkRecords), Noise));
    Text += "$ENDBULK;" + std::to_string(BulkRecords) + ";\r\n";
    Text += "$TIMEVALUE;1000\r\n";
    for (std::size_t I = 0; I < LiveRecords; ++I)
        Text += DataRecordLine(I, Cells(DischargeMilli(static_cast<double>(I) / LiveRecords), Noise));
    return Text;
}

std::string MakeLongCapture(std::size_t Records) {
    TNoise Noise;
    std::string Text = "$TIMEVALUE;1000\r\n";
    Text.reserve(Records * 64);
    for (std::size_t I = 0; I < Records; ++I)
        Text += DataRecordLine(I, Cells(DischargeMilli(static_cast<double>(I) / static_cast<double>(Records)), Noise));
    return Text;
}
