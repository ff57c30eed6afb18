// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrokerSupport.h"
#include "LoggerUnit.h"
#include "SqliteUnit.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class Logger : public testing::Test {
  protected:
    QTemporaryDir Dir;
    QString Ini = Dir.filePath("PackMon.Ini");
    std::string Journal = Dir.filePath("PackMonSessions.sqlite").toStdString();

    void Settings(const std::string& Text) { std::ofstream(Ini.toStdString()) << Text; }
    void Start(QProcess& Process, const QStringList& Arguments) {
        Process.start(QString::fromUtf8(PACKMON_LOGGER), QStringList{"--settings", Ini} + Arguments);
        ASSERT_TRUE(Process.waitForStarted());
    }
    int Finish(QProcess& Process) {
        Process.waitForFinished(60000);
        return Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    }
    std::string LastSession(const char* Column) {
        TSqliteDatabase Db(Journal, false, 2000);
        TSqliteStatement Query(
            Db, ("SELECT coalesce(" + std::string(Column) + ", '') FROM sessions ORDER BY id DESC LIMIT 1").c_str());
        return Query.Step() ? Query.Text(0) : std::string();
    }
};

std::size_t Occurrences(const std::string& Text, const std::string& Part) {
    std::size_t Count = 0;
    for (auto At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1))
        ++Count;
    return Count;
}

TEST_F(Logger, ASimulatedRunEndsOnTimeWithItsReportAndPlainLinesDespiteABadPublishEntry) {
    Settings("[Publish]\nHost=127.0.0.1\nPort=abc\n");
    QProcess Process;
    Start(Process, {"--sim", "--duration", "2s", "--report", Dir.filePath("r.html")});
    ASSERT_EQ(Finish(Process), LogExitDone);
    const std::string Out = Process.readAllStandardOutput().toStdString();
    const std::string Err = Process.readAllStandardError().toStdString();
    EXPECT_EQ(Out.rfind("records ", 0), 0u) << "one plain line when not on a terminal: " << Out;
    EXPECT_EQ(Occurrences(Out, "\n"), 1u) << Out;
    EXPECT_EQ(Occurrences(Err, "[Publish] Port=abc is not a number"), 1u) << Err;
    EXPECT_EQ(LastSession("end_reason"), "closed");
    EXPECT_GE(std::stoi(LastSession("readings")), 4);
    QFile Page(Dir.filePath("r.html"));
    ASSERT_TRUE(Page.open(QIODevice::ReadOnly)) << Err;
    EXPECT_TRUE(Page.readAll().contains("data:image/png;base64,"));
}

TEST_F(Logger, AnUnpluggedMonitorIsSaidOnceAndLoggingGoesOnWhenItIsBack) {
    const QString Link = Dir.filePath("usb-PackMon_Monitor-if00");
    QProcess Monitor;
    Monitor.start(QString::fromUtf8(PACKMON_SIMULATOR),
                  {"--interval", "50", "--hang-up-after", "20", "--unplug-for", "1", "--link", Link});
    ASSERT_TRUE(Monitor.waitForReadyRead(10000));
    QProcess Process;
    Start(Process, {"--port", Link, "--duration", "4s", "--journal", QString::fromStdString(Journal)});
    ASSERT_EQ(Finish(Process), LogExitDone);
    Monitor.kill();
    Monitor.waitForFinished();
    const std::string Err = Process.readAllStandardError().toStdString();
    EXPECT_EQ(Occurrences(Err, "monitor disconnected from"), 1u) << Err;
    EXPECT_EQ(Occurrences(Err, "monitor reconnected on"), 1u) << Err;
    TSqliteDatabase Db(Journal, false, 2000);
    EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM events WHERE kind IN ('disconnect', 'reconnect')"), 2);
    EXPECT_GT(std::stoi(LastSession("readings")), 25) << "readings after the return are kept";
    EXPECT_EQ(LastSession("end_reason"), "closed");
}

