// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialCommUnit.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const RevisionText = "$Revision$";

std::string SystemErrorText(int Error) {
    std::string Text = std::strerror(Error);
    while (!Text.empty() && (Text.back() == '.' || static_cast<unsigned char>(Text.back()) <= ' '))
        Text.pop_back();
    return Text;
}

std::string ErrorMessage(std::int32_t Code, std::uint8_t PortNumber, int LastError) {
    return "SerialComm [" + std::to_string(PortNumber) + "] (" + RevisionText + ") error: " + std::to_string(Code) +
           "\rLastError " + std::to_string(LastError) + "\r" + SystemErrorText(LastError);
}

} // namespace

ESerialCommException::ESerialCommException(std::int32_t Code, std::uint8_t PortNumber)
    : EPackMonException(ErrorMessage(Code, PortNumber, errno)), ErrorCode(Code) {}

// --- Port names ------------------------------------------------------------------

std::vector<std::string> SerialDevicesPresent(const std::string& DeviceFolder) {
    static const char* const Families[] = {"ttyUSB", "ttyACM", "ttyS", "ttyAMA"};
    std::vector<std::string> Found;
    for (const char* Family : Families) {
        std::vector<std::pair<unsigned long, std::string>> Members;
        if (DIR* Folder = ::opendir(DeviceFolder.c_str())) {
            while (const dirent* Entry = ::readdir(Folder)) {
                const std::string Name = Entry->d_name;
                const std::string Prefix = Family;
                if (Name.size() <= Prefix.size() || Name.compare(0, Prefix.size(), Prefix) != 0)
                    continue;
                const std::string Digits = Name.substr(Prefix.size());
                if (Digits.size() > 6 || !std::all_of(Digits.begin(), Digits.end(), ::isdigit))
                    continue;
                Members.emplace_back(std::stoul(Digits), DeviceFolder + "/" + Name);
            }
            ::closedir(Folder);
        }
        std::sort(Members.begin(), Members.end());
        for (auto& Member : Members)
            Found.push_back(std::move(Member.second));
    }
    return Found;
}

std::string PortTitle(std::uint8_t PortNumber, const std::string& Path) {
    return "COM" + std::to_string(PortNumber) + " (" + Path + ")";
}

// --- The port ------------------------------------------------------------------------

SerialCommClass::SerialCommClass(std::uint8_t APortNumber, std::string APath, const TSerialPortOptions& Options,
                                 const TSerialPortSystem& System)
    : Number(APortNumber), Path(std::move(APath)) {
    if (Path.empty()) {
        errno = ENOENT;
        RaiseError(1);
    }
    Fd = System.OpenExclusive(Path);
    if (!Fd.Valid())
        RaiseError(1);
    SavedState = PosixSerial::SaveState(Fd.Get());
    InQueue = Options.InQueueSize;
    OutQueue = Options.OutQueueSize;
    try {
        if (!System.ApplySettings(Fd.Get(), Options.Line))
            RaiseError(4);
        CheckSpeed(System, Options.Line.Baud);
    } catch (...) {
        const int Error = errno;
        // The settings the port had are put back on this path too.
        CloseHandleRestoring();
        errno = Error;
        throw;
    }
}

void SerialCommClass::CheckSpeed(const TSerialPortSystem& System, std::uint32_t Wanted) {
    // A UART that cannot make the rate keeps another one without failing
    // the call; only reading it back tells.
    std::uint32_t Actual = 0;
    if (!System.ReadBaud(Fd.Get(), Actual))
        RaiseError(4);
    const double Off = std::abs(static_cast<double>(Actual) - Wanted);
    if (Off <= PosixSerial::BaudTolerance * Wanted)
        return;
    throw ESerialCommException(5, PortTitle(Number, Path) + " runs at " + std::to_string(Actual) + " baud, not " +
                                      std::to_string(Wanted) +
                                      ": the port or its adapter cannot take the monitor's speed");
}

SerialCommClass::~SerialCommClass() { CloseHandleRestoring(); }

void SerialCommClass::CloseHandleRestoring() {
    if (!Fd.Valid())
        return;
    if (SavedState)
        PosixSerial::RestoreState(Fd.Get(), *SavedState);
    PosixSerial::ReleaseExclusive(Fd.Get());
    Fd.Reset();
}

void SerialCommClass::RaiseError(std::int32_t Code) const { throw ESerialCommException(Code, Number); }

std::string SerialCommClass::Revision() const { return RevisionText; }

void SerialCommClass::Write(const void* Buffer, std::uint32_t Count) {
    if (!Fd.Valid())
        RaiseError(6);
    const auto* Bytes = static_cast<const char*>(Buffer);
    std::uint32_t Written = 0;
    while (Written < Count) {
        const ssize_t Result = ::write(Fd.Get(), Bytes + Written, Count - Written);
        if (Result > 0) {
            Written += static_cast<std::uint32_t>(Result);
            continue;
        }
        if (Result < 0 && errno != EAGAIN && errno != EINTR)
            RaiseError(7);
        bool Ready = false;
        if (!PosixSerial::WaitWritable(Fd.Get(), -1, Ready))
            RaiseError(7);
    }
}

void SerialCommClass::ReadAvailable(void* Buffer, std::uint32_t MinBytes, std::uint32_t MaxBytes,
                                    std::uint32_t& BytesRead) {
    BytesRead = 0;
    if (!Fd.Valid())
        RaiseError(9);
    const std::uint32_t Least = std::min(MinBytes, MaxBytes);
    std::uint32_t Queued = 0;
    if (!PosixSerial::BytesQueued(Fd.Get(), Queued))
        RaiseError(10);
    if (Queued == 0 && PosixSerial::HungUp(Fd.Get())) {
        // A device that has gone, or a far end that has hung up, reads as a
        // failure instead of as an empty queue for ever.
        errno = EIO;
        RaiseError(11);
    }
    if (Least > Queued)
        return;
    const std::uint32_t Wanted = std::min(Queued, MaxBytes);
    const ssize_t Result = ::read(Fd.Get(), Buffer, Wanted);
    if (Result < 0)
        RaiseError(11);
    BytesRead = static_cast<std::uint32_t>(Result);
    if (BytesRead != Wanted)
        RaiseError(12);
}

std::uint32_t SerialCommClass::BytesWaiting() {
    if (!Fd.Valid())
        RaiseError(15);
    std::uint32_t Queued = 0;
    if (!PosixSerial::BytesQueued(Fd.Get(), Queued))
        RaiseError(16);
    return Queued;
}

// --- Opening from settings -------------------------------------------------------------------

std::unique_ptr<SerialCommClass> OpenSerialPort(std::uint8_t PortNumber, const std::string& Path,
                                                const TSerialPortOptions& Options) {
    if (PortNumber == 0)
        return nullptr;
    try {
        // The line settings go through the mode text, so they are checked
        // by the same rules as a mode written in the settings file.
        const TSerialLineSettings& Line = Options.Line;
        const std::string Mode = "baud=" + std::to_string(Line.Baud) + " parity=" + std::string(1, Line.Parity) +
                                 " data=" + std::to_string(Line.DataBits) + " stop=" + std::to_string(Line.StopBits);
        TSerialPortOptions Checked = Options;
        if (!BuildLineSettings(Mode, Checked.Line))
            return nullptr;
        return std::make_unique<SerialCommClass>(PortNumber, Path, Checked);
    } catch (...) {
        return nullptr;
    }
}
