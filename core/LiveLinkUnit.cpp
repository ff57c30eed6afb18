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

TLiveLink::TLiveLink(TPackMonCommsReceiver& AReceiver, TSay ASay) : Receiver(AReceiver), Say(std::move(ASay)) {}

TLiveLink::~TLiveLink() { Stop(); }

TSerialPortReader* TLiveLink::Port() const { return PortOpen.get(); }

void TLiveLink::Start(std::uint8_t ANumber, bool Reconnect) {
    Stop();
    PortOpen = OpenLivePortOrRaise(ANumber);
    Number = ANumber;
    WatchedPath = PortOpen->DevicePath();
    Reconnecting = Reconnect;
    Resume = {};
    Comms = TPackMonCommsThread::Create({}, &Receiver);
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
    // Only the device the user chose: the number may name another by now.
    if (::access(WatchedPath.c_str(), F_OK) != 0 || PortDevicePath(Number) != WatchedPath)
        return;
    try {
        PortOpen = OpenLivePortOrRaise(Number);
    } catch (const std::exception& Failure) {
        // Said once: udev may still be setting the node's permissions, and
        // trying again costs nothing.
        if (!std::exchange(ReopenFailureSaid, true))
            Say(PortTitle(Number, WatchedPath) + " is back but cannot be opened yet: " + FailureMessage(Failure),
                "error", false);
        return;
    }
    Comms = TPackMonCommsThread::Create({}, &Receiver, &Resume);
    Say("monitor reconnected on " + PortTitle(Number, WatchedPath), "reconnect", false);
}
