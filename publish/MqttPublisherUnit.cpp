// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttPublisherUnit.h"

#include "JournalSchemaUnit.h"
#include "ReadingMessagesUnit.h"

#include <cerrno>
#include <cstring>
#include <mosquitto.h>

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr auto LoopTimeoutMs = 200;
constexpr auto NoBrokerRetry = std::chrono::milliseconds(1000);
constexpr auto DisconnectWithin = std::chrono::milliseconds(1000);
// How long new messages wait for those sent again after a reconnect: a
// client library that gave them up must not hold publishing for ever.
constexpr auto ResendWithin = std::chrono::seconds(10);
constexpr auto ResendCheck = std::chrono::milliseconds(500);

TMqttPublisher* Self(void* Data) { return static_cast<TMqttPublisher*>(Data); }

std::string FailureText(int Result) {
    if (Result == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(Result);
}

// What no broker would take; anything else is the link's trouble.
bool Unpublishable(int Result) {
    return Result == MOSQ_ERR_PAYLOAD_SIZE || Result == MOSQ_ERR_OVERSIZE_PACKET || Result == MOSQ_ERR_INVAL ||
           Result == MOSQ_ERR_MALFORMED_UTF8 || Result == MOSQ_ERR_QOS_NOT_SUPPORTED;
}

struct TLibrary {
    TLibrary() { mosquitto_lib_init(); }
    ~TLibrary() { mosquitto_lib_cleanup(); }
};

} // namespace

