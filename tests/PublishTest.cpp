// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrokerSupport.h"
#include "MqttPublisherUnit.h"
#include "PublishSettingsUnit.h"
#include "ReadingMessagesUnit.h"

#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string Topic = "bench/test";

TJournalReading Reading(std::int64_t Index) {
    TJournalReading Item;
    Item.ReceivedUtcMs = 1765000000000 + Index * 1000;
    Item.ElapsedMs = Index * 1000;
    Item.Millivolts[0] = 26400;
    for (int Cell = 0; Cell < CellCount; ++Cell)
        Item.Millivolts[1 + Cell] = 3300 + Cell;
    return Item;
}

// The readings' seq numbers in the order they first arrived; a reading
// sent again after a lost acknowledgement arrives twice, as QoS 1 allows.
std::vector<long> FirstArrivals(const std::vector<TMessage>& Messages) {
    std::vector<long> Seqs;
    for (const TMessage& Message : Messages) {
        if (Message.Topic != Topic + "/reading")
            continue;
        const long Seq = std::stol(Message.Payload.substr(Message.Payload.find(':') + 1));
        if (std::find(Seqs.begin(), Seqs.end(), Seq) == Seqs.end())
            Seqs.push_back(Seq);
    }
    return Seqs;
}

bool HasSeq(const std::vector<TMessage>& Messages, long Seq) {
    const std::vector<long> Seqs = FirstArrivals(Messages);
    return std::find(Seqs.begin(), Seqs.end(), Seq) != Seqs.end();
}

struct TLines {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::string> Said;
    TMqttPublisher::TReport Report() {
        return [this](const std::string& Line) {
            std::lock_guard Guard(Lock);
            Said.push_back(Line);
            Changed.notify_all();
        };
    }
    bool WaitFor(const std::string& Part) {
        std::unique_lock Guard(Lock);
        return Changed.wait_for(Guard, 30s, [&] {
            return std::any_of(Said.begin(), Said.end(),
                               [&](const std::string& Line) { return Line.find(Part) != std::string::npos; });
        });
    }
};

TPublisherOptions Options(int Port) {
    TPublisherOptions Publish;
    Publish.Settings.Host = "127.0.0.1";
    Publish.Settings.Port = Port;
    Publish.Settings.Topic = Topic;
    Publish.ReachWithin = 0ms;
    return Publish;
}

TEST(Publish, EveryReadingArrivesInOrderAcrossABrokerRestart) {
    TBroker Broker;
    TSubscriber Subscriber(Broker.Port(), Topic);
    ASSERT_TRUE(Subscriber.WaitSubscribed()) << Broker.Output();
    TLines Lines;
    {
        TMqttPublisher Publisher(Options(Broker.Port()), Lines.Report());
        Publisher.Post(TJournalSessionStart{1765000000000, "COM3", "/dev/ttyUSB0"});
        for (int I = 0; I < 100; ++I)
            Publisher.Post(Reading(I));
        ASSERT_TRUE(Subscriber.WaitFor([](const auto& Messages) { return HasSeq(Messages, 99); }));
        Broker.Stop();
        for (int I = 100; I < 200; ++I)
            Publisher.Post(Reading(I));
        ASSERT_TRUE(Lines.WaitFor("has no broker"));
        Broker.Start();
        for (int I = 200; I < 300; ++I)
            Publisher.Post(Reading(I));
        Publisher.Post(TJournalEvent{1765000300000, "alarm", "Cell 5 below 3.000 V", {}});
        ASSERT_TRUE(Subscriber.WaitFor([](const auto& Messages) { return HasSeq(Messages, 299); }))
            << FirstArrivals(Subscriber.Received()).size() << " readings arrived";
        ASSERT_TRUE(Lines.WaitFor("resumed"));
    }
    ASSERT_TRUE(Subscriber.WaitFor([](const auto& Messages) {
        return !Messages.empty() && Messages.back().Topic == Topic + "/status" && Messages.back().Payload == "offline";
    })) << "a clean end says offline";

    std::vector<long> Expected(300);
    std::iota(Expected.begin(), Expected.end(), 0);
    const std::vector<TMessage> Messages = Subscriber.Received();
    const std::vector<long> Arrived = FirstArrivals(Messages);
    const auto Apart = std::mismatch(Arrived.begin(), Arrived.end(), Expected.begin(), Expected.end());
    EXPECT_EQ(Arrived, Expected) << "first out of order at " << (Apart.first - Arrived.begin()) << ": "
                                 << (Apart.first != Arrived.end() ? *Apart.first : -1);
    EXPECT_EQ(Messages.front().Topic, Topic + "/status");
    EXPECT_EQ(Messages.front().Payload, "online");
    EXPECT_TRUE(std::any_of(Messages.begin(), Messages.end(), [](const TMessage& Message) {
        return Message.Topic == Topic + "/event" &&
               Message.Payload == R"({"utc":"2025-12-06T05:51:40.000Z","kind":"alarm","text":"Cell 5 below 3.000 V"})";
    }));
    ASSERT_EQ(Lines.Said.size(), 2u) << "one line when the broker went, one when it came back: " << Lines.Said.back();
    EXPECT_NE(Lines.Said[1].find("no readings were lost"), std::string::npos) << Lines.Said[1];
}

