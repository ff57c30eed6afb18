// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialCommUnit.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Which device each COM number names. The settings file's section "Ports"
// pins numbers to paths (COM3=/dev/ttyUSB0, or better a stable name such
// as COM3=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0,
// which stays with the adapter whatever is plugged in first). The serial
// devices present that no pin names take the numbers left, in order; with
// no pins COM n is the n-th device present.
class TPortTable {
  public:
    static TPortTable Load(const QString& IniFileName, const std::string& DeviceFolder = "/dev");
    const std::string& Path(std::uint8_t PortNumber) const { return Paths[PortNumber]; }
    bool Pinned(std::uint8_t PortNumber) const { return PinnedNumbers[PortNumber]; }
    // The number that names Path, 0 when none does.
    std::uint8_t NumberOf(const std::string& Path) const;
    void Pin(std::uint8_t PortNumber, std::string Path) {
        Paths[PortNumber] = std::move(Path);
        PinnedNumbers[PortNumber] = true;
    }

  private:
    std::array<std::string, 256> Paths;
    std::array<bool, 256> PinnedNumbers{};
};

// The number that names Given, for a port named on a command line: "COM3"
// (any letter case) is 3; a device path takes the number the table gives
// it, else the first free number, pinned to it in Table. Raises
// ENoSuchPort for anything else.
class ENoSuchPort : public EPackMonException {
  public:
    explicit ENoSuchPort(const std::string& Given)
        : EPackMonException("No such port: " + Given + " (COM1 to COM255)") {}
};
std::uint8_t PortNumberFor(TPortTable& Table, const std::string& Given);

// One port as the COMPort menu shows it.
struct TPortListing {
    std::uint8_t PortNumber = 0;
    std::string Path;        // as the table names it
    std::string Device;      // the device node it leads to now
    std::string Description; // the adapter's product, maker and serial number, when known
    bool Connected = false;  // the port this program is logging from
    std::string Unavailable; // why it cannot be chosen now; empty when it can
};

// Where the system tells about its ports; tests give folders of their own.
struct TPortSystemView {
    std::string Sys = "/sys";
    std::string Proc = "/proc";
    std::string Locks = "/var/lock";
    std::string ById = "/dev/serial/by-id";
};

// The ports of the table, told from device nodes, sysfs, lock files and
// the open files of other processes, without opening any port: on Linux an
// open raises DTR, which resets many boards, and taking a port's settings
// would disturb a program using it. A pinned port that is not plugged in is
// listed as unavailable; a legacy ttyS name with no UART behind it is left
// out. ConnectedDevice is the device this program has open.
std::vector<TPortListing> ListPorts(const TPortTable& Table, const std::string& ConnectedDevice,
                                    const TPortSystemView& View = {});
// The device node a path leads to, empty when there is none.
std::string DeviceBehind(const std::string& Path);
// The lines of a port's tooltip.
std::string PortToolTip(const TPortListing& Port);

// COM n at Path for live logging: 128000 baud 8N1, 1 MiB input queue;
// raises the port's own failure (ESerialCommException).
std::unique_ptr<SerialCommClass> OpenLivePortOrRaise(std::uint8_t PortNumber, const std::string& Path);