TMqttPublisher::TMqttPublisher(TPublisherOptions AOptions, TReport AReport)
    : Options(std::move(AOptions)), Report(std::move(AReport)) {
    static TLibrary Library;
    const TPublishSettings& Settings = Options.Settings;
    StatusTopic = Settings.Topic + "/status";
    ReadingTopic = Settings.Topic + "/reading";
    EventTopic = Settings.Topic + "/event";
    Client = mosquitto_new(nullptr, true, this);
    if (Client == nullptr)
        throw EPackMonException("Publishing to " + Settings.Address() + " cannot start: " + std::strerror(errno));
    mosquitto_int_option(Client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(Client, static_cast<unsigned>(Options.InFlight));
    mosquitto_will_set(Client, StatusTopic.c_str(), 7, "offline", Settings.QoS, true);
    if (!Settings.Username.empty())
        mosquitto_username_pw_set(Client, Settings.Username.c_str(),
                                  Settings.Password.empty() ? nullptr : Settings.Password.c_str());
    if (!Settings.CaFile.empty()) {
        if (const int Result = mosquitto_tls_set(Client, Settings.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
            Result != MOSQ_ERR_SUCCESS) {
            mosquitto_destroy(Client);
            throw EPackMonException("Publishing to " + Settings.Address() + " cannot use " + Settings.CaFile + ": " +
                                    FailureText(Result));
        }
    }
    mosquitto_connect_callback_set(Client, [](mosquitto*, void* Data, int Result) { Self(Data)->Connected(Result); });
    mosquitto_disconnect_callback_set(Client,
                                      [](mosquitto*, void* Data, int Result) { Self(Data)->Disconnected(Result); });
    mosquitto_publish_callback_set(Client, [](mosquitto*, void* Data, int) { Self(Data)->Acknowledged(); });
    Networker = std::thread(&TMqttPublisher::Network, this);
    Feeder = std::thread(&TMqttPublisher::Feed, this);
}

TMqttPublisher::~TMqttPublisher() {
    {
        std::lock_guard Guard(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    Feeder.join();
    bool WasOnline = false;
    {
        // Set first, so the connection's end is not taken for a loss.
        std::lock_guard Guard(Lock);
        NetworkStop = true;
        WasOnline = Online;
        ++Outstanding;
    }
    // A clean end leaves no will behind: the status is said here.
    if (WasOnline)
        Publish(StatusTopic, "offline", true);
    mosquitto_disconnect(Client);
    Changed.notify_all();
    Networker.join();
    mosquitto_destroy(Client);
}

bool TMqttPublisher::Post(TJournalItem Item, bool) {
    std::unique_lock Guard(Lock);
    const bool IsReading = std::holds_alternative<TJournalReading>(Item);
    if (std::holds_alternative<TJournalSessionStart>(Item))
        NextSeq = 0;
    const std::int64_t Seq = IsReading ? NextSeq++ : 0;
    if (Queue.size() >= Options.QueueCapacity) {
        ++Dropped;
        if (!FullSaid) {
            FullSaid = true;
            ToSay.push_back("Publishing to " + Options.Settings.Address() + ": the queue is full (" +
                            std::to_string(Options.QueueCapacity) +
                            " items); newer readings are dropped and counted until the broker takes them again");
        }
        Say(Guard);
        return false;
    }
    // Only an empty queue can have the feeder waiting for an item.
    const bool Wake = Queue.empty();
    Queue.push_back({std::move(Item), Seq});
    Guard.unlock();
    if (Wake)
        Changed.notify_all();
    return true;
}

bool TMqttPublisher::Idle() {
    std::lock_guard Guard(Lock);
    return Online && Queue.empty() && Outstanding == 0;
}

void TMqttPublisher::Say(std::unique_lock<std::mutex>& Guard) {
    std::vector<std::string> Lines = std::move(ToSay);
    ToSay.clear();
    if (Lines.empty() || !Report)
        return;
    Guard.unlock();
    for (const std::string& Line : Lines)
        Report(Line);
    Guard.lock();
}

void TMqttPublisher::NoteLoss(const std::string& Reason) {
    if (LossSaid)
        return;
    LossSaid = true;
    ToSay.push_back("Publishing to " + Options.Settings.Address() + " has no broker: " + Reason +
                    ". Readings wait (up to " + std::to_string(Options.QueueCapacity) +
                    ") and go out in order when it is back");
}

// --- The feeder: queued items become messages, a window's worth at a time ---

void TMqttPublisher::Feed() {
    std::unique_lock Guard(Lock);
    const auto Ready = [this] {
        return Stopping || (Online && !Resending && !Queue.empty() && Outstanding < Options.InFlight);
    };
    for (;;) {
        Changed.wait_for(Guard, ResendCheck, Ready);
        if (Resending && TClock::now() >= ResendUntil)
            Resending = false;
        if (Stopping)
            break;
        if (Ready() && !SendFront(Guard)) {
            // The link went between the check and the send: the item waits
            // for the next connection.
            Online = false;
        }
    }
    Drain(Guard);
}

void TMqttPublisher::Drain(std::unique_lock<std::mutex>& Guard) {
    const auto Deadline = TClock::now() + Options.DrainWithin;
    while (Online && (!Queue.empty() || Outstanding > 0)) {
        if (!Changed.wait_until(Guard, Deadline, [this] {
                return !Online || Outstanding == 0 || (!Queue.empty() && Outstanding < Options.InFlight);
            }))
            break;
        if (Online && !Queue.empty() && Outstanding < Options.InFlight && !SendFront(Guard))
            break;
    }
    std::int64_t Left = 0;
    for (const TQueued& Queued : Queue)
        Left += std::holds_alternative<TJournalReading>(Queued.Item) ? 1 : 0;
    if (Left > 0)
        ToSay.push_back("Publishing to " + Options.Settings.Address() + " ended with " + std::to_string(Left) +
                        " readings not sent");
    Say(Guard);
}

bool TMqttPublisher::SendFront(std::unique_lock<std::mutex>& Guard) {
    TQueued Next = std::move(Queue.front());
    Queue.pop_front();
    std::string Topic, Payload;
    if (const auto* Reading = std::get_if<TJournalReading>(&Next.Item)) {
        Topic = ReadingTopic;
        Payload = ReadingJson(*Reading, Next.Seq);
    } else if (const auto* Event = std::get_if<TJournalEvent>(&Next.Item)) {
        Topic = EventTopic;
        Payload = EventJson(Event->UtcMs, Event->Kind, Event->Text);
    } else {
        // Session starts and ends are told by their own events.
        return true;
    }
    ++Outstanding;
    // Never under the lock: the client library's thread takes it in its calls.
    Guard.unlock();
    const int Result = Publish(Topic, Payload, false);
    Guard.lock();
    if (Result == MOSQ_ERR_SUCCESS)
        return true;
    if (!Unpublishable(Result)) {
        // At QoS 1 and 2 the client library keeps the message and sends it
        // first on return; at QoS 0 it is gone and waits here again.
        if (Options.Settings.QoS == 0) {
            --Outstanding;
            Queue.push_front(std::move(Next));
        }
        return false;
    }
    // A message the broker could never take (far too large): counted, not
    // tried for ever.
    --Outstanding;
    ++Dropped;
    return true;
}

int TMqttPublisher::Publish(const std::string& Topic, const std::string& Payload, bool Retain) {
    // The client library copies the payload and wakes its network loop.
    return mosquitto_publish(Client, nullptr, Topic.c_str(), static_cast<int>(Payload.size()), Payload.data(),
                             Options.Settings.QoS, Retain);
}

// --- The network loop, and the client library's calls from it ---------------

void TMqttPublisher::Network() {
    const TPublishSettings& Settings = Options.Settings;
    bool Started = false;
    bool Up = false;
    std::unique_lock Guard(Lock);
    auto StopBy = TClock::time_point::max();
    while (TClock::now() < StopBy) {
        if (NetworkStop && StopBy == TClock::time_point::max()) {
            if (!Up)
                break;
            StopBy = TClock::now() + DisconnectWithin;
        }
        if (!Up && !NetworkStop) {
            Guard.unlock();
            const int Result = Started ? mosquitto_reconnect_async(Client)
                                       : mosquitto_connect_async(Client, Settings.Host.c_str(), Settings.Port,
                                                                 KeepAliveSeconds);
            Guard.lock();
            Started = true;
            Up = Result == MOSQ_ERR_SUCCESS;
            if (!Up) {
                LastError = FailureText(Result);
                if (TClock::now() - Unreachable >= Options.ReachWithin)
                    NoteLoss(LastError);
                Say(Guard);
                Changed.wait_for(Guard, NoBrokerRetry, [this] { return NetworkStop; });
                continue;
            }
        }
        Guard.unlock();
        const int Result = mosquitto_loop(Client, LoopTimeoutMs, 1);
        Guard.lock();
        if (Result == MOSQ_ERR_SUCCESS && Connecting)
            Announce(Guard);
        if (Result != MOSQ_ERR_SUCCESS) {
            Up = false;
            if (NetworkStop)
                break;
            LastError = Result == MOSQ_ERR_NO_CONN || Result == MOSQ_ERR_CONN_LOST ? "the connection was lost"
                                                                                      : FailureText(Result);
            if (TClock::now() - Unreachable >= Options.ReachWithin)
                NoteLoss(LastError);
            Say(Guard);
            Changed.wait_for(Guard, NoBrokerRetry, [this] { return NetworkStop; });
        }
    }
}

void TMqttPublisher::Connected(int Result) {
    std::unique_lock Guard(Lock);
    if (Result != 0) {
        LastError = mosquitto_connack_string(Result);
        NoteLoss(LastError);
        Say(Guard);
        return;
    }
    // Announced by the network loop once this call has returned: publishing
    // from inside the client library's call, while the feeder publishes too,
    // takes its locks in an order that can deadlock.
    Connecting = true;
}

void TMqttPublisher::Announce(std::unique_lock<std::mutex>& Guard) {
    Connecting = false;
    // What was in flight when the link went is sent again first by the
    // client library; new messages wait for it, so all arrive in order.
    Resending = Options.Settings.QoS > 0 && Outstanding > 0;
    ResendUntil = TClock::now() + ResendWithin;
    // Status messages are counted with the rest: the client library
    // acknowledges each, and the count tells when the link is quiet.
    ++Outstanding;
    Guard.unlock();
    Publish(StatusTopic, "online", true);
    Guard.lock();
    Online = true;
    if (LossSaid) {
        ToSay.push_back(ResumedText("Publishing to " + Options.Settings.Address(), Dropped));
    }
    LossSaid = FullSaid = false;
    Dropped = 0;
    Say(Guard);
    Changed.notify_all();
}

void TMqttPublisher::Disconnected(int) {
    std::unique_lock Guard(Lock);
    const bool WasOnline = Online;
    Online = Connecting = false;
    Unreachable = TClock::now();
    // Messages at QoS 0 that were in flight are gone; at QoS 1 and 2 the
    // client library keeps them and sends them again first on return.
    if (Options.Settings.QoS == 0)
        Outstanding = 0;
    if (WasOnline && !Stopping)
        NoteLoss("the connection was lost");
    Say(Guard);
    Guard.unlock();
    Changed.notify_all();
}

void TMqttPublisher::Acknowledged() {
    bool Wanted = false;
    {
        std::lock_guard Guard(Lock);
        // The feeder waits for an acknowledgement only with a full window,
        // and the end for the last one: waking it for every reading would
        // cost more than the reading's own work.
        Wanted = Outstanding >= Options.InFlight || Outstanding <= 1 || Stopping;
        if (Outstanding > 0)
            --Outstanding;
        if (Outstanding == 0)
            Resending = false;
    }
    if (Wanted)
        Changed.notify_all();
}
