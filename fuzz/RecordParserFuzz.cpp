// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Arbitrary bytes, in arbitrary chunks, through successive parser passes.
// Checks that every delivered record is well formed, that the buffer never
// passes its limit, and that the decode state stays consistent.

#include "PackMonCommsThreadUnit.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

class TCheckingSink : public TPackMonRecordSink {
  public:
    void PostCommsLine(std::string_view Line) override {
        if (Line.empty() || Line.front() != '$' || Line.find("\r\n") != std::string_view::npos)
            std::abort();
    }
    void PostReading(const TReadingRecord& R) override {
        if (R.Kind > rkData)
            std::abort();
        const double Limit = 2147483.648;
        const auto Bad = [Limit](double V) { return !std::isfinite(V) || std::fabs(V) > Limit; };
        if (Bad(R.BatteryVolts))
            std::abort();
        for (double V : R.CellVolts)
            if (Bad(V))
                std::abort();
        if (R.Kind != rkData && (R.BatteryVolts != 0 || R.CellVolts[0] != 0))
            std::abort();
        if (R.Kind != rkData && R.Kind != rkBulkStart && R.Time != 0)
            std::abort();
    }
};

class TFixedClock : public TPackMonClock {
  public:
    double LocalNow() const override { return 45000.5; }
    double MonotonicNow() const override { return 100.0; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TRxedBuffer Buffer;
    TPackMonDecodeState State;
    TCheckingSink Sink;
    TFixedClock Clock;
    TPackMonParserContext Context{State, Sink, Clock};
    std::size_t At = 0;
    while (At < Size) {
        // The first byte of each chunk says how long the chunk is.
        const std::size_t Chunk = std::min<std::size_t>(1 + Data[At] % 64, Size - At);
        Buffer.Append(reinterpret_cast<const char*>(Data + At), Chunk);
        At += Chunk;
        for (int Pass = 0; Pass < 3; ++Pass) {
            try {
                ProcessRxedString(Buffer, Pass == 0, Context);
            } catch (const EPackMonException&) {
            }
            if (Buffer.Length() > MaxRxedStringLength)
                std::abort();
            if (!std::isfinite(State.SampleInterval) || !std::isfinite(State.StartTime))
                std::abort();
            const std::size_t Start = Buffer.FindRecordStart();
            if (Start != TRxedBuffer::npos && Buffer.View()[Start] != '$')
                std::abort();
        }
    }
    return 0;
}
