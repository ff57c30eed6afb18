// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real mosquitto broker on 127.0.0.1 at a free port, and a subscriber
// that keeps every message it is given.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <pwd.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class TBroker {
  public:
    TBroker() {
        // The port is chosen once and kept across a restart, as a broker's is.
        PortNumber = FreePort();
        QFile Config(Folder.filePath(QStringLiteral("mosquitto.conf")));
        Config.open(QIODevice::WriteOnly);
        const passwd* Me = ::getpwuid(::geteuid());
        // Persistence keeps what the subscriber has not yet been given
        // across a restart, as a real installation's broker does.
        Config.write(("listener " + std::to_string(PortNumber) + " 127.0.0.1\nallow_anonymous true\n" +
                      "persistence true\npersistence_location " + Folder.path().toStdString() + "/\n" + "user " +
                      (Me != nullptr ? Me->pw_name : "nobody") + "\n")
                         .c_str());
        Config.close();
        Start();
    }
    ~TBroker() { Stop(); }

    int Port() const { return PortNumber; }

    // Started with fork and exec, not QProcess: Qt's vfork-like start hides
    // the parent's later locking from ThreadSanitizer, which then reports
    // races that are not there.
    void Start() {
        const std::string Program =
            QFile::exists(QStringLiteral("/usr/sbin/mosquitto")) ? "/usr/sbin/mosquitto" : "mosquitto";
        const std::string Config = Folder.filePath(QStringLiteral("mosquitto.conf")).toStdString();
        const std::string Log = Folder.filePath(QStringLiteral("mosquitto.log")).toStdString();
        Pid = ::fork();
        if (Pid == 0) {
            const int Out = ::open(Log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            ::dup2(Out, STDOUT_FILENO);
            ::dup2(Out, STDERR_FILENO);
            ::execlp(Program.c_str(), "mosquitto", "-c", Config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Up once it takes connections.
        for (int Tries = 0; Tries < 1000 && Running(); ++Tries) {
            if (Accepts())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    void Stop() {
        if (Pid <= 0)
            return;
        ::kill(Pid, SIGTERM);
        int Status = 0;
        ::waitpid(Pid, &Status, 0);
        Pid = -1;
    }
    std::string Output() {
        QFile Log(Folder.filePath(QStringLiteral("mosquitto.log")));
        return Log.open(QIODevice::ReadOnly) ? Log.readAll().toStdString() : std::string();
    }

  private:
    static sockaddr_in Local(int Port) {
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Address.sin_port = htons(static_cast<std::uint16_t>(Port));
        return Address;
    }
    static int FreePort() {
        const int Socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in Address = Local(0);
        socklen_t Length = sizeof Address;
        ::bind(Socket, reinterpret_cast<sockaddr*>(&Address), sizeof Address);
        ::getsockname(Socket, reinterpret_cast<sockaddr*>(&Address), &Length);
        ::close(Socket);
        return ntohs(Address.sin_port);
    }
    bool Accepts() const {
        const int Socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in Address = Local(PortNumber);
        const bool Connected = ::connect(Socket, reinterpret_cast<sockaddr*>(&Address), sizeof Address) == 0;
        ::close(Socket);
        return Connected;
    }

    bool Running() const {
        int Status = 0;
        return Pid > 0 && ::waitpid(Pid, &Status, WNOHANG) == 0;
    }

    QTemporaryDir Folder;
    int PortNumber = 0;
    pid_t Pid = -1;
};

struct TMessage {
    std::string Topic;
    std::string Payload;
    bool Retained = false;
};

// Subscribes to Topic/# at QoS 1 in a session the broker keeps, so nothing
// is missed while it is away.
class TSubscriber {
  public:
    // Name tells apart several subscribers of one test.
    TSubscriber(int Port, const std::string& Topic, const std::string& Name = "packmon-test") {
        mosquitto_lib_init();
        Client = mosquitto_new((Name + "-" + std::to_string(::getpid())).c_str(), false, this);
        mosquitto_message_callback_set(Client, [](mosquitto*, void* Self, const mosquitto_message* Message) {
            auto& Me = *static_cast<TSubscriber*>(Self);
            std::lock_guard Guard(Me.Lock);
            Me.Messages.push_back(
                {Message->topic,
                 std::string(static_cast<const char*>(Message->payload), static_cast<std::size_t>(Message->payloadlen)),
                 Message->retain});
            Me.Changed.notify_all();
        });
        mosquitto_connect_callback_set(Client, [](mosquitto* Mosq, void* Self, int) {
            mosquitto_subscribe(Mosq, nullptr, static_cast<TSubscriber*>(Self)->Filter.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(Client, [](mosquitto*, void* Self, int, int, const int*) {
            auto& Me = *static_cast<TSubscriber*>(Self);
            std::lock_guard Guard(Me.Lock);
            Me.Subscribed = true;
            Me.Changed.notify_all();
        });
        Filter = Topic + "/#";
        mosquitto_reconnect_delay_set(Client, 1, 1, false);
        mosquitto_connect(Client, "127.0.0.1", Port, 30);
        mosquitto_loop_start(Client);
    }
    ~TSubscriber() {
        mosquitto_disconnect(Client);
        mosquitto_loop_stop(Client, false);
        mosquitto_destroy(Client);
    }
    // True once Done holds of the messages kept so far.
    bool WaitFor(const std::function<bool(const std::vector<TMessage>&)>& Done,
                 std::chrono::milliseconds Limit = std::chrono::seconds(30)) {
        std::unique_lock Guard(Lock);
        return Changed.wait_for(Guard, Limit, [&] { return Done(Messages); });
    }
    bool WaitSubscribed() {
        std::unique_lock Guard(Lock);
        return Changed.wait_for(Guard, std::chrono::seconds(10), [&] { return Subscribed; });
    }
    std::vector<TMessage> Received() {
        std::lock_guard Guard(Lock);
        return Messages;
    }

  private:
    mosquitto* Client = nullptr;
    std::string Filter;
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<TMessage> Messages;
    bool Subscribed = false;
};
