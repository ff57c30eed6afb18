// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveLinkUnit.h"

#include "PortDiscoveryUnit.h"
#include "ProfileFileUnit.h"
#include "SerialCommUnit.h"
#include "SettingsKeysUnit.h"

#include <unistd.h>

bool AutoReconnectEnabled(const QString& IniFileName) {
    return TProfileFile(IniFileName).ReadInteger(PortsSection, AutoReconnectKey, 1) != 0;
}

TLiveLink::TLiveLink(TCommsSink ASink, TSay ASay) : Sink(std::move(ASink)), Say(std::move(ASay)) {}

TLiveLink::~TLiveLink() { Stop(); }

TSerialPortReader* TLiveLink::Port() const { return PortOpen.get(); }

void TLiveLink::Start(std::uint8_t ANumber, const std::string& Path, bool Reconnect) {
    Stop();
    PortOpen = OpenLivePortOrRaise(ANumber, Path);
    Number = ANumber;
    WatchedPath = PortOpen->DevicePath();
    Reconnecting = Reconnect;
    Resume = {};
    Comms = TPackMonCommsThread::Live(*PortOpen, Sink);
}

bool TLiveLink::Stop() {
    const bool WasDown = Down() || (Comms && Comms->LinkLost());
    StopThread();
    PortOpen.reset();
    Number = 0;
    WatchedPath.clear();
    return WasDown;
}

void TLiveLink::StopThread() {
    if (!Comms)
        return;
    Comms->Terminate();
    Comms->WaitFor();
    Resume = Comms->DecodeStateNow();
    Comms.reset();
}

void TLiveLink::Tick() {
    if (Comms && Comms->LinkLost())
        NoticeLoss();
    else if (Down() && Reconnecting)
        TryReopen();
}

void TLiveLink::NoticeLoss() {
    StopThread();
    // Closed at once, so that the device node can go and come back.
    PortOpen.reset();
    ReopenFailureSaid = false;
    Say("monitor disconnected from " + PortTitle(Number, WatchedPath) +
            (Reconnecting ? "; it is opened again when it is back"
                          : "; choose the port again to go on ([Ports] AutoReconnect=0)"),
        "disconnect", true);
}

void TLiveLink::TryReopen() {
    // Only the device the user chose, by the path it was opened by.
    if (::access(WatchedPath.c_str(), F_OK) != 0)
        return;
    try {
        PortOpen = OpenLivePortOrRaise(Number, WatchedPath);
    } catch (const std::exception& Failure) {
        // Said once: udev may still be setting the node's permissions, and
        // trying again costs nothing.
        if (!std::exchange(ReopenFailureSaid, true))
            Say(PortTitle(Number, WatchedPath) + " is back but cannot be opened yet: " + FailureMessage(Failure),
                "error", false);
        return;
    }
    Comms = TPackMonCommsThread::Live(*PortOpen, Sink, &Resume);
    Say("monitor reconnected on " + PortTitle(Number, WatchedPath), "reconnect", false);
}
