// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The program's version information. Linux executables carry no version
// resource: the values are compiled in from the build (the CMake project
// version), and only the running program's own file has them.

// The "FileVersion" value of FileName, or an empty string.
std::string GetFileVersionString(const std::string& FileName);

// True with Value set when FileName has the value ValueName; false, with
// Value left as it was, otherwise.
bool ReadVersionInfoValue(const std::string& FileName, const std::string& ValueName, std::string& Value);

// The maker's web address shown in the About box.
std::string MakerWebAddress();

// "Version 0.1.0\r\r<web address>", as the About box shows it.
std::string AboutBoxText();
