// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortDiscoveryUnit.h"

#include "ProfileFileUnit.h"
#include "SettingsKeysUnit.h"

namespace {

// The monitor's line: 128000 baud, 8N1, no handshake.
constexpr TSerialLineSettings MonitorLine{128000, 'N', 8, 1, false, false};
constexpr TSerialPortOptions ProbingOptions{8, 8, {}, MonitorLine};
constexpr TSerialPortOptions LiveOptions{1048576, 512, {100, 0, 0, 0, 0}, MonitorLine};

} // namespace

TPortTable TPortTable::Load(const QString& IniFileName) {
    TPortTable Table;
    const std::vector<std::string> Devices = SerialDevicesPresent();
    const TProfileFile Settings(IniFileName);
    for (int N = 1; N <= 255; ++N) {
        std::string Path = Settings.ReadString(PortsSection, PortKeyPrefix + std::to_string(N), {});
        if (Path.empty() && static_cast<std::size_t>(N) <= Devices.size())
            Path = Devices[static_cast<std::size_t>(N) - 1];
        Table.Paths[static_cast<std::size_t>(N)] = std::move(Path);
    }
    return Table;
}

std::uint8_t TPortTable::NumberOf(const std::string& Path) const {
    for (int N = 1; N <= 255; ++N)
        if (Paths[static_cast<std::size_t>(N)] == Path)
            return static_cast<std::uint8_t>(N);
    return 0;
}

void UsePortTable(std::shared_ptr<const TPortTable> Table) {
    SetPortPathResolver([Table](std::uint8_t N) { return Table->Path(N); });
}

std::vector<TPortListing> ProbeOpenablePorts(const TPortTable& Table) {
    std::vector<TPortListing> Openable;
    for (int N = 1; N <= 255; ++N) {
        const auto Number = static_cast<std::uint8_t>(N);
        if (Table.Path(Number).empty())
            continue;
        auto Probe = OpenSerialPort(Number, ProbingOptions);
        if (!Probe)
            continue;
        Probe.reset();
        Openable.push_back({Number, Table.Path(Number)});
    }
    return Openable;
}

std::unique_ptr<SerialCommClass> OpenLivePort(std::uint8_t PortNumber) {
    return OpenSerialPort(PortNumber, LiveOptions);
}

std::unique_ptr<SerialCommClass> OpenLivePortOrRaise(std::uint8_t PortNumber) {
    return std::make_unique<SerialCommClass>(PortNumber, LiveOptions);
}
