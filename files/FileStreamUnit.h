// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"

#include <string>
#include <string_view>

class QString;

// A file that exists but cannot be opened: "Cannot open file "%s". %s".
class EFOpenError : public EPackMonException {
public:
    using EPackMonException::EPackMonException;
};

// A file that cannot be created: "Cannot create file "%s". %s".
class EFCreateError : public EPackMonException {
public:
    using EPackMonException::EPackMonException;
};

// A write that stopped short: "Stream write error".
class EWriteError : public EPackMonException {
public:
    using EPackMonException::EPackMonException;
};

// The file's whole content, byte for byte.
std::string ReadWholeFile(const QString& FileName);

// Replaces the file's whole content. A regular file is replaced atomically:
// the bytes go to a temporary file beside it, which then takes its name, so
// a full disk or a crash leaves the previous file whole. Devices and pipes
// are written in place.
void ReplaceFileContents(const QString& FileName, std::string_view Bytes);

// The absolute path with the platform's separators, as messages show it.
std::string DisplayPath(const QString& FileName);
