// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SeriesStoreUnit.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <stdexcept>

// --- One series ------------------------------------------------------------------

const std::array<double, 65536> MilliToVolts = [] {
    std::array<double, 65536> Volts{};
    for (std::size_t M = 0; M < Volts.size(); ++M)
        Volts[M] = static_cast<double>(M) / 1000.0;
    return Volts;
}();

namespace {

bool SameBits(double A, double B) { return std::bit_cast<std::uint64_t>(A) == std::bit_cast<std::uint64_t>(B); }

template <typename T> std::size_t BytesOf(const std::vector<T>& V) { return V.capacity() * sizeof(T); }
template <typename T, unsigned Bits> std::size_t BytesOf(const TChunkedColumn<T, Bits>& C) { return C.BytesHeld(); }

} // namespace

void TSeriesData::PointOutOfRange(std::size_t Index) const {
    throw std::out_of_range("series point " + std::to_string(Index) + " of " + std::to_string(Size));
}

void TSeriesData::Add(double X, double Y) {
    if (Size > 0 && X < this->X(Size - 1)) {
        InsertAt(FirstAfter(X), X, Y);
        return;
    }
    PushX(X);
    PushY(Y);
    Counted(Y);
}

void TSeriesData::Counted(double Y) {
    LowestY = Size == 0 ? Y : std::min(LowestY, Y);
    HighestY = Size == 0 ? Y : std::max(HighestY, Y);
    if ((++Size & EntryMask) == 0)
        CloseSummaries();
}

int TSeriesData::AsMilli(double Y) {
    if (!(Y >= 0.0 && Y <= 65.535) || std::signbit(Y))
        return -1;
    const int Milli = static_cast<int>(Y * 1000.0 + 0.5);
    return SameBits(MilliToVolts[static_cast<std::size_t>(Milli)], Y) ? Milli : -1;
}

void TSeriesData::MakeWide() {
    for (std::size_t I = 0; I < Milli.size(); ++I)
        WideValues.push_back(MilliToVolts[Milli[I]]);
    Milli.clear();
    Wide = true;
}

void TSeriesData::OwnTheTimes() {
    if (OwnX)
        return;
    for (std::size_t I = 0; I < Size; ++I)
        OwnTimes.push_back((*Shared)[I]);
    OwnX = true;
}

void TSeriesData::PushX(double X) {
    if (!OwnX) {
        // Another series of the store may have put this time there already.
        if (Size == Shared->size()) {
            Shared->push_back(X);
            return;
        }
        if (SameBits((*Shared)[Size], X))
            return;
        OwnTheTimes();
    }
    OwnTimes.push_back(X);
}

void TSeriesData::PushY(double Y) {
    if (!Wide) {
        if (const int M = AsMilli(Y); M >= 0) {
            Milli.push_back(static_cast<std::uint16_t>(M));
            return;
        }
        MakeWide();
    }
    WideValues.push_back(Y);
}

void TSeriesData::InsertAt(std::size_t Index, double X, double Y) {
    // Points arriving out of order are rare (a hand-edited file); they cost
    // a rebuild.
    OwnTheTimes();
    OwnTimes.insert(Index, X);
    PushY(Y);
    if (Wide)
        WideValues.MoveLastTo(Index);
    else
        Milli.MoveLastTo(Index);
    const std::size_t Count = Size + 1;
    Size = 0;
    Levels.clear();
    for (std::size_t I = 0; I < Count; ++I)
        Counted(this->Y(I));
}

void TSeriesData::CloseSummaries() {
    // Only whole entries are ever read, so an entry is written once, when
    // its last point arrives.
    TSummary Entry{Y(Size - 1), Y(Size - 1)};
    for (std::size_t I = Size - EntryMask - 1; I < Size - 1; ++I) {
        Entry.MinY = std::min(Entry.MinY, Y(I));
        Entry.MaxY = std::max(Entry.MaxY, Y(I));
    }
    for (std::size_t L = 0;; ++L) {
        if (L == Levels.size())
            Levels.emplace_back();
        TSummaryColumn& Level = Levels[L];
        Level.push_back(Entry);
        if ((Level.size() & EntryMask) != 0)
            return;
        for (std::size_t I = Level.size() - EntryMask - 1; I < Level.size(); ++I) {
            Entry.MinY = std::min(Entry.MinY, Level[I].MinY);
            Entry.MaxY = std::max(Entry.MaxY, Level[I].MaxY);
        }
    }
}

std::size_t TSeriesData::FirstAtOrAfter(double Value, std::size_t From, std::size_t To) const {
    while (From < To) {
        const std::size_t Middle = From + (To - From) / 2;
        if (X(Middle) < Value)
            From = Middle + 1;
        else
            To = Middle;
    }
    return From;
}

std::size_t TSeriesData::FirstAfter(double Value) const {
    std::size_t From = 0, To = Size;
    while (From < To) {
        const std::size_t Middle = From + (To - From) / 2;
        if (Value < X(Middle))
            To = Middle;
        else
            From = Middle + 1;
    }
    return From;
}