TEST_F(Logger, ASignalEndsTheSessionCleanlyAndTheBrokersWillSpeaksForAKilledOne) {
    TBroker Broker;
    TSubscriber Subscriber(Broker.Port(), "lab/bench7");
    ASSERT_TRUE(Subscriber.WaitSubscribed());
    Settings("[Publish]\nHost=127.0.0.1\nPort=" + std::to_string(Broker.Port()) + "\nTopic=lab/bench7\n");
    const auto Readings = [](const std::vector<TMessage>& Messages) {
        return std::count_if(Messages.begin(), Messages.end(),
                             [](const TMessage& Message) { return Message.Topic == "lab/bench7/reading"; });
    };
    const auto LastStatus = [](const std::vector<TMessage>& Messages) {
        for (auto At = Messages.rbegin(); At != Messages.rend(); ++At)
            if (At->Topic == "lab/bench7/status")
                return At->Payload;
        return std::string();
    };
    for (const int Signal : {SIGTERM, SIGKILL}) {
        QProcess Process;
        Start(Process, {"--sim"});
        const long Before = Readings(Subscriber.Received());
        ASSERT_TRUE(Subscriber.WaitFor([&](const auto& Messages) {
            return Readings(Messages) > Before + 1 && LastStatus(Messages) == "online";
        })) << Process.readAllStandardError().toStdString();
        // Whoever subscribes later is told the state by the broker's retained copy.
        const auto RetainedStatus = [&](const std::string& Name, const std::string& Payload) {
            TSubscriber Late(Broker.Port(), "lab/bench7", Name);
            return Late.WaitFor([&](const auto& Messages) {
                return std::any_of(Messages.begin(), Messages.end(), [&](const TMessage& Message) {
                    return Message.Topic == "lab/bench7/status" && Message.Retained && Message.Payload == Payload;
                });
            });
        };
        EXPECT_TRUE(RetainedStatus("late-" + std::to_string(Signal), "online")) << "signal " << Signal;
        ::kill(static_cast<pid_t>(Process.processId()), Signal);
        const int Status = Finish(Process);
        if (Signal == SIGTERM) {
            EXPECT_EQ(Status, LogExitDone) << Process.readAllStandardError().toStdString();
            EXPECT_EQ(LastSession("end_reason"), "closed");
        }
        EXPECT_TRUE(Subscriber.WaitFor([&](const auto& Messages) { return LastStatus(Messages) == "offline"; }))
            << "signal " << Signal;
        EXPECT_TRUE(RetainedStatus("later-" + std::to_string(Signal), "offline")) << "signal " << Signal;
    }
}

TEST_F(Logger, BadInputExitsWithItsDocumentedStatusAndTheReason) {
    Settings("");
    const auto Run = [&](const QStringList& Arguments, std::string* Err = nullptr) {
        QProcess Process;
        Start(Process, Arguments);
        const int Status = Finish(Process);
        if (Err)
            *Err = Process.readAllStandardError().toStdString();
        return Status;
    };
    EXPECT_EQ(Run({"--sim", "--colour"}), LogExitUsage);
    EXPECT_EQ(Run({"--sim", "--duration", "0s"}), LogExitUsage);
    EXPECT_EQ(Run({"--sim", "--duration", "5x"}), LogExitUsage);
    EXPECT_EQ(Run({}), LogExitUsage) << "neither a port nor the simulator";
    std::string Err;
    EXPECT_EQ(Run({"--port", "/dev/packmon-no-such-port"}, &Err), LogExitPortCannotOpen);
    EXPECT_NE(Err.find("/dev/packmon-no-such-port cannot be opened: SerialComm"), std::string::npos) << Err;
    EXPECT_EQ(Run({"--sim", "--journal", Dir.filePath("no/such/folder/j.sqlite")}, &Err),
              LogExitJournalCannotBeWritten);
    EXPECT_NE(Err.find("cannot be written"), std::string::npos) << Err;

    std::chrono::milliseconds Duration{};
    ASSERT_TRUE(ParseDuration("1h30m", Duration));
    EXPECT_EQ(Duration, 90min);
    ASSERT_TRUE(ParseDuration("1.5", Duration));
    EXPECT_EQ(Duration, 1500ms);
    EXPECT_FALSE(ParseDuration("h", Duration));
}

} // namespace
