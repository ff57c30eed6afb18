// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>

// A settings file of "[Section]" headers and "key=value" lines, read and
// written the way the platform's profile files are: section and key names
// match whatever their letter case, every write goes to the disk at once,
// and the sections and keys the program does not know are kept.
class TProfileFile {
  public:
    // Reads the file; a missing file reads as empty.
    explicit TProfileFile(QString FileName);
    ~TProfileFile();
    TProfileFile(const TProfileFile&) = delete;
    TProfileFile& operator=(const TProfileFile&) = delete;

    std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) const;
    // Decimal, or hexadecimal after "0x", "0X" or "$"; anything else, or
    // no such key, gives Default.
    std::int32_t ReadInteger(const std::string& Section, const std::string& Key, std::int32_t Default) const;

    // Raises "Unable to write to %s" when the file cannot be written.
    void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
    void WriteInteger(const std::string& Section, const std::string& Key, std::int32_t Value);
    // Removes the key, and its section when that is left empty.
    void DeleteKey(const std::string& Section, const std::string& Key);

    const QString& FileName() const { return Name; }

  private:
    void SaveAfter(bool Changed);
    struct TDocument;
    QString Name;
    std::unique_ptr<TDocument> Document;
};

// The integer a settings value holds, as ReadInteger reads it, or false.
bool TryProfileInteger(const std::string& Text, std::int32_t& Value);
