// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PublishSettingsUnit.h"
#include "SessionSinkUnit.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

struct TPublisherOptions {
    TPublishSettings Settings;
    // About twenty minutes at the full line rate (220 readings a second).
    std::size_t QueueCapacity = 262144;
    // Messages handed to the client library and not yet acknowledged.
    int InFlight = 64;
    // How long the broker may be out of reach, at the start, before it is said.
    std::chrono::milliseconds ReachWithin{5000};
    // How long the end waits for what is still queued to go out.
    std::chrono::milliseconds DrainWithin{3000};
};

// Sends a session's readings to <Topic>/reading and its events (alarms
// among them) to <Topic>/event, and keeps <Topic>/status, retained,
// "online" while connected; the broker's last will says "offline" for a
// program that dies.
//
// Nothing here waits for the network: items wait in a bounded queue, go
// out in order on a thread of their own, and wait through a broker that is
// down or goes away; with QoS 1 or 2 the client library sends again what
// was in flight when the link went, so every reading arrives, in order.
// A full queue drops the newest readings and counts them. The link going
// and coming back is said once each through Report (on the publisher's
// threads), never once per message.
class TMqttPublisher final : public TSessionSink {
  public:
    using TReport = std::function<void(const std::string& Line)>;
    TMqttPublisher(TPublisherOptions AOptions, TReport AReport);
    // Sends what is queued (for at most DrainWithin), says "offline" and
    // disconnects.
    ~TMqttPublisher() override;
    TMqttPublisher(const TMqttPublisher&) = delete;
    TMqttPublisher& operator=(const TMqttPublisher&) = delete;

    bool Post(TJournalItem Item, bool Wait = false) override;
    const TPublishSettings& Settings() const { return Options.Settings; }
    // Connected, with nothing waiting to be sent or acknowledged.
    bool Idle();

  private:
    struct TQueued {
        TJournalItem Item;
        std::int64_t Seq = 0;
    };
    using TClock = std::chrono::steady_clock;
    void Feed();
    void Network();
    // Sends the first queued item; false (the item queued again) when the
    // link has gone.
    bool SendFront(std::unique_lock<std::mutex>& Guard);
    // The client library's result.
    int Publish(const std::string& Topic, const std::string& Payload, bool Retain);
    void Drain(std::unique_lock<std::mutex>& Guard);
    void Connected(int Result);
    void Announce(std::unique_lock<std::mutex>& Guard);
    void Disconnected(int Result);
    void Acknowledged();
    // Said once a loss, under the lock; the line goes out after it.
    void NoteLoss(const std::string& Reason);
    void Say(std::unique_lock<std::mutex>& Guard);

    TPublisherOptions Options;
    TReport Report;
    std::string StatusTopic, ReadingTopic, EventTopic;
    mosquitto* Client = nullptr;

    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<TQueued> Queue;
    std::vector<std::string> ToSay;
    bool Stopping = false;
    bool NetworkStop = false;
    bool Online = false;
    bool Connecting = false; // connected, not yet announced
    bool LossSaid = false;
    bool FullSaid = false;
    bool Resending = false;
    TClock::time_point ResendUntil{};
    std::int64_t Outstanding = 0;
    std::int64_t Dropped = 0;
    std::int64_t NextSeq = 0;
    std::string LastError;
    TClock::time_point Unreachable = TClock::now();

    std::thread Feeder;
    std::thread Networker;
};
