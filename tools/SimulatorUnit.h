// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDescriptorUnit.h"

#include <atomic>
#include <string>

// The simulated monitor's behaviour: what it sends and which faults it has.
struct TSimulatorOptions {
    std::string Device;
    long IntervalMs = 1000;
    bool Fast = false;
    // Records a second, unpaced by the line's speed; 0 when not asked for.
    long Rate = 0;
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
    // Unplugged after HangUpAfter records (10 when not given) for this many
    // seconds, then back as a new device at Link.
    long UnplugForSeconds = -1;
    std::string Link;
};

// A pseudo-terminal the simulated monitor speaks on: its own end, the end
// PackMon opens (held too, so the line keeps its settings and its queue
// can be seen), and a watch on that end's device node that tells when a
// reader has it open.
struct TSimulatedLine {
    TFileDescriptor Monitor;
    TFileDescriptor Device;
    TFileDescriptor Watch;
    std::string DevicePath;
    int Readers = 0;
};

// Raw at 128000 baud from the start; raises EPackMonException.
TSimulatedLine OpenSimulatedLine();
// Points Link at Target as udev points a by-id name: a new link renamed
// over the old one, so a reader never sees it missing.
void PointLink(const std::string& Link, const std::string& Target);

// Speaks the monitor's record protocol on the open line Fd (a real serial
// device) until the options' records are sent (or for ever with Hold) or
// Stop is set. False when the line failed.
bool RunSimulatedMonitor(int Fd, const TSimulatorOptions& Options, const std::atomic<bool>& Stop);

// The same on a pseudo-terminal, as a monitor behaves on a cable: nothing
// is sent while no one has the line open, and each connection starts
// afresh. With UnplugForSeconds the line goes away and comes back at
// Options.Link as a new device, the monitor counting on meanwhile.
bool RunSimulatedMonitor(TSimulatedLine& Line, const TSimulatorOptions& Options, const std::atomic<bool>& Stop);

// Waits (at most a few seconds) until a reader has taken what was sent,
// so that closing the line loses nothing already on its way.
void DrainSimulatedLine(const TSimulatedLine& Line, const std::atomic<bool>& Stop);
