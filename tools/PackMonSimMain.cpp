// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// packmon-sim: a simulated cell-voltage monitor. It opens a pseudo-terminal
// (or a given serial device), prints the device PackMon should open, and
// speaks the monitor's record protocol on it.

#include "PackMonConstantsAndTypesUnit.h"
#include "ProfileFileUnit.h"
#include "SampleCaptureUnit.h"
#include "SerialPortPosixUnit.h"
#include "SettingsKeysUnit.h"

#include <QString>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

struct TOptions {
    std::string Device;
    long IntervalMs = 1000;
    bool Fast = false;
    long Bulk = 0;
    long Records = -1;
    long HangUpAfter = -1;
    long MalformedEvery = 0;
    long DropLineEndEvery = 0;
    bool Noise = false;
    bool Stamp = false;
    bool Hold = false;
    std::string MapIni;
    long MapCom = 0;
};

std::atomic<bool> StopRequested{false};

extern "C" void OnStopSignal(int) { StopRequested = true; }

void Usage() {
    std::fprintf(stderr,
                 "usage: packmon-sim [options]\n"
                 "  --device PATH         speak on this serial device instead of a new pseudo-terminal\n"
                 "  --interval MS         one data record every MS milliseconds (default 1000)\n"
                 "  --fast                records as fast as 128000 baud carries them (about 220 a second)\n"
                 "  --bulk N              first send a stored log of N records as a bulk transfer\n"
                 "  --records N           stop after N live records\n"
                 "  --hang-up-after N     close the line after N live records\n"
                 "  --malformed-every N   every N-th record has a field that is not a number\n"
                 "  --drop-crlf-every N   every N-th record loses its CR LF\n"
                 "  --noise               stray bytes between records\n"
                 "  --stamp               field 3 of each record is the send time (monotonic clock, us)\n"
                 "  --hold                after the last record keep the line open until stopped\n"
                 "  --map-ini FILE --com N  pin COM N to the device in PackMon's settings file while running\n");
}

bool ParseOptions(int Argc, char** Argv, TOptions& Options) {
    for (int I = 1; I < Argc; ++I) {
        const std::string Arg = Argv[I];
        const auto Number = [&](long& Target) {
            if (I + 1 >= Argc)
                return false;
            char* End = nullptr;
            Target = std::strtol(Argv[++I], &End, 10);
            return End != nullptr && *End == '\0' && Target >= 0;
        };
        bool Ok = true;
        if (Arg == "--device" && I + 1 < Argc)
            Options.Device = Argv[++I];
        else if (Arg == "--map-ini" && I + 1 < Argc)
            Options.MapIni = Argv[++I];
        else if (Arg == "--interval")
            Ok = Number(Options.IntervalMs);
        else if (Arg == "--fast")
            Options.Fast = true;
        else if (Arg == "--bulk")
            Ok = Number(Options.Bulk);
        else if (Arg == "--records")
            Ok = Number(Options.Records);
        else if (Arg == "--hang-up-after")
            Ok = Number(Options.HangUpAfter);
        else if (Arg == "--malformed-every")
            Ok = Number(Options.MalformedEvery);
        else if (Arg == "--drop-crlf-every")
            Ok = Number(Options.DropLineEndEvery);
        else if (Arg == "--noise")
            Options.Noise = true;
        else if (Arg == "--stamp")
            Options.Stamp = true;
        else if (Arg == "--hold")
            Options.Hold = true;
        else if (Arg == "--com")
            Ok = Number(Options.MapCom) && Options.MapCom >= 1 && Options.MapCom <= 255;
        else
            Ok = false;
        if (!Ok)
            return false;
    }
    return Options.MapIni.empty() == (Options.MapCom == 0);
}

