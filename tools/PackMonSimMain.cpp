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
#include "SimulatorUnit.h"

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

std::atomic<bool> StopRequested{false};

extern "C" void OnStopSignal(int) { StopRequested = true; }

void Usage() {
    std::fprintf(stderr,
                 "usage: packmon-sim [options]\n"
                 "  --device PATH         speak on this serial device instead of a new pseudo-terminal\n"
                 "  --interval MS         one data record every MS milliseconds (default 1000)\n"
                 "  --fast                records as fast as 128000 baud carries them (about 220 a second)\n"
                 "  --rate N              N records a second, faster than the line can (a long run compressed)\n"
                 "  --bulk N              first send a stored log of N records as a bulk transfer\n"
                 "  --records N           stop after N live records\n"
                 "  --hang-up-after N     close the line after N live records\n"
                 "  --malformed-every N   every N-th record has a field that is not a number\n"
                 "  --drop-crlf-every N   every N-th record loses its CR LF\n"
                 "  --noise               stray bytes between records\n"
                 "  --stamp               field 3 of each record is the send time (monotonic clock, us)\n"
                 "  --hold                after the last record keep the line open until stopped\n"
                 "  --unplug-for SECONDS  after --hang-up-after N records (10 if not given) the line goes for\n"
                 "                        SECONDS and comes back as a new device at the --link path\n"
                 "  --link PATH           a stable name for the line (as /dev/serial/by-id gives one); printed\n"
                 "                        and pinned instead of the device\n"
                 "  --map-ini FILE --com N  pin COM N to the device in PackMon's settings file while running\n");
}

bool ParseOptions(int Argc, char** Argv, TSimulatorOptions& Options) {
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
        else if (Arg == "--rate")
            Ok = Number(Options.Rate) && Options.Rate > 0;
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
        else if (Arg == "--unplug-for")
            Ok = Number(Options.UnplugForSeconds);
        else if (Arg == "--link" && I + 1 < Argc)
            Options.Link = Argv[++I];
        else if (Arg == "--com")
            Ok = Number(Options.MapCom) && Options.MapCom >= 1 && Options.MapCom <= 255;
        else
            Ok = false;
        if (!Ok)
            return false;
    }
    if (!Options.Device.empty() && Options.UnplugForSeconds >= 0)
        return false; // a real device cannot be unplugged from here
    return Options.MapIni.empty() == (Options.MapCom == 0);
}

} // namespace

int main(int Argc, char** Argv) {
    TSimulatorOptions Options;
    if (!ParseOptions(Argc, Argv, Options)) {
        Usage();
        return 2;
    }
    TSimulatedLine Pty;
    TFileDescriptor Line;
    std::string Path = Options.Device;
    std::string LinkFolder;
    try {
        if (Path.empty()) {
            Pty = OpenSimulatedLine();
            Path = Pty.DevicePath;
            if (Options.Link.empty() && Options.UnplugForSeconds >= 0) {
                char Folder[] = "/tmp/packmon-sim.XXXXXX";
                if (::mkdtemp(Folder) == nullptr)
                    throw EPackMonException(std::string("no folder for the link: ") + std::strerror(errno));
                LinkFolder = Folder;
                Options.Link = LinkFolder + "/usb-PackMon_Simulated_Monitor-if00";
            }
            if (!Options.Link.empty()) {
                PointLink(Options.Link, Path);
                Path = Options.Link;
            }
        } else {
            Line.Reset(::open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
            TSerialLineSettings Raw;
            Raw.Baud = 128000;
            if (!Line.Valid() || !PosixSerial::ApplySettings(Line.Get(), Raw))
                throw EPackMonException(Path + ": " + std::strerror(errno));
        }
    } catch (const EPackMonException& Failure) {
        std::fprintf(stderr, "packmon-sim: %s\n", Failure.Message().c_str());
        return 1;
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

    try {
        if (Line.Valid())
            RunSimulatedMonitor(Line.Get(), Options, StopRequested);
        else
            RunSimulatedMonitor(Pty, Options, StopRequested);
    } catch (const EPackMonException& Failure) {
        std::fprintf(stderr, "packmon-sim: %s\n", Failure.Message().c_str());
    }
    if (!Options.MapIni.empty()) {
        try {
            TProfileFile(QString::fromStdString(Options.MapIni)).DeleteKey(PortsSection, Key);
        } catch (const EPackMonException& Failure) {
            std::fprintf(stderr, "packmon-sim: %s\n", Failure.Message().c_str());
        }
    }
    // The line goes only once what was sent has been read (or after a few
    // seconds), so a test of a hang-up sees every record sent before it.
    DrainSimulatedLine(Pty, StopRequested);
    if (!Options.Link.empty() && Options.Device.empty())
        ::unlink(Options.Link.c_str());
    if (!LinkFolder.empty())
        ::rmdir(LinkFolder.c_str());
    return 0;
}
