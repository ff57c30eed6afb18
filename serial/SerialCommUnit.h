// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDescriptorUnit.h"
#include "PackMonConstantsAndTypesUnit.h"
#include "SerialPortPosixUnit.h"
#include "SerialPortReaderUnit.h"

#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMainThreadHandOver;
class SerialCommClass;

// A numbered port failure. The message reads
// "SerialComm [<port>] ($Revision$) error: <code>\rLastError <errno>\r<text>".
class ESerialCommException : public EPackMonException {
  public:
    ESerialCommException(std::int32_t Code, std::uint8_t PortNumber);
    // A failure the port's own words say better than a system error.
    ESerialCommException(std::int32_t Code, const std::string& Words) : EPackMonException(Words), ErrorCode(Code) {}
    std::int32_t ErrorCode;
};

// Timeouts in milliseconds, in the order the platform's record has them.
struct TCommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Everything a port is opened with. Queue sizes are recorded only: the
// kernel sizes its own queues.
struct TSerialPortOptions {
    std::uint32_t InQueueSize = 0;
    std::uint32_t OutQueueSize = 0;
    TCommTimeouts Timeouts;
    TSerialLineSettings Line;
};

// Line events, as the event thread reports them.
constexpr std::uint32_t EV_RXCHAR = 0x0001;

using TOnCommEvent = std::function<void(SerialCommClass& Sender, std::uint32_t EventMask)>;

// COM n (1 to 255) names a device path. The program installs a resolver
// that looks in its settings file first; without one, COM n is the n-th of
// the serial devices present (see SerialDevicesPresent).
using TPortPathResolver = std::function<std::string(std::uint8_t PortNumber)>;
void SetPortPathResolver(TPortPathResolver Resolver);
std::string PortDevicePath(std::uint8_t PortNumber);
// /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*, /dev/ttyAMA*, each family sorted by number.
std::vector<std::string> SerialDevicesPresent(const std::string& DeviceFolder = "/dev");

class TOnSerialCommEventThread;

// "COM3 (/dev/ttyUSB0)", as the Errors pane names a port.
std::string PortTitle(std::uint8_t PortNumber, const std::string& Path);

// One open serial port, opened exclusively with its settings and the speed
// it really runs at checked; the settings it had before are put back, and
// the exclusive flag cleared, when the object goes.
class SerialCommClass : public TSerialPortReader {
  public:
    // Code 5: the port runs more than 2 % away from the speed asked for.
    SerialCommClass(std::uint8_t APortNumber, const TSerialPortOptions& Options,
                    const TSerialPortSystem& System = TSerialPortSystem::Linux());
    ~SerialCommClass() override;
    SerialCommClass(const SerialCommClass&) = delete;
    SerialCommClass& operator=(const SerialCommClass&) = delete;

    virtual std::string Revision() const;
    virtual void Write(const void* Buffer, std::uint32_t Count);
    void ReadAvailable(void* Buffer, std::uint32_t MinBytes, std::uint32_t MaxBytes, std::uint32_t& BytesRead) override;
    virtual void ReadWithTimeout(void* Buffer, std::uint32_t Count, std::uint32_t Timeout, std::uint32_t& BytesRead);
    virtual std::uint32_t BytesWaiting();
    virtual void PurgeInput();

    // Installs a callback, run on the main thread for line events, or with
    // none removes it; after removal no callback follows. Identity tells
    // whether the callback is the one already installed.
    void SetOnCommEvent(TOnCommEvent Callback, const void* Identity = nullptr);

    [[noreturn]] void RaiseError(std::int32_t Code) const;

    std::uint8_t PortNumber() const { return Number; }
    const std::string& DevicePath() const { return Path; }
    int Handle() const { return Fd.Get(); }
    bool SavedStateValid() const { return SavedState != nullptr; }
    std::uint32_t InputQueueSize() const { return InQueue; }

  private:
    friend class TOnSerialCommEventThread;
    void StopEventThread();
    void CloseHandleRestoring();
    void CheckSpeed(const TSerialPortSystem& System, std::uint32_t Wanted);

    std::uint8_t Number = 0;
    TFileDescriptor Fd;
    std::string Path;
    TSavedPortStatePtr SavedState;
    TCommTimeouts CurrentTimeouts;
    std::uint32_t InQueue = 0;
    std::uint32_t OutQueue = 0;
    TOnCommEvent OnCommEvent;
    const void* OnCommEventIdentity = nullptr;
    std::unique_ptr<TOnSerialCommEventThread> EventThread;
};

// Waits for line events on its port and hands each to the callback on the
// main thread.
class TOnSerialCommEventThread : public QThread {
  public:
    explicit TOnSerialCommEventThread(SerialCommClass& APort);
    ~TOnSerialCommEventThread() override;
    void Terminate();
    // Main thread: waits for the thread to end, running its hand-overs.
    void WaitFor();
    std::uint32_t EventMask = 0;

  protected:
    void run() override;

  private:
    SerialCommClass& Port;
    std::atomic<bool> Stop{false};
    TFileDescriptor WakeRead;
    TFileDescriptor WakeWrite;
    std::unique_ptr<TMainThreadHandOver> HandOver;
};

// Opens a port, or returns none for settings it cannot take or a port that
// will not open; never raises.
std::unique_ptr<SerialCommClass> OpenSerialPort(std::uint8_t PortNumber, const TSerialPortOptions& Options);