TSeriesData::TSummary TSeriesData::RangeMinMax(std::size_t From, std::size_t To) const {
    TSummary Result{Y(From), Y(From)};
    const auto Take = [&Result](double Low, double High) {
        Result.MinY = std::min(Result.MinY, Low);
        Result.MaxY = std::max(Result.MaxY, High);
    };
    while (From < To && (From & EntryMask) != 0) {
        const double V = Y(From++);
        Take(V, V);
    }
    while (To > From && (To & EntryMask) != 0) {
        const double V = Y(--To);
        Take(V, V);
    }
    // What is left is whole entries of the levels above.
    From >>= LevelBits;
    To >>= LevelBits;
    for (std::size_t L = 0; From < To; ++L) {
        const TSummaryColumn& Level = Levels[L];
        while (From < To && (From & EntryMask) != 0) {
            Take(Level[From].MinY, Level[From].MaxY);
            ++From;
        }
        while (To > From && (To & EntryMask) != 0) {
            --To;
            Take(Level[To].MinY, Level[To].MaxY);
        }
        From >>= LevelBits;
        To >>= LevelBits;
    }
    return Result;
}

std::size_t TSeriesData::BytesHeld() const {
    std::size_t Bytes = BytesOf(OwnTimes) + BytesOf(Milli) + BytesOf(WideValues) + BytesOf(Breaks);
    for (const TSummaryColumn& Level : Levels)
        Bytes += BytesOf(Level);
    return Bytes;
}

void TSeriesData::Clear() {
    // A cleared series may have held millions of points: give the memory back.
    OwnTimes.clear();
    Milli.clear();
    WideValues.clear();
    std::vector<TSummaryColumn>().swap(Levels);
    std::vector<double>().swap(Breaks);
    OwnX = !Shared;
    Wide = false;
    Size = 0;
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

bool TSeriesData::Envelope(double Low, double High, int Pixels, std::vector<TSeriesPoint>& Out) const {
    Out.clear();
    const std::size_t Columns = static_cast<std::size_t>(std::max(Pixels, 1));
    std::size_t First = 0, Last = Size;
    if (High > Low) {
        // The points in view and one either side, so the line runs on out of it.
        First = FirstAtOrAfter(Low, 0, Size);
        First -= First > 0 ? 1 : 0;
        Last = FirstAfter(High);
        Last += Last < Size ? 1 : 0;
    }
    if (Last - First <= 4 * Columns || !(High > Low)) {
        Out.reserve(Last - First);
        for (std::size_t I = First; I < Last; ++I)
            Out.push_back({X(I), Y(I)});
        InsertBreaks(Out);
        return false;
    }
    Out.reserve(2 * Columns + 2);
    // The points either side of the view lead the line in and out; without
    // them the line starts and ends at the series' own first and last point.
    Out.push_back({X(First), Y(First)});
    if (X(First) < Low)
        ++First;
    const bool LeadOut = X(Last - 1) > High;
    if (LeadOut)
        --Last;
    const double ColumnWidth = (High - Low) / static_cast<double>(Columns);
    // With many points a column, a column ends at a whole summary: it moves
    // the edge by less than half a column, and the column's extremes come
    // from the summaries alone.
    const std::size_t PerColumn = (Last - First) / Columns;
    std::size_t Grain = 1;
    while (Grain << LevelBits <= PerColumn / 2)
        Grain <<= LevelBits;
    std::size_t I = First;
    for (std::size_t Column = 0; Column < Columns && I < Last; ++Column) {
        const double Boundary = Column + 1 == Columns ? std::numeric_limits<double>::infinity()
                                                      : Low + static_cast<double>(Column + 1) * ColumnWidth;
        if (X(I) >= Boundary)
            continue;
        // Points are usually spread evenly: look near the first guess.
        const std::size_t Near = std::min(Last, I + 2 * PerColumn + 1);
        std::size_t J = Near < Last && X(Near - 1) < Boundary ? FirstAtOrAfter(Boundary, Near, Last)
                                                              : FirstAtOrAfter(Boundary, I + 1, Near);
        if (J < Last && J / Grain * Grain > I)
            J = J / Grain * Grain;
        const TSummary Range = RangeMinMax(I, J);
        const double Middle = (X(I) + X(J - 1)) / 2;
        // The extreme nearer the line so far comes first, so the line
        // crosses the column's span once: a column costs its height in
        // pixels, not twice or three times it.
        const double From = Out.empty() ? Y(I) : Out.back().Y;
        const bool LowFirst = From - Range.MinY <= Range.MaxY - From;
        Out.push_back({Middle, LowFirst ? Range.MinY : Range.MaxY});
        if (Range.MaxY != Range.MinY)
            Out.push_back({Middle, LowFirst ? Range.MaxY : Range.MinY});
        I = J;
    }
    Out.push_back({X(LeadOut ? Last : Last - 1), Y(LeadOut ? Last : Last - 1)});
    InsertBreaks(Out);
    return true;
}

// --- The store -------------------------------------------------------------------

int TSeriesStore::AddSeries(std::string Title) {
    Entries.push_back({std::move(Title), TSeriesData(Times), false});
    Changed();
    return SeriesCount() - 1;
}

void TSeriesStore::RemoveAllSeries() {
    Entries.clear();
    Times->clear();
    Changed();
}

void TSeriesStore::Clear() {
    for (TEntry& Entry : Entries) {
        Entry.Points.Clear();
        Entry.Active = false;
    }
    Times->clear();
    Changed();
}

void TSeriesStore::ClearSeries(int Index) {
    Points(Index).Clear();
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
    Points(Index).Add(X, Y);
    if (OnAppended)
        OnAppended(Index, X, Y);
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

std::size_t TSeriesStore::BytesHeld() const {
    std::size_t Bytes = BytesOf(*Times);
    for (const TEntry& Entry : Entries)
        Bytes += Entry.Points.BytesHeld();
    return Bytes;
}
