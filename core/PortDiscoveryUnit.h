// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialCommUnit.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Which device each COM number names: the settings file's section "Ports"
// (COM3=/dev/ttyUSB0) first, otherwise the n-th serial device present.
class TPortTable {
  public:
    static TPortTable Load(const QString& IniFileName);
    const std::string& Path(std::uint8_t PortNumber) const { return Paths[PortNumber]; }
    // The number that names Path, 0 when none does.
    std::uint8_t NumberOf(const std::string& Path) const;
    void Pin(std::uint8_t PortNumber, std::string Path) { Paths[PortNumber] = std::move(Path); }

  private:
    std::array<std::string, 256> Paths;
};

// Makes the serial layer resolve COM numbers through Table.
void UsePortTable(std::shared_ptr<const TPortTable> Table);

struct TPortListing {
    std::uint8_t PortNumber;
    std::string Path;
};

// The ports 1 to 255 that open with the probing settings now. A port held
// open, by this program or another, is not among them.
std::vector<TPortListing> ProbeOpenablePorts(const TPortTable& Table);

// The port for live logging: 128000 baud 8N1, 1 MiB input queue, 100 ms
// read interval.
std::unique_ptr<SerialCommClass> OpenLivePort(std::uint8_t PortNumber);
// The same, raising the port's own failure (ESerialCommException) instead.
std::unique_ptr<SerialCommClass> OpenLivePortOrRaise(std::uint8_t PortNumber);
