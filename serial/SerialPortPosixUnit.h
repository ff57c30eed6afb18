// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDescriptorUnit.h"

#include <cstdint>
#include <memory>
#include <string>

// The operating system's side of a serial port on Linux: the calls a port
// object needs, each reporting failure by returning false or -1 with errno
// set. A Windows backend over kernel32 would sit beside this file.

// A port's line settings in our own terms; the mode text of the settings
// ("baud=128000 parity=N data=8 stop=1") is parsed into it.
struct TSerialLineSettings {
    std::uint32_t Baud = 0;
    char Parity = 'N'; // N, E, O, M or S
    int DataBits = 8;  // 5 to 8
    int StopBits = 1;  // 1 or 2 (1.5 is taken as 2)
    bool RtsCtsFlowControl = false;
    bool DtrDsrFlowControl = false;
};

// Parses the Windows mode syntax "baud=B parity=P data=D stop=S" (any
// order, any subset, keys case-insensitive). False for anything it cannot
// take.
bool BuildLineSettings(const std::string& Mode, TSerialLineSettings& Settings);

// The port's settings as the kernel holds them, saved at open and put back
// at close.
struct TSavedPortState;
struct TSavedPortStateDeleter {
    void operator()(TSavedPortState* State) const;
};
using TSavedPortStatePtr = std::unique_ptr<TSavedPortState, TSavedPortStateDeleter>;

namespace PosixSerial {

// How far the rate a port runs at may be from the rate asked for: a UART
// 2 % off still frames every byte of a short record.
constexpr double BaudTolerance = 0.02;

// open() for reading and writing without becoming the controlling
// terminal, then exclusive use: TIOCEXCL keeps other programs out, and a
// non-blocking flock() keeps out even root and other opens in this process.
// An invalid descriptor, with errno set, when the port will not open.
TFileDescriptor OpenExclusive(const std::string& Path);
// Gives up TIOCEXCL before the close: the flag belongs to the terminal, not
// to this descriptor, and would keep every other program out after us.
bool ReleaseExclusive(int Fd);

TSavedPortStatePtr SaveState(int Fd);
bool RestoreState(int Fd, const TSavedPortState& State);
// Raw 8-bit mode at exactly the given rate (128000 is not a standard Unix
// rate; termios2 with BOTHER sets it as it is), CLOCAL and CREAD.
bool ApplySettings(int Fd, const TSerialLineSettings& Settings);
// The rate the kernel reports for the port.
bool ReadBaud(int Fd, std::uint32_t& Baud);

bool BytesQueued(int Fd, std::uint32_t& Count);
// True when the other end has hung up or the device has gone.
bool HungUp(int Fd);
bool DiscardInput(int Fd);
// Waits up to TimeoutMs (-1: for ever) for input; false on failure.
bool WaitReadable(int Fd, int TimeoutMs, bool& Ready);
bool WaitWritable(int Fd, int TimeoutMs, bool& Ready);

} // namespace PosixSerial

// The calls a port object makes to open its device, set its line and read
// back what the driver made of it. A test puts in one of its own to play an
// adapter that this machine does not have (a UART that stays at 9600).
class TSerialPortSystem {
  public:
    virtual ~TSerialPortSystem() = default;
    virtual TFileDescriptor OpenExclusive(const std::string& Path) const { return PosixSerial::OpenExclusive(Path); }
    virtual bool ApplySettings(int Fd, const TSerialLineSettings& Settings) const {
        return PosixSerial::ApplySettings(Fd, Settings);
    }
    virtual bool ReadBaud(int Fd, std::uint32_t& Baud) const { return PosixSerial::ReadBaud(Fd, Baud); }
    static const TSerialPortSystem& Linux();
};
