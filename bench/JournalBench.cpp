// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for the session journal: what a reading costs the thread
// that posts it and the journal's own thread, what it takes on the disk, and
// how long a reading posted at the live rate waits before it is committed.

#include "JournalSchemaUnit.h"
#include "JournalWriterUnit.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

TJournalReading LiveReading(std::int64_t Index, std::int64_t StartMs) {
    TJournalReading Reading;
    Reading.ReceivedUtcMs = StartMs + Index * 1000;
    Reading.ElapsedMs = Index * 1000;
    std::int32_t Sum = 0;
    for (int Cell = 1; Cell <= CellCount; ++Cell)
        Sum += Reading.Millivolts[Cell] = static_cast<std::int32_t>(3300 + (Index * 7 + Cell * 13) % 41);
    Reading.Millivolts[0] = Sum;
    return Reading;
}

double Seconds(Clock::duration Span) { return std::chrono::duration<double>(Span).count(); }

void Throughput(const QTemporaryDir& Dir) {
    constexpr std::int64_t Count = 1000000;
    TJournalOptions Options;
    Options.FileName = Dir.filePath("throughput.sqlite").toStdString();
    const std::int64_t Start = UtcNowMs();
    double PostSeconds = 0;
    const auto Began = Clock::now();
    {
        TJournalWriter Writer(Options, [](const std::string& Line) { std::printf("journal: %s\n", Line.c_str()); });
        Writer.Post(TJournalSessionStart{Start, "COM3", "/dev/ttyUSB0"});
        const auto Posting = Clock::now();
        for (std::int64_t I = 0; I < Count; ++I)
            Writer.Post(LiveReading(I, Start), true);
        PostSeconds = Seconds(Clock::now() - Posting);
        Writer.Post(TJournalSessionEnd{Start + Count * 1000, "closed"});
        Writer.Flush();
    }
    const double Total = Seconds(Clock::now() - Began);
    {
        TSqliteDatabase Db(Options.FileName, false, 1000);
        Db.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    const auto Bytes = QFileInfo(QString::fromStdString(Options.FileName)).size();
    std::printf("journal: %lld readings written in %.2f s: %.2f us per reading on the journal's thread\n",
                static_cast<long long>(Count), Total, Total * 1e6 / Count);
    std::printf("journal: posting (waiting for room when full) %.0f ns per reading\n", PostSeconds * 1e9 / Count);
    std::printf("journal: %.1f bytes per reading on disk (%lld bytes)\n", static_cast<double>(Bytes) / Count,
                static_cast<long long>(Bytes));
}

// Posts at 200 readings a second, about the line's full rate, and watches
// from another connection when each becomes visible.
void CommitDelay(const QTemporaryDir& Dir) {
    constexpr int Count = 600;
    TJournalOptions Options;
    Options.FileName = Dir.filePath("latency.sqlite").toStdString();
    std::vector<Clock::time_point> Posted(Count);
    std::vector<double> Delay(Count, -1);
    std::atomic<bool> Done{false};
    TJournalWriter Writer(Options, [](const std::string& Line) { std::printf("journal: %s\n", Line.c_str()); });
    Writer.Post(TJournalSessionStart{UtcNowMs(), "COM3", ""});
    Writer.Flush();
    std::thread Watcher([&] {
        TSqliteDatabase Db(Options.FileName, false, 1000);
        std::int64_t Seen = 0;
        while (!Done || Seen < Count) {
            const std::int64_t Visible = Db.QueryInteger("SELECT count(*) FROM readings");
            const auto Now = Clock::now();
            for (; Seen < Visible; ++Seen)
                Delay[static_cast<std::size_t>(Seen)] = Seconds(Now - Posted[static_cast<std::size_t>(Seen)]);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const std::int64_t Start = UtcNowMs();
    const auto Began = Clock::now();
    for (int I = 0; I < Count; ++I) {
        std::this_thread::sleep_until(Began + std::chrono::milliseconds(5 * I));
        Posted[static_cast<std::size_t>(I)] = Clock::now();
        Writer.Post(LiveReading(I, Start));
    }
    Done = true;
    Watcher.join();
    std::sort(Delay.begin(), Delay.end());
    std::printf("journal: at 200 readings/s, committed after %.0f ms at the median, %.0f ms at most\n",
                Delay[Count / 2] * 1000, Delay.back() * 1000);
}

} // namespace

int main() {
    QTemporaryDir Dir;
    Throughput(Dir);
    CommitDelay(Dir);
    return 0;
}
