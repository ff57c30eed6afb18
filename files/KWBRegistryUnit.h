// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// String values under registry keys, over QSettings in its native format:
// the real registry on Windows, the user's (or the system's) native
// settings store elsewhere. A key path "\SOFTWARE\<Maker>\<Program>\<Rest>"
// names the maker's and the program's settings and a group within them.

using TRegistryRootKey = std::uint32_t;
inline constexpr TRegistryRootKey HKEY_CURRENT_USER_KEY = 0x80000001u;
inline constexpr TRegistryRootKey HKEY_LOCAL_MACHINE_KEY = 0x80000002u;

// Value starts as Default. When the key opens (it is created when missing
// and CanCreate is set), the value is read; an empty value with CanCreate,
// or one that is not a string, becomes Default and Default is written.
void ReadRegistryString(const std::string& Default, TRegistryRootKey RootKey, const std::string& KeyPath,
                        bool CanCreate, const std::string& ValueName, std::string& Value);

// Writes the value when the key opens (created only with CanCreate);
// otherwise nothing, and nothing is reported.
void WriteRegistryString(const std::string& KeyPath, TRegistryRootKey RootKey, const std::string& ValueName,
                         bool CanCreate, const std::string& Value);
