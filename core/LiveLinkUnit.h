// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonCommsThreadUnit.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class SerialCommClass;
class TSerialPortReader;

// [Ports] AutoReconnect: on unless the settings file says 0.
bool AutoReconnectEnabled(const QString& IniFileName);

// Logging from a monitor on a port: the port, its comms thread, and what
// happens when the line goes. A hang-up is said once, with one beep; while
// the device stays away nothing more is said. With reconnecting on, the
// same path (best a stable /dev/serial/by-id name) is watched and opened
// again as soon as it is back, with one line; the run goes on where it was.
// A live session keeps one; its comms thread is given the port it reads.
class TLiveLink {
  public:
    static constexpr int TickMilliseconds = 250;

    // A line for the Errors pane, the journal event kind to keep it as
    // ("disconnect", "reconnect" or "error"), and whether it beeps.
    using TSay = std::function<void(const std::string& Line, const char* Kind, bool Beep)>;

    TLiveLink(TCommsSink ASink, TSay ASay);
    ~TLiveLink();
    TLiveLink(const TLiveLink&) = delete;
    TLiveLink& operator=(const TLiveLink&) = delete;

    // Opens COM n, the device at Path, for live logging and starts reading
    // it; raises the port's own failure, with nothing started.
    void Start(std::uint8_t Number, const std::string& Path, bool Reconnect);
    // Ends live logging; true when the line was down at the end.
    bool Stop();
    // Main thread, every TickMilliseconds: a lost line is noticed and said,
    // and a device that is back is opened again.
    void Tick();

    bool Active() const { return Number != 0; }
    bool Down() const { return Active() && !Comms; }
    TSerialPortReader* Port() const;
    const SerialCommClass* PortObject() const { return PortOpen.get(); }
    const TPackMonCommsThread* Thread() const { return Comms.get(); }
    std::uint8_t PortNumber() const { return Number; }
    // The path the port was opened by, and is watched by after a hang-up.
    const std::string& Path() const { return WatchedPath; }

  private:
    void NoticeLoss();
    void TryReopen();
    void StopThread();

    TCommsSink Sink;
    TSay Say;
    std::unique_ptr<SerialCommClass> PortOpen;
    std::unique_ptr<TPackMonCommsThread> Comms;
    TPackMonDecodeState Resume;
    std::uint8_t Number = 0;
    std::string WatchedPath;
    bool Reconnecting = false;
    bool ReopenFailureSaid = false;
};
