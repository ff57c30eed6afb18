// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortDiscoveryUnit.h"

#include "ProfileFileUnit.h"
#include "SettingsKeysUnit.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The monitor's line: 128000 baud, 8N1, no handshake.
constexpr TSerialLineSettings MonitorLine{128000, 'N', 8, 1, false, false};
constexpr TSerialPortOptions LiveOptions{1048576, 512, MonitorLine};

} // namespace

TPortTable TPortTable::Load(const QString& IniFileName, const std::string& DeviceFolder) {
    TPortTable Table;
    const TProfileFile Settings(IniFileName);
    std::set<std::string> PinnedDevices;
    for (int N = 1; N <= 255; ++N) {
        std::string Path = Settings.ReadString(PortsSection, PortKeyPrefix + std::to_string(N), {});
        if (Path.empty())
            continue;
        PinnedDevices.insert(DeviceBehind(Path));
        Table.Pin(static_cast<std::uint8_t>(N), std::move(Path));
    }
    // A pinned device is not listed a second time under a number of its own.
    int Free = 1;
    for (std::string& Device : SerialDevicesPresent(DeviceFolder)) {
        if (PinnedDevices.count(DeviceBehind(Device)) != 0)
            continue;
        while (Free <= 255 && Table.PinnedNumbers[static_cast<std::size_t>(Free)])
            ++Free;
        if (Free > 255)
            break;
        Table.Paths[static_cast<std::size_t>(Free++)] = std::move(Device);
    }
    return Table;
}

std::uint8_t TPortTable::NumberOf(const std::string& Path) const {
    for (int N = 1; N <= 255; ++N)
        if (Paths[static_cast<std::size_t>(N)] == Path)
            return static_cast<std::uint8_t>(N);
    return 0;
}

std::uint8_t PortNumberFor(TPortTable& Table, const std::string& Given) {
    if (Given.find('/') != std::string::npos) {
        if (const std::uint8_t Known = Table.NumberOf(Given); Known != 0)
            return Known;
        int Free = 1;
        while (Free < 255 && !Table.Path(static_cast<std::uint8_t>(Free)).empty())
            ++Free;
        Table.Pin(static_cast<std::uint8_t>(Free), Given);
        return static_cast<std::uint8_t>(Free);
    }
    const bool ComName = Given.size() > 3 && Given.size() <= 6 &&
                         QString::fromStdString(Given.substr(0, 3)).toUpper() == "COM" &&
                         std::all_of(Given.begin() + 3, Given.end(), [](char C) { return C >= '0' && C <= '9'; });
    const int Number = ComName ? std::stoi(Given.substr(3)) : 0;
    if (Number < 1 || Number > 255)
        throw ENoSuchPort(Given);
    return static_cast<std::uint8_t>(Number);
}

// --- What the system tells about a port, without opening it ------------------------

namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& File) {
    std::ifstream In(File);
    std::string Line;
    std::getline(In, Line);
    while (!Line.empty() && static_cast<unsigned char>(Line.back()) <= ' ')
        Line.pop_back();
    return Line;
}

// The USB device above the tty in sysfs: product, maker, serial number.
std::string UsbDescription(const TPortSystemView& View, const std::string& Name) {
    std::error_code Failed;
    fs::path At = fs::canonical(fs::path(View.Sys) / "class/tty" / Name / "device", Failed);
    const fs::path Top = fs::canonical(View.Sys, Failed);
    for (; !Failed && !At.empty() && At != Top && At != At.root_path(); At = At.parent_path()) {
        if (!fs::exists(At / "idVendor"))
            continue;
        std::string Text = FirstLine(At / "product");
        if (const std::string Maker = FirstLine(At / "manufacturer"); !Maker.empty())
            Text += (Text.empty() ? "" : " ") + ("(" + Maker + ")");
        if (const std::string Serial = FirstLine(At / "serial"); !Serial.empty())
            Text += (Text.empty() ? "" : ", ") + ("serial number " + Serial);
        return Text;
    }
    return {};
}

// A legacy ttyS name the kernel keeps whether or not a UART answers there.
bool NoUartBehind(const TPortSystemView& View, const std::string& Name) {
    return Name.rfind("ttyS", 0) == 0 && FirstLine(fs::path(View.Sys) / "class/tty" / Name / "type") == "0";
}

// The pseudo-terminals whose master a process holds ("tty-index" of its
// /dev/ptmx descriptors): it is their far end, not a program in the way.
std::set<std::string> FarEndsHeld(const fs::path& Process) {
    std::set<std::string> Slaves;
    std::error_code Hidden;
    for (const auto& Fd : fs::directory_iterator(Process / "fd", Hidden)) {
        std::error_code Gone;
        if (fs::read_symlink(Fd.path(), Gone) != "/dev/ptmx" || Gone)
            continue;
        std::ifstream Info(Process / "fdinfo" / Fd.path().filename());
        for (std::string Line; std::getline(Info, Line);)
            if (Line.rfind("tty-index:", 0) == 0)
                Slaves.insert("/dev/pts/" + std::to_string(std::stol(Line.substr(10))));
    }
    return Slaves;
}