// Writes all of Text, pacing it at 128000 baud (10 bits a byte) when Paced.
bool WriteAll(int Fd, const std::string& Text, bool Paced) {
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

std::string Damaged(std::string Record, long Index, const TOptions& Options) {
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

} // namespace

int main(int Argc, char** Argv) {
    TOptions Options;
    if (!ParseOptions(Argc, Argv, Options)) {
        Usage();
        return 2;
    }
    int Line = -1;
    int KeepOpen = -1;
    std::string Path = Options.Device;
    if (Path.empty()) {
        char Name[256] = {};
        if (::openpty(&Line, &KeepOpen, Name, nullptr, nullptr) != 0) {
            std::perror("packmon-sim: openpty");
            return 1;
        }
        Path = Name;
        // Raw from the start, and held open, so the line stays up while
        // PackMon probes the port and opens it again.
        TSerialLineSettings Raw;
        Raw.Baud = 128000;
        PosixSerial::ApplySettings(KeepOpen, Raw);
    } else {
        Line = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        TSerialLineSettings Raw;
        Raw.Baud = 128000;
        if (Line < 0 || !PosixSerial::ApplySettings(Line, Raw)) {
            std::perror(("packmon-sim: " + Path).c_str());
            return 1;
        }
    }
    std::printf("%s\n", Path.c_str());
    std::fflush(stdout);

    const std::string Key = PortKeyPrefix + std::to_string(Options.MapCom);
    if (!Options.MapIni.empty()) {
        try {
            TProfileFile(QString::fromStdString(Options.MapIni)).WriteString(PortsSection, Key, Path);
        } catch (const EPackMonException& Failure) {
            std::fprintf(stderr, "packmon-sim: %s\n", Failure.Message().c_str());
            return 1;
        }
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGHUP, OnStopSignal);
    std::signal(SIGPIPE, SIG_IGN);

    TPackWaveform Pack;
    const bool Paced = Options.Fast;
    const auto Interval = std::chrono::milliseconds(Options.Fast ? 0 : Options.IntervalMs);
    bool Ok = true;
    if (Options.Bulk > 0) {
        Ok = WriteAll(Line, "$STARTBULK;" + std::to_string(Options.Bulk) + ";10000\r\n", true);
        for (long I = 0; Ok && I < Options.Bulk && !StopRequested; ++I)
            Ok = WriteAll(Line,
                          DataRecordLine(static_cast<std::size_t>(I), Pack.CellsAt(static_cast<std::size_t>(I) * 10)),
                          true);
        Ok = Ok && WriteAll(Line, "$ENDBULK;" + std::to_string(Options.Bulk) + ";\r\n", true);
    }
    Ok = Ok && WriteAll(Line, "$TIMEVALUE;" + std::to_string(Options.Fast ? 0 : Options.IntervalMs) + "\r\n", Paced);
    auto Next = std::chrono::steady_clock::now();
    for (long I = 0; Ok && !StopRequested; ++I) {
        if (Options.Records >= 0 && I >= Options.Records)
            break;
        if (Options.HangUpAfter >= 0 && I >= Options.HangUpAfter)
            break;
        std::string Record = DataRecordLine(static_cast<std::size_t>(I), Pack.CellsAt(static_cast<std::size_t>(I)));
        if (Options.Stamp) {
            const auto Now = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            const std::size_t Field3 = Record.find(';', 3) + 1; // after "$1;<sample>;"
            Record.replace(Field3, 1, std::to_string(Now.count()));
        }
        Ok = WriteAll(Line, Damaged(Record, I + 1, Options), Paced);
        if (!Paced) {
            Next += Interval;
            std::this_thread::sleep_until(Next);
        }
    }
    while (Ok && Options.Hold && !StopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!Options.MapIni.empty()) {
        try {
            TProfileFile(QString::fromStdString(Options.MapIni)).DeleteKey(PortsSection, Key);
        } catch (const EPackMonException& Failure) {
            std::fprintf(stderr, "packmon-sim: %s\n", Failure.Message().c_str());
        }
    }
    // The pty's own end sees the queue the reader takes from: the line goes
    // only once what was sent has been read (or after a few seconds), so a
    // test of a hang-up sees every record that was sent before it.
    for (int Waited = 0; KeepOpen >= 0 && Waited < 5000 && !StopRequested; Waited += 10) {
        int Queued = 0;
        if (::ioctl(KeepOpen, FIONREAD, &Queued) != 0 || Queued == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(Line);
    if (KeepOpen >= 0)
        ::close(KeepOpen);
    return 0;
}
