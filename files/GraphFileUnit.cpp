// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GraphFileUnit.h"

#include "FileStreamUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <QFileInfo>
#include <cmath>

TGraphStatusBar::~TGraphStatusBar() = default;
TGraphFileHost::~TGraphFileHost() = default;

namespace {

void PutShortString(std::string& Out, const std::string& Text) {
    const std::size_t Length = std::min<std::size_t>(Text.size(), 255);
    Out += static_cast<char>(Length);
    Out.append(Text, 0, Length);
}

void PutInt32(std::string& Out, std::int32_t Value) {
    const auto Bits = static_cast<std::uint32_t>(Value);
    for (int Shift = 0; Shift < 32; Shift += 8)
        Out += static_cast<char>((Bits >> Shift) & 0xFF);
}

// Thousandths rounded to nearest, halves to even; the low 16 bits are kept,
// so a value outside 0 to 65.535 comes back reduced modulo 65.536.
std::uint16_t StoredValue(double Y) {
    const double Thousandths = std::nearbyint(Y * 1000.0);
    if (!std::isfinite(Thousandths))
        return 0;
    // Nearly every value needs no reduction.
    const auto Whole = static_cast<std::int64_t>(
        std::fabs(Thousandths) < 4294967296.0 ? Thousandths : std::fmod(Thousandths, 4294967296.0));
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(Whole) & 0xFFFF);
}

[[noreturn]] void ReadError() { throw EPackMonException("Stream read error"); }

// Reads from bytes in memory: nothing is ever allocated from a count found
// in the file, so a hostile count costs no more than the file's own size.
class TReader {
  public:
    explicit TReader(const std::string& ABytes) : Bytes(ABytes) {}
    bool AtEnd() const { return Position >= Bytes.size(); }
    std::string ShortString() {
        const std::size_t Length = Byte();
        Need(Length);
        std::string Text = Bytes.substr(Position, Length);
        Position += Length;
        return Text;
    }
    std::int32_t Int32() {
        Need(4);
        std::uint32_t Bits = 0;
        for (int I = 0; I < 4; ++I)
            Bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[Position + I])) << (8 * I);
        Position += 4;
        return static_cast<std::int32_t>(Bits);
    }
    std::uint16_t UInt16() {
        Need(2);
        const auto Low = static_cast<unsigned char>(Bytes[Position]);
        const auto High = static_cast<unsigned char>(Bytes[Position + 1]);
        Position += 2;
        return static_cast<std::uint16_t>(Low | High << 8);
    }

  private:
    std::size_t Byte() {
        Need(1);
        return static_cast<unsigned char>(Bytes[Position++]);
    }
    void Need(std::size_t Count) const {
        if (Bytes.size() - Position < Count)
            ReadError();
    }
    const std::string& Bytes;
    std::size_t Position = 0;
};

void ReadChart(TReader& In, TChartData& Chart) {
    const std::int32_t SeriesBlocks = In.Int32();
    for (std::int32_t K = 0; K < SeriesBlocks; ++K) {
        const std::int32_t Points = In.Int32();
        for (std::int32_t N = 1; N <= Points; ++N) {
            const std::uint16_t Value = In.UInt16();
            if (K >= Chart.SeriesCount())
                throw EPackMonException("List index out of bounds (" + std::to_string(K) + ")");
            Chart.AddXY(K, N / SecondsPerDay, Value / 1000.0);
        }
    }
    for (int K = 0; K < Chart.SeriesCount(); ++K)
        Chart.SetActive(K, Chart.PointCount(K) > 0 && Chart.MaxYValue(K) > 0);
}

void ReadStatusBar(TReader& In, TGraphStatusBar& StatusBar) {
    if (StatusBar.SimplePanel()) {
        StatusBar.SetSimpleText(In.ShortString());
        return;
    }
    const std::int32_t Panels = In.Int32();
    for (std::int32_t P = 0; P < Panels; ++P) {
        const std::string Text = In.ShortString();
        if (P >= StatusBar.PanelCount())
            throw EPackMonException("List index out of bounds (" + std::to_string(P) + ")");
        StatusBar.SetPanelText(P, Text);
    }
}

} // namespace

std::string ChartRecordBytes(const std::string& OwnerName, const TChartData& Chart) {
    std::string Out;
    PutShortString(Out, OwnerName);
    PutShortString(Out, Chart.Name());
    PutInt32(Out, Chart.SeriesCount());
    for (int K = 0; K < Chart.SeriesCount(); ++K) {
        const std::size_t Points = Chart.PointCount(K);
        PutInt32(Out, static_cast<std::int32_t>(Points));
        std::size_t At = Out.size();
        Out.resize(At + 2 * Points);
        for (std::size_t I = 0; I < Points; ++I) {
            const std::uint16_t Value = StoredValue(Chart.YValue(K, I));
            Out[At++] = static_cast<char>(Value & 0xFF);
            Out[At++] = static_cast<char>(Value >> 8);
        }
    }
    return Out;
}

std::string StatusBarRecordBytes(const std::string& OwnerName, const TGraphStatusBar& StatusBar) {
    std::string Out;
    PutShortString(Out, OwnerName);
    PutShortString(Out, StatusBar.Name());
    if (StatusBar.SimplePanel()) {
        PutShortString(Out, StatusBar.SimpleText());
    } else {
        const std::vector<std::string> Texts = StatusBar.PanelTexts();
        PutInt32(Out, static_cast<std::int32_t>(Texts.size()));
        for (const std::string& Text : Texts)
            PutShortString(Out, Text);
    }
    return Out;
}

void WriteComponentRecord(const QString& FileName, bool Append, const std::string* OwnerName, const TChartData* Chart,
                          const TGraphStatusBar* StatusBar) {
    if (OwnerName == nullptr)
        return;
    std::string Bytes = Append && QFileInfo(FileName).isFile() ? ReadWholeFile(FileName) : std::string();
    if (Chart != nullptr)
        Bytes += ChartRecordBytes(*OwnerName, *Chart);
    else if (StatusBar != nullptr)
        Bytes += StatusBarRecordBytes(*OwnerName, *StatusBar);
    else
        PutShortString(Bytes, *OwnerName);
    ReplaceFileContents(FileName, Bytes);
}

void ReadGraphsBytes(const std::string& Bytes, TGraphFileHost& Host) {
    TReader In(Bytes);
    while (!In.AtEnd()) {
        const std::string Owner = In.ShortString();
        if (Owner != Host.OwnerName()) {
            // A component of the window as owner: it owns nothing here, so
            // its component name designates nothing. Any other name
            // designates nothing at all. Either way reading goes on.
            if (Host.FindComponent(Owner).Kind != TGraphComponent::None)
                In.ShortString();
            continue;
        }
        const TGraphComponent Component = Host.FindComponent(In.ShortString());
        if (Component.Kind == TGraphComponent::Chart && Component.ChartPart != nullptr)
            ReadChart(In, *Component.ChartPart);
        else if (Component.Kind == TGraphComponent::StatusBar && Component.StatusBarPart != nullptr)
            ReadStatusBar(In, *Component.StatusBarPart);
    }
}

void ReadGraphsFile(const QString& FileName, TGraphFileHost& Host) {
    if (!QFileInfo(FileName).isFile())
        throw EPackMonException("File not found: " + FileName.toStdString());
    ReadGraphsBytes(ReadWholeFile(FileName), Host);
}
