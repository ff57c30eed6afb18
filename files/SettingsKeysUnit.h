// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Section names of the settings file, in one place.

// Series colours: key = series title, value = 0x00BBGGRR as a decimal integer.
inline constexpr const char* ChartColorsSection = "Chart1";

// Serial ports pinned to COM numbers: key "COM" and the number, value the
// device path (COM3=/dev/ttyUSB0).
inline constexpr const char* PortsSection = "Ports";
inline constexpr const char* PortKeyPrefix = "COM";
// AutoReconnect=0: a port that hangs up stays closed until chosen again.
inline constexpr const char* AutoReconnectKey = "AutoReconnect";

// Recent-file lists: keys MRU0 to MRU4, most recent first.
inline constexpr const char* CommsMRUSection = "CommsMRU";
inline constexpr const char* GraphsMRUSection = "GraphsMRU";

// Alarm thresholds in volts: CellLow, CellHigh, SpreadHigh, SumMismatch and
// Hysteresis. "off" (or an empty value) turns an alarm off.
inline constexpr const char* AlarmsSection = "Alarms";
inline constexpr const char* CellLowKey = "CellLow";
inline constexpr const char* CellHighKey = "CellHigh";
inline constexpr const char* SpreadHighKey = "SpreadHigh";
inline constexpr const char* SumMismatchKey = "SumMismatch";
inline constexpr const char* HysteresisKey = "Hysteresis";

// The session journal: Enabled (1, or 0 to switch it off), KeepDays and
// MaxMegabytes (0 or missing keeps everything).
inline constexpr const char* JournalSection = "Journal";
inline constexpr const char* JournalEnabledKey = "Enabled";
inline constexpr const char* JournalKeepDaysKey = "KeepDays";
inline constexpr const char* JournalMaxMegabytesKey = "MaxMegabytes";

// Publishing readings to an MQTT broker, off while Host is empty. Password
// comes from the first line of PasswordFile, so the settings file holds no
// secret; CaFile turns on TLS.
inline constexpr const char* PublishSection = "Publish";
inline constexpr const char* PublishHostKey = "Host";
inline constexpr const char* PublishPortKey = "Port";
inline constexpr const char* PublishTopicKey = "Topic";
inline constexpr const char* PublishUsernameKey = "Username";
inline constexpr const char* PublishPasswordFileKey = "PasswordFile";
inline constexpr const char* PublishQoSKey = "QoS";
inline constexpr const char* PublishCaFileKey = "CaFile";
