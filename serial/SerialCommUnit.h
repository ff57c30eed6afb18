// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDescriptorUnit.h"
#include "PackMonConstantsAndTypesUnit.h"
#include "SerialPortPosixUnit.h"
#include "SerialPortReaderUnit.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A numbered port failure. The message reads
// "SerialComm [<port>] ($Revision$) error: <code>\rLastError <errno>\r<text>".
class ESerialCommException : public EPackMonException {
  public:
    ESerialCommException(std::int32_t Code, std::uint8_t PortNumber);
    // A failure the port's own words say better than a system error.
    ESerialCommException(std::int32_t Code, const std::string& Words) : EPackMonException(Words), ErrorCode(Code) {}
    std::int32_t ErrorCode;
};

// Everything a port is opened with. Queue sizes are recorded only: the
// kernel sizes its own queues.
struct TSerialPortOptions {
    std::uint32_t InQueueSize = 0;
    std::uint32_t OutQueueSize = 0;
    TSerialLineSettings Line;
};

// /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*, /dev/ttyAMA*, each family sorted by number.
std::vector<std::string> SerialDevicesPresent(const std::string& DeviceFolder = "/dev");

// "COM3 (/dev/ttyUSB0)", as the Errors pane names a port.
std::string PortTitle(std::uint8_t PortNumber, const std::string& Path);

// One open serial port, opened exclusively with its settings and the speed
// it really runs at checked; the settings it had before are put back, and
// the exclusive flag cleared, when the object goes.
class SerialCommClass : public TSerialPortReader {
  public:
    // COM APortNumber is the device at APath, as whoever numbers the ports
    // (the settings file's pins first) found it. Code 1: no such device or
    // it will not open; code 5: the port runs more than 2 % away from the
    // speed asked for.
    SerialCommClass(std::uint8_t APortNumber, std::string APath, const TSerialPortOptions& Options,
                    const TSerialPortSystem& System = TSerialPortSystem::Linux());
    ~SerialCommClass() override;
    SerialCommClass(const SerialCommClass&) = delete;
    SerialCommClass& operator=(const SerialCommClass&) = delete;

    virtual std::string Revision() const;
    virtual void Write(const void* Buffer, std::uint32_t Count);
    void ReadAvailable(void* Buffer, std::uint32_t MinBytes, std::uint32_t MaxBytes, std::uint32_t& BytesRead) override;
    virtual std::uint32_t BytesWaiting();

    [[noreturn]] void RaiseError(std::int32_t Code) const;

    std::uint8_t PortNumber() const { return Number; }
    const std::string& DevicePath() const { return Path; }
    int Handle() const { return Fd.Get(); }
    bool SavedStateValid() const { return SavedState != nullptr; }
    std::uint32_t InputQueueSize() const { return InQueue; }

  private:
    void CloseHandleRestoring();
    void CheckSpeed(const TSerialPortSystem& System, std::uint32_t Wanted);

    std::uint8_t Number = 0;
    TFileDescriptor Fd;
    std::string Path;
    TSavedPortStatePtr SavedState;
    std::uint32_t InQueue = 0;
    std::uint32_t OutQueue = 0;
};

// Opens a port, or returns none for settings it cannot take or a port that
// will not open; never raises.
std::unique_ptr<SerialCommClass> OpenSerialPort(std::uint8_t PortNumber, const std::string& Path,
                                                const TSerialPortOptions& Options);
