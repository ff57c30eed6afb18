// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SeriesStoreUnit.h"

#include <algorithm>
#include <limits>

// --- One series ------------------------------------------------------------------

void TSeriesData::Add(double X, double Y) {
    if (Points.empty()) {
        LowestY = HighestY = Y;
    } else {
        LowestY = std::min(LowestY, Y);
        HighestY = std::max(HighestY, Y);
    }
    if (Points.empty() || X >= Points.back().X) {
        Points.push_back({X, Y});
        const std::size_t Block = (Points.size() - 1) / BlockSize;
        if (Block == Blocks.size())
            Blocks.push_back({Y, Y});
        else
            Blocks[Block] = {std::min(Blocks[Block].MinY, Y), std::max(Blocks[Block].MaxY, Y)};
        return;
    }
    const auto At =
        std::upper_bound(Points.begin(), Points.end(), X, [](double Key, const TSeriesPoint& P) { return Key < P.X; });
    const auto Index = static_cast<std::size_t>(At - Points.begin());
    Points.insert(At, {X, Y});
    RebuildBlocksFrom(Index / BlockSize);
}

void TSeriesData::RebuildBlocksFrom(std::size_t Block) {
    Blocks.resize((Points.size() + BlockSize - 1) / BlockSize);
    for (std::size_t B = Block; B < Blocks.size(); ++B) {
        const std::size_t First = B * BlockSize;
        const std::size_t Last = std::min(First + BlockSize, Points.size());
        TBlock Summary{Points[First].Y, Points[First].Y};
        for (std::size_t I = First + 1; I < Last; ++I) {
            Summary.MinY = std::min(Summary.MinY, Points[I].Y);
            Summary.MaxY = std::max(Summary.MaxY, Points[I].Y);
        }
        Blocks[B] = Summary;
    }
}

void TSeriesData::Clear() {
    // A cleared series may have held millions of points: give the memory back.
    std::vector<TSeriesPoint>().swap(Points);
    std::vector<TBlock>().swap(Blocks);
    std::vector<double>().swap(Breaks);
    LowestY = HighestY = 0.0;
}

void TSeriesData::BreakBefore(double X) {
    if (Breaks.empty() || X > Breaks.back())
        Breaks.push_back(X);
}

void TSeriesData::InsertBreaks(std::vector<TSeriesPoint>& Out) const {
    if (Breaks.empty() || Out.size() < 2)
        return;
    auto Break = std::upper_bound(Breaks.begin(), Breaks.end(), Out.front().X);
    if (Break == Breaks.end() || *Break > Out.back().X)
        return;
    std::vector<TSeriesPoint> Drawn;
    Drawn.reserve(Out.size() + 16);
    Drawn.push_back(Out.front());
    for (std::size_t I = 1; I < Out.size(); ++I) {
        if (Break != Breaks.end() && *Break <= Out[I].X) {
            Drawn.push_back({*Break, std::numeric_limits<double>::quiet_NaN()});
            Break = std::upper_bound(Break, Breaks.end(), Out[I].X);
        }
        Drawn.push_back(Out[I]);
    }
    Out.swap(Drawn);
}

void TSeriesData::Envelope(double Low, double High, int Pixels, std::vector<TSeriesPoint>& Out) const {
    Out.clear();
    const std::size_t Columns = static_cast<std::size_t>(std::max(Pixels, 1));
    const std::size_t N = Points.size();
    if (N <= 4 * Columns || !(High > Low)) {
        Out.assign(Points.begin(), Points.end());
        InsertBreaks(Out);
        return;
    }
    Out.reserve(4 * Columns);
    const double ColumnWidth = (High - Low) / static_cast<double>(Columns);
    std::size_t I = 0;
    for (std::size_t Column = 0; Column < Columns && I < N; ++Column) {
        const double Boundary = Column + 1 == Columns ? std::numeric_limits<double>::infinity()
                                                      : Low + static_cast<double>(Column + 1) * ColumnWidth;
        if (Points[I].X >= Boundary)
            continue;
        const std::size_t First = I;
        double MinY = Points[I].Y;
        double MaxY = MinY;
        std::size_t J = I + 1;
        while (J < N && Points[J].X < Boundary) {
            // Whole blocks inside the column count by their summary.
            if (J % BlockSize == 0 && J + BlockSize <= N && Points[J + BlockSize - 1].X < Boundary) {
                const TBlock& Summary = Blocks[J / BlockSize];
                MinY = std::min(MinY, Summary.MinY);
                MaxY = std::max(MaxY, Summary.MaxY);
                J += BlockSize;
                continue;
            }
            MinY = std::min(MinY, Points[J].Y);
            MaxY = std::max(MaxY, Points[J].Y);
            ++J;
        }
        const TSeriesPoint& Start = Points[First];
        const TSeriesPoint& End = Points[J - 1];
        const double Middle = (Start.X + End.X) / 2;
        const bool LowFirst = Start.Y - MinY <= MaxY - Start.Y;
        Out.push_back(Start);
        Out.push_back({Middle, LowFirst ? MinY : MaxY});
        Out.push_back({Middle, LowFirst ? MaxY : MinY});
        Out.push_back(End);
        I = J;
    }
    InsertBreaks(Out);
}

// --- The store -------------------------------------------------------------------

int TSeriesStore::AddSeries(std::string Title) {
    Entries.push_back({std::move(Title), {}, false});
    Changed();
    return SeriesCount() - 1;
}

void TSeriesStore::RemoveAllSeries() {
    Entries.clear();
    Changed();
}

void TSeriesStore::Clear() {
    for (TEntry& Entry : Entries) {
        Entry.Points.Clear();
        Entry.Active = false;
    }
    Changed();
}

void TSeriesStore::ActivateSeriesWithData(bool Enable, std::size_t MinCount) {
    bool Any = false;
    for (TEntry& Entry : Entries) {
        const bool Wanted = Enable && Entry.Points.Count() > MinCount;
        Any = Any || Wanted != Entry.Active;
        Entry.Active = Wanted;
    }
    if (Any)
        Changed();
}

void TSeriesStore::AddXY(int Index, double X, double Y) {
    if (!Keeping)
        return;
    Data(Index).Add(X, Y);
    Changed();
}

void TSeriesStore::BreakBefore(double X) {
    if (!Keeping)
        return;
    for (TEntry& Entry : Entries)
        Entry.Points.BreakBefore(X);
}

void TSeriesStore::SetActive(int Index, bool Value) {
    bool& Active = Entries.at(static_cast<std::size_t>(Index)).Active;
    if (Active == Value)
        return;
    Active = Value;
    Changed();
}
