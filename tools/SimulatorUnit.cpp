// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatorUnit.h"

#include "PackMonConstantsAndTypesUnit.h"
#include "SampleCaptureUnit.h"
#include "SerialPortPosixUnit.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Writes all of Text, pacing it at 128000 baud (10 bits a byte) when Paced.
bool WriteAll(int Fd, const std::string& Text, bool Paced, const std::atomic<bool>& StopRequested) {
    std::size_t Done = 0;
    while (Done < Text.size()) {
        const ssize_t Result = ::write(Fd, Text.data() + Done, Text.size() - Done);
        if (Result < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (StopRequested)
                    return false;
                continue;
            }
            return false;
        }
        Done += static_cast<std::size_t>(Result);
    }
    if (Paced)
        std::this_thread::sleep_for(std::chrono::microseconds(Text.size() * 10 * 1000000 / 128000));
    return true;
}

std::string Damaged(std::string Record, long Index, const TSimulatorOptions& Options) {
    if (Options.MalformedEvery > 0 && Index % Options.MalformedEvery == 0) {
        const std::size_t Field = Record.find(';', Record.find(';', Record.find(';') + 1) + 1);
        Record.insert(Field + 1, "x");
    }
    if (Options.DropLineEndEvery > 0 && Index % Options.DropLineEndEvery == 0)
        Record.resize(Record.size() - 2);
    if (Options.Noise)
        Record = "\x7f~" + Record;
    return Record;
}

// In short steps, so a stop is seen within a few tens of milliseconds.
void SleepUntil(Clock::time_point Until, const std::atomic<bool>& Stop) {
    while (!Stop && Clock::now() < Until)
        std::this_thread::sleep_until(std::min(Until, Clock::now() + std::chrono::milliseconds(50)));
}

enum class TRunEnd { Done, Failed, ReaderLeft, Unplugged };

// One connection's worth of the monitor: from the start (the bulk log and
// the sample interval) when Fresh, then live records from Index on.
TRunEnd SendRun(int Fd, const TSimulatorOptions& Options, const std::atomic<bool>& Stop, long& Index, bool Fresh,
                long UnplugAt, const std::function<bool()>& ReaderThere) {
    TPackWaveform Pack;
    const bool Paced = Options.Fast;
    // Records are timed by their arrival at the line speed or a given rate.
    const bool ByArrival = Options.Fast || Options.Rate > 0;
    const auto Interval = std::chrono::milliseconds(ByArrival ? 0 : Options.IntervalMs);
    bool Ok = true;
    if (Fresh) {
        Index = 0;
        if (Options.Bulk > 0) {
            Ok = WriteAll(Fd, "$STARTBULK;" + std::to_string(Options.Bulk) + ";10000\r\n", true, Stop);
            for (long I = 0; Ok && I < Options.Bulk && !Stop; ++I)
                Ok = WriteAll(
                    Fd, DataRecordLine(static_cast<std::size_t>(I), Pack.CellsAt(static_cast<std::size_t>(I) * 10)),
                    true, Stop);
            Ok = Ok && WriteAll(Fd, "$ENDBULK;" + std::to_string(Options.Bulk) + ";\r\n", true, Stop);
        }
        Ok = Ok &&
             WriteAll(Fd, "$TIMEVALUE;" + std::to_string(ByArrival ? 0 : Options.IntervalMs) + "\r\n", Paced, Stop);
    }
    auto Next = Clock::now();
    const auto RateStart = Next;
    const long RateFrom = Index;
    for (; Ok && !Stop; ++Index) {
        if (Options.Records >= 0 && Index >= Options.Records)
            return TRunEnd::Done;
        if (UnplugAt >= 0 && Index >= UnplugAt)
            return TRunEnd::Unplugged;
        if (Options.HangUpAfter >= 0 && Index >= Options.HangUpAfter && Options.UnplugForSeconds < 0)
            return TRunEnd::Done;
        if (ReaderThere && !ReaderThere())
            return TRunEnd::ReaderLeft;
        std::string Record =
            DataRecordLine(static_cast<std::size_t>(Index), Pack.CellsAt(static_cast<std::size_t>(Index)));
        if (Options.Stamp) {
            const auto Now = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch());
            const std::size_t Field3 = Record.find(';', 3) + 1; // after "$1;<sample>;"
            Record.replace(Field3, 1, std::to_string(Now.count()));
        }
        Ok = WriteAll(Fd, Damaged(Record, Index + 1, Options), Paced, Stop);
        if (Options.Rate > 0) {
            // A few records a wake-up: sleeping for each of thousands a
            // second would cost more than sending them.
            const auto Due = RateStart + std::chrono::microseconds((Index + 1 - RateFrom) * 1000000 / Options.Rate);
            if (Due - Clock::now() > std::chrono::milliseconds(2))
                SleepUntil(Due, Stop);
        } else if (!Paced) {
            Next += Interval;
            SleepUntil(Next, Stop);
        }
    }
    return Ok || Stop ? TRunEnd::Done : TRunEnd::Failed;
}

