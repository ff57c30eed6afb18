// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"

#include <QFileDevice>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
// are written in place, and so are regular files that a rename would harm
// (hard links, another owner, a folder we may not write), whose old bytes
// are put back if the write fails.
void ReplaceFileContents(const QString& FileName, std::string_view Bytes);

// A file written in pieces and put in place whole at Commit: the same
// atomic replacement as ReplaceFileContents for regular files. Failures
// raise the "Cannot create file"/"Stream write error" messages, or with
// SystemText the system's own text alone (CSV export reports that way).
class TReplacingFile {
  public:
    enum class TMessages { Stream, SystemText };
    TReplacingFile(const QString& FileName, TMessages Messages = TMessages::Stream);
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;
    void Write(std::string_view Bytes);
    void Commit();

  private:
    [[noreturn]] void FailCreate();
    [[noreturn]] void FailWrite();
    void RestorePrevious();
    void StartWriteBack(qint64 Size);
    QString Name;
    TMessages Style;
    std::unique_ptr<QFileDevice> File;
    bool Atomic = true;
    // In place over a regular file: its bytes, put back if the write fails.
    std::optional<std::string> Previous;
    qint64 Written = 0, WrittenBack = 0;
};

// The absolute path with the platform's separators, as messages show it.
std::string DisplayPath(const QString& FileName);
