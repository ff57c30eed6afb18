// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPortPosixUnit.h"

// termios2 lives in the kernel's headers, which clash with glibc's
// <termios.h>; this file uses only the kernel's.
// clang-format off
#include <asm/ioctls.h>
#include <asm/termbits.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

extern "C" int ioctl(int Fd, unsigned long Request, ...);

struct TSavedPortState {
    struct termios2 Settings;
};

void TSavedPortStateDeleter::operator()(TSavedPortState* State) const { delete State; }

namespace {

std::string Lower(std::string Text) {
    std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char C) { return std::tolower(C); });
    return Text;
}

bool ParseUnsigned(const std::string& Text, std::uint32_t& Value) {
    if (Text.empty() || Text.size() > 9 || !std::all_of(Text.begin(), Text.end(), ::isdigit))
        return false;
    Value = static_cast<std::uint32_t>(std::stoul(Text));
    return true;
}

} // namespace

bool BuildLineSettings(const std::string& Mode, TSerialLineSettings& Settings) {
    std::istringstream Words(Mode);
    std::string Word;
    while (Words >> Word) {
        const std::size_t Equals = Word.find('=');
        if (Equals == std::string::npos)
            return false;
        const std::string Key = Lower(Word.substr(0, Equals));
        const std::string Value = Word.substr(Equals + 1);
        std::uint32_t Number = 0;
        if (Key == "baud") {
            if (!ParseUnsigned(Value, Number) || Number == 0)
                return false;
            Settings.Baud = Number;
        } else if (Key == "parity") {
            const std::string P = Lower(Value);
            if (P.size() != 1 || std::string("neoms").find(P[0]) == std::string::npos)
                return false;
            Settings.Parity = static_cast<char>(std::toupper(P[0]));
        } else if (Key == "data") {
            if (!ParseUnsigned(Value, Number) || Number < 5 || Number > 8)
                return false;
            Settings.DataBits = static_cast<int>(Number);
        } else if (Key == "stop") {
            if (Value == "1")
                Settings.StopBits = 1;
            else if (Value == "1.5" || Value == "2")
                Settings.StopBits = 2;
            else
                return false;
        } else {
            return false;
        }
    }
    return true;
}

namespace PosixSerial {

TFileDescriptor OpenExclusive(const std::string& Path) {
    TFileDescriptor Port(::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!Port.Valid())
        return Port;
    if (::ioctl(Port.Get(), TIOCEXCL) != 0 || ::flock(Port.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int Saved = errno == EWOULDBLOCK ? EBUSY : errno;
        Port.Reset();
        errno = Saved;
    }
    return Port;
}

bool ReleaseExclusive(int Fd) { return ::ioctl(Fd, TIOCNXCL) == 0; }

TSavedPortStatePtr SaveState(int Fd) {
    TSavedPortStatePtr State(new TSavedPortState{});
    if (::ioctl(Fd, TCGETS2, &State->Settings) != 0)
        return nullptr;
    return State;
}

bool RestoreState(int Fd, const TSavedPortState& State) { return ::ioctl(Fd, TCSETS2, &State.Settings) == 0; }

bool ApplySettings(int Fd, const TSerialLineSettings& Settings) {
    struct termios2 T = {};
    if (::ioctl(Fd, TCGETS2, &T) != 0)
        return false;
    T.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK);
    T.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    T.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    T.c_cflag &=
        ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    static const tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
    T.c_cflag |= Sizes[std::clamp(Settings.DataBits, 5, 8) - 5] | CLOCAL | CREAD | BOTHER | (BOTHER << IBSHIFT);
    switch (Settings.Parity) {
    case 'E':
        T.c_cflag |= PARENB;
        break;
    case 'O':
        T.c_cflag |= PARENB | PARODD;
        break;
    case 'M':
        T.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 'S':
        T.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (Settings.StopBits == 2)
        T.c_cflag |= CSTOPB;
    // Linux has no DTR/DSR handshake; only RTS/CTS is the kernel's to do.
    if (Settings.RtsCtsFlowControl)
        T.c_cflag |= CRTSCTS;
    T.c_ispeed = Settings.Baud;
    T.c_ospeed = Settings.Baud;
    T.c_cc[VMIN] = 0;
    T.c_cc[VTIME] = 0;
    return ::ioctl(Fd, TCSETS2, &T) == 0;
}

bool ReadBaud(int Fd, std::uint32_t& Baud) {
    struct termios2 T = {};
    if (::ioctl(Fd, TCGETS2, &T) != 0)
        return false;
    Baud = T.c_ospeed;
    return true;
}

bool BytesQueued(int Fd, std::uint32_t& Count) {
    int Queued = 0;
    if (::ioctl(Fd, FIONREAD, &Queued) != 0)
        return false;
    Count = static_cast<std::uint32_t>(std::max(Queued, 0));
    return true;
}

bool HungUp(int Fd) {
    struct pollfd P = {Fd, POLLIN, 0};
    return ::poll(&P, 1, 0) > 0 && (P.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool DiscardInput(int Fd) { return ::ioctl(Fd, TCFLSH, TCIFLUSH) == 0; }

namespace {

bool WaitFor(int Fd, short Events, int TimeoutMs, bool& Ready) {
    struct pollfd P = {Fd, Events, 0};
    int Result;
    do {
        Result = ::poll(&P, 1, TimeoutMs);
    } while (Result < 0 && errno == EINTR);
    if (Result < 0)
        return false;
    Ready = Result > 0 && (P.revents & Events) != 0;
    if (Result > 0 && (P.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && !Ready) {
        errno = EIO;
        return false;
    }
    return true;
}

} // namespace

bool WaitReadable(int Fd, int TimeoutMs, bool& Ready) { return WaitFor(Fd, POLLIN, TimeoutMs, Ready); }

bool WaitWritable(int Fd, int TimeoutMs, bool& Ready) { return WaitFor(Fd, POLLOUT, TimeoutMs, Ready); }

} // namespace PosixSerial

const TSerialPortSystem& TSerialPortSystem::Linux() {
    static const TSerialPortSystem System;
    return System;
}
