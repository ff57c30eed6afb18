// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The one port operation the comms thread needs. Real ports implement it;
// tests feed the thread through their own.
class TSerialPortReader {
  public:
    virtual ~TSerialPortReader();
    // Reads bytes that have already arrived, never waiting: none when fewer
    // than MinBytes are queued, otherwise at most MaxBytes. Buffer holds
    // MaxBytes bytes. Raises on any port failure.
    virtual void ReadAvailable(void* Buffer, std::uint32_t MinBytes, std::uint32_t MaxBytes,
                               std::uint32_t& BytesRead) = 0;
};