TEST(Publish, AFullQueueKeepsTheOldestAndSaysOnceHowManyWentMissing) {
    TBroker Broker;
    TSubscriber Subscriber(Broker.Port(), Topic);
    ASSERT_TRUE(Subscriber.WaitSubscribed());
    Broker.Stop();
    TLines Lines;
    TPublisherOptions Small = Options(Broker.Port());
    Small.QueueCapacity = 10;
    TMqttPublisher Publisher(Small, Lines.Report());
    ASSERT_TRUE(Lines.WaitFor("has no broker"));
    for (int I = 0; I < 25; ++I)
        Publisher.Post(Reading(I));
    Broker.Start();
    ASSERT_TRUE(Lines.WaitFor("resumed"));
    ASSERT_TRUE(Subscriber.WaitFor([](const auto& Messages) { return HasSeq(Messages, 9); }));
    EXPECT_EQ(FirstArrivals(Subscriber.Received()).size(), 10u);
    std::lock_guard Guard(Lines.Lock);
    ASSERT_EQ(Lines.Said.size(), 3u);
    EXPECT_NE(Lines.Said[1].find("the queue is full (10 items)"), std::string::npos) << Lines.Said[1];
    EXPECT_NE(Lines.Said[2].find("15 readings could not be kept"), std::string::npos) << Lines.Said[2];
}

TEST(Publish, AReadingBecomesJsonWithExactVoltsAndTheFittedCellsCompared) {
    TJournalReading Item = Reading(12);
    Item.Millivolts[5] = 3197;
    Item.Millivolts[8] = 0; // not fitted
    EXPECT_EQ(ReadingJson(Item, 7),
              R"({"seq":7,"utc":"2025-12-06T05:46:52.000Z","elapsed_s":12.000,"battery_V":26.400,)"
              R"("cells_V":[3.300,3.301,3.302,3.303,3.197,3.305,3.306,0.000],"spread_V":0.109,)"
              R"("lowest_cell":5,"highest_cell":7})");
    EXPECT_EQ(MillivoltsText(-5), "-0.005");
    EXPECT_EQ(JsonString("a\"b\\\n"), R"("a\"b\\\u000a")");
}

TEST(PublishSettings, OffWithoutAHostAndOneLineForAnEntryThatCannotBeUsed) {
    QTemporaryDir Folder;
    const QString Ini = Folder.filePath(QStringLiteral("PackMon.Ini"));
    const auto Read = [&](const std::string& Section) {
        std::ofstream(Ini.toStdString()) << "[Publish]\n" << Section;
        std::string Problem;
        const auto Settings = ReadPublishSettings(Ini, Problem);
        return std::make_pair(Settings, Problem);
    };
    const auto [Off, Quiet] = Read("Port=1\n");
    EXPECT_FALSE(Off);
    EXPECT_EQ(Quiet, "");
    const auto [Good, None] =
        Read("Host=broker\nPort=8883\nQoS=0\nPasswordFile=" + Folder.filePath(QStringLiteral("secret")).toStdString() +
             "\n");
    EXPECT_FALSE(Good) << "the password file is missing";
    EXPECT_EQ(None,
              "The settings file's [Publish] PasswordFile=" + Folder.filePath(QStringLiteral("secret")).toStdString() +
                  " cannot be read; readings are not published");
    std::ofstream(Folder.filePath(QStringLiteral("secret")).toStdString()) << "s3cret\r\n";
    const auto [Read2, NoProblem] = Read("Host=broker\nPort=8883\nQoS=0\nUsername=lab\nPasswordFile=" +
                                         Folder.filePath(QStringLiteral("secret")).toStdString() + "\n");
    ASSERT_TRUE(Read2) << NoProblem;
    EXPECT_EQ(Read2->Address(), "broker:8883");
    EXPECT_EQ(Read2->Password, "s3cret");
    EXPECT_EQ(Read2->Topic, "packmon/bench1");
    EXPECT_EQ(Read("Host=b\nPort=70000\n").second,
              "The settings file's [Publish] Port=70000 is not a number from 1 to 65535; readings are not published");
    EXPECT_EQ(Read("Host=b\nQoS=3\n").second,
              "The settings file's [Publish] QoS=3 is not a number from 0 to 2; readings are not published");
    EXPECT_NE(Read("Host=b\nTopic=lab/#\n").second.find("Topic=lab/# is not a topic"), std::string::npos);
}

} // namespace
