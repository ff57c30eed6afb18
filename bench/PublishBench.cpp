// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for publishing: what a reading costs the thread that posts
// it, what it costs the process in all (formatting, the client library,
// the network) against a real mosquitto on this machine, and the process's
// load at the full line rate.

#include "BrokerSupport.h"
#include "MqttPublisherUnit.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage Usage{};
    ::getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

TJournalReading Reading(std::int64_t Index) {
    TJournalReading Item;
    Item.ReceivedUtcMs = 1765000000000 + Index;
    Item.ElapsedMs = Index * 4;
    for (int Cell = 1; Cell <= CellCount; ++Cell)
        Item.Millivolts[Cell] = static_cast<std::int32_t>(3300 + (Index * 7 + Cell * 13) % 41);
    Item.Millivolts[0] = 26400;
    return Item;
}

void WaitIdle(TMqttPublisher& Publisher) {
    while (!Publisher.Idle())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Run(int QoS) {
    TBroker Broker;
    TPublisherOptions Options;
    Options.Settings.Host = "127.0.0.1";
    Options.Settings.Port = Broker.Port();
    Options.Settings.Topic = "bench/publish";
    Options.Settings.QoS = QoS;
    TMqttPublisher Publisher(Options, [](const std::string& Line) { std::printf("publish: %s\n", Line.c_str()); });
    WaitIdle(Publisher);

    const std::int64_t Count = std::getenv("PUBLISH_COUNT") ? std::atoll(std::getenv("PUBLISH_COUNT")) : 200000;
    const double CpuBefore = CpuSeconds();
    const auto Began = Clock::now();
    for (std::int64_t I = 0; I < Count; ++I)
        Publisher.Post(Reading(I));
    const double PostSeconds = std::chrono::duration<double>(Clock::now() - Began).count();
    WaitIdle(Publisher);
    const double Wall = std::chrono::duration<double>(Clock::now() - Began).count();
    const double Cpu = CpuSeconds() - CpuBefore;
    const auto N = static_cast<double>(Count);
    std::printf("publish QoS %d: %lld readings: %.2f us per Post on the caller's thread; all acknowledged after "
                "%.2f s (%.0f readings/s); %.1f us of CPU per reading in all\n",
                QoS, static_cast<long long>(Count), PostSeconds / N * 1e6, Wall, N / Wall, Cpu / N * 1e6);

    // The full line rate: 220 readings a second for ten seconds, less what
    // the pacing loop costs by itself.
    const auto Paced = [&](bool Posting) {
        const double LiveCpuBefore = CpuSeconds();
        const auto LiveStart = Clock::now();
        for (int I = 0; I < 2200; ++I) {
            if (Posting)
                Publisher.Post(Reading(I));
            std::this_thread::sleep_until(LiveStart + std::chrono::microseconds(std::int64_t{I} * 1000000 / 220));
        }
        WaitIdle(Publisher);
        return 100.0 * (CpuSeconds() - LiveCpuBefore) / std::chrono::duration<double>(Clock::now() - LiveStart).count();
    };
    const double Loop = Paced(false);
    std::printf("publish QoS %d at 220 readings/s: %.2f %% of a core\n", QoS, Paced(true) - Loop);
}

} // namespace

int main(int Argc, char** Argv) {
    QCoreApplication Application(Argc, Argv);
    std::printf("publish: queue bound %zu readings = %.1f minutes at 220 readings/s\n",
                TPublisherOptions().QueueCapacity, static_cast<double>(TPublisherOptions().QueueCapacity) / 220 / 60);
    Run(1);
    Run(0);
}
