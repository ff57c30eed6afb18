// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <string>
#include <vector>

// A fixed-length list of recently opened files, most recent first, stored
// after every change in a settings-file section as MRU0, MRU1, …; names compare as the file system does (letter case
// counts), and a name with a line break in it is not kept.
class TKWBMRU {
  public:
    TKWBMRU(std::string AIniFilePath, std::string ASectionName, int AMaxCount);
    virtual ~TKWBMRU();
    TKWBMRU(const TKWBMRU&) = delete;
    TKWBMRU& operator=(const TKWBMRU&) = delete;

    std::string GetFileName(int Index);
    // Raise "Unable to write to %s" when the settings file cannot be
    // written; the list in memory keeps the change.
    void AddFileName(const std::string& Name);
    void RemoveFileName(const std::string& Name);

    static std::string ValueName(int Index) { return "MRU" + std::to_string(Index); }

  private:
    void SaveList();
    int Find(const std::string& Name) const;

    std::string IniFilePath;
    std::string SectionName;
    int MaxCount;
    std::mutex Lock;
    std::vector<std::string> FileNames;
};