void Hold(const TSimulatorOptions& Options, const std::atomic<bool>& Stop) {
    while (Options.Hold && !Stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Opens minus closes of the device node since the watch began.
void CountReaders(TSimulatedLine& Line) {
    alignas(inotify_event) char Events[4096];
    ssize_t Got;
    while ((Got = ::read(Line.Watch.Get(), Events, sizeof Events)) > 0)
        for (char* At = Events; At < Events + Got;) {
            const auto* Event = reinterpret_cast<const inotify_event*>(At);
            if ((Event->mask & IN_OPEN) != 0)
                ++Line.Readers;
            if ((Event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) != 0)
                Line.Readers = std::max(Line.Readers - 1, 0);
            At += sizeof(inotify_event) + Event->len;
        }
}

bool WaitForReader(TSimulatedLine& Line, const std::atomic<bool>& Stop) {
    for (CountReaders(Line); Line.Readers == 0 && !Stop; CountReaders(Line)) {
        pollfd Wait{Line.Watch.Get(), POLLIN, 0};
        ::poll(&Wait, 1, 50);
    }
    return !Stop;
}

} // namespace

TSimulatedLine OpenSimulatedLine() {
    int Monitor = -1, Device = -1;
    char Name[256] = {};
    if (::openpty(&Monitor, &Device, Name, nullptr, nullptr) != 0)
        throw EPackMonException(std::string("The simulated monitor cannot start: ") + std::strerror(errno));
    TSimulatedLine Line{TFileDescriptor(Monitor), TFileDescriptor(Device), {}, Name, 0};
    ::fcntl(Monitor, F_SETFD, FD_CLOEXEC);
    ::fcntl(Device, F_SETFD, FD_CLOEXEC);
    TSerialLineSettings Raw;
    Raw.Baud = 128000;
    PosixSerial::ApplySettings(Device, Raw);
    // Watched from before anyone can open it, so no reader is missed.
    Line.Watch.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!Line.Watch.Valid() || ::inotify_add_watch(Line.Watch.Get(), Name, IN_OPEN | IN_CLOSE) < 0)
        throw EPackMonException(std::string("The simulated monitor cannot watch its line: ") + std::strerror(errno));
    return Line;
}

void PointLink(const std::string& Link, const std::string& Target) {
    const std::string Fresh = Link + ".new";
    ::unlink(Fresh.c_str());
    if (::symlink(Target.c_str(), Fresh.c_str()) != 0 || ::rename(Fresh.c_str(), Link.c_str()) != 0)
        throw EPackMonException("The simulated monitor cannot point " + Link + " at " + Target + ": " +
                                std::strerror(errno));
}

void DrainSimulatedLine(const TSimulatedLine& Line, const std::atomic<bool>& Stop) {
    for (int Waited = 0; Line.Device.Valid() && Waited < 5000 && !Stop; Waited += 10) {
        int Queued = 0;
        if (::ioctl(Line.Device.Get(), FIONREAD, &Queued) != 0 || Queued == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool RunSimulatedMonitor(int Fd, const TSimulatorOptions& Options, const std::atomic<bool>& Stop) {
    long Index = 0;
    const TRunEnd End = SendRun(Fd, Options, Stop, Index, true, -1, {});
    if (End == TRunEnd::Done)
        Hold(Options, Stop);
    return End != TRunEnd::Failed;
}

bool RunSimulatedMonitor(TSimulatedLine& Line, const TSimulatorOptions& Options, const std::atomic<bool>& Stop) {
    long Index = 0;
    bool Fresh = true;
    long UnplugAt = Options.UnplugForSeconds >= 0 ? (Options.HangUpAfter >= 0 ? Options.HangUpAfter : 10) : -1;
    while (WaitForReader(Line, Stop)) {
        const TRunEnd End = SendRun(Line.Monitor.Get(), Options, Stop, Index, Fresh, UnplugAt, [&Line] {
            CountReaders(Line);
            return Line.Readers > 0;
        });
        switch (End) {
        case TRunEnd::Failed:
            return false;
        case TRunEnd::Done:
            Hold(Options, Stop);
            return true;
        case TRunEnd::ReaderLeft:
            // What the last reader left unread is not the next one's.
            ::tcflush(Line.Device.Get(), TCIFLUSH);
            Fresh = true;
            break;
        case TRunEnd::Unplugged: {
            DrainSimulatedLine(Line, Stop);
            // As udev does, the stable name goes with the device, so no
            // reader takes a new device that got the old number for it.
            ::unlink(Options.Link.c_str());
            // The reader sees the hang-up; the old device keeps its number
            // until the new one has its own, as a replugged adapter often
            // comes back under another name.
            Line.Monitor.Reset();
            const auto Away = std::chrono::seconds(Options.UnplugForSeconds);
            SleepUntil(Clock::now() + Away, Stop);
            // The monitor went on sampling: what it sent meanwhile is lost.
            if (!Options.Fast && Options.Rate == 0 && Options.IntervalMs > 0)
                Index += static_cast<long>(Away / std::chrono::milliseconds(Options.IntervalMs));
            TSimulatedLine Back = OpenSimulatedLine();
            PointLink(Options.Link, Back.DevicePath);
            Line = std::move(Back);
            Fresh = false;
            UnplugAt = -1;
            break;
        }
        }
    }
    return true;
}