// Device node -> "in use by minicom (process 1234)", from the open files of
// every process this user may look at.
std::map<std::string, std::string> HeldDevices(const TPortSystemView& View) {
    std::map<std::string, std::string> Held;
    const std::string Own = std::to_string(::getpid());
    std::error_code Failed;
    for (const auto& Process : fs::directory_iterator(View.Proc, Failed)) {
        const std::string Pid = Process.path().filename().string();
        if (Pid == Own || Pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::optional<std::set<std::string>> FarEnds;
        std::error_code Hidden;
        for (const auto& Fd : fs::directory_iterator(Process.path() / "fd", Hidden)) {
            std::error_code Gone;
            const std::string Target = fs::read_symlink(Fd.path(), Gone).string();
            if (Gone || Target.rfind("/dev/", 0) != 0 || Held.count(Target) != 0)
                continue;
            if (Target.rfind("/dev/pts/", 0) == 0) {
                if (!FarEnds)
                    FarEnds = FarEndsHeld(Process.path());
                if (FarEnds->count(Target) != 0)
                    continue;
            }
            Held[Target] = "in use by " + FirstLine(Process.path() / "comm") + " (process " + Pid + ")";
        }
    }
    return Held;
}

// A UUCP lock file (LCK..ttyUSB0) whose process still runs.
std::string LockHolder(const TPortSystemView& View, const std::string& Name) {
    std::ifstream In(fs::path(View.Locks) / ("LCK.." + Name));
    long Pid = 0;
    if (!(In >> Pid) || Pid <= 0)
        return {};
    if (::kill(static_cast<pid_t>(Pid), 0) != 0 && errno != EPERM)
        return {};
    return "locked by process " + std::to_string(Pid);
}

std::string PermissionProblem(const std::string& Device) {
    if (::access(Device.c_str(), R_OK | W_OK) == 0)
        return {};
    std::string Text = "no permission to use it";
    struct stat Node {};
    if (::stat(Device.c_str(), &Node) == 0)
        if (const group* Group = ::getgrgid(Node.st_gid))
            Text += std::string(" (it belongs to the group ") + Group->gr_name + ")";
    return Text;
}

std::vector<std::string> StableNames(const TPortSystemView& View, const std::string& Device) {
    std::vector<std::string> Names;
    std::error_code Failed;
    for (const auto& Link : fs::directory_iterator(View.ById, Failed))
        if (DeviceBehind(Link.path().string()) == Device)
            Names.push_back(Link.path().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

} // namespace

std::string DeviceBehind(const std::string& Path) {
    std::error_code Failed;
    const fs::path Device = fs::canonical(Path, Failed);
    return Failed ? std::string() : Device.string();
}

std::vector<TPortListing> ListPorts(const TPortTable& Table, const std::string& ConnectedDevice,
                                    const TPortSystemView& View) {
    std::vector<TPortListing> Ports;
    std::optional<std::map<std::string, std::string>> Held;
    for (int N = 1; N <= 255; ++N) {
        const auto Number = static_cast<std::uint8_t>(N);
        TPortListing Port{Number, Table.Path(Number), DeviceBehind(Table.Path(Number)), {}, false, {}};
        if (Port.Path.empty() || (Port.Device.empty() && !Table.Pinned(Number)))
            continue;
        if (Port.Device.empty()) {
            Port.Unavailable = "not plugged in";
            Ports.push_back(std::move(Port));
            continue;
        }
        const std::string Name = fs::path(Port.Device).filename().string();
        if (NoUartBehind(View, Name))
            continue;
        Port.Description = UsbDescription(View, Name);
        for (const std::string& Stable : StableNames(View, Port.Device))
            if (Stable != Port.Path)
                Port.Description += (Port.Description.empty() ? "" : "\n") + Stable;
        Port.Connected = !ConnectedDevice.empty() && Port.Device == DeviceBehind(ConnectedDevice);
        if (!Port.Connected) {
            if (!Held)
                Held = HeldDevices(View);
            const auto Holder = Held->find(Port.Device);
            Port.Unavailable = PermissionProblem(Port.Device);
            if (Port.Unavailable.empty() && Holder != Held->end())
                Port.Unavailable = Holder->second;
            if (Port.Unavailable.empty())
                Port.Unavailable = LockHolder(View, Name);
        }
        Ports.push_back(std::move(Port));
    }
    return Ports;
}

std::string PortToolTip(const TPortListing& Port) {
    std::string Text = Port.Description.empty() ? std::string() : Port.Description + "\n";
    Text += Port.Path;
    if (!Port.Device.empty() && Port.Device != Port.Path)
        Text += " (" + Port.Device + ")";
    if (Port.Connected)
        Text += "\nlogging from this port";
    if (!Port.Unavailable.empty())
        Text += "\n" + Port.Unavailable;
    return Text;
}

std::unique_ptr<SerialCommClass> OpenLivePortOrRaise(std::uint8_t PortNumber, const std::string& Path) {
    return std::make_unique<SerialCommClass>(PortNumber, Path, LiveOptions);
}
