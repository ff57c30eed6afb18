// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MRUUnit.h"

#include "ProfileFileUnit.h"

#include <QString>
#include <algorithm>

namespace {

constexpr std::size_t LongestValue = 2047;

// As the file system compares them: on Linux "Run.PackMonComms" and
// "run.PackMonComms" are two files, each with its own entry.
bool SameName(const std::string& A, const std::string& B) { return A == B; }

// A line break would end the settings line and start another: a name that
// holds one cannot be kept in the settings file.
bool Storable(const std::string& Name) { return Name.find_first_of("\r\n") == std::string::npos; }

} // namespace

TKWBMRU::TKWBMRU(std::string AIniFilePath, std::string ASectionName, int AMaxCount)
    : IniFilePath(std::move(AIniFilePath)), SectionName(std::move(ASectionName)), MaxCount(AMaxCount) {
    std::lock_guard Guard(Lock);
    const TProfileFile Settings(QString::fromStdString(IniFilePath));
    for (int I = 0; I < MaxCount; ++I)
        FileNames.push_back(Settings.ReadString(SectionName, ValueName(I), {}).substr(0, LongestValue));
}

TKWBMRU::~TKWBMRU() {
    // Waits for an operation in progress.
    std::lock_guard Guard(Lock);
    FileNames.clear();
}

std::string TKWBMRU::GetFileName(int Index) {
    std::lock_guard Guard(Lock);
    return Index >= 0 && Index < static_cast<int>(FileNames.size()) ? FileNames[static_cast<std::size_t>(Index)]
                                                                    : std::string();
}

int TKWBMRU::Find(const std::string& Name) const {
    for (std::size_t I = 0; I < FileNames.size(); ++I)
        if (SameName(FileNames[I], Name))
            return static_cast<int>(I);
    return -1;
}

void TKWBMRU::AddFileName(const std::string& Name) {
    std::lock_guard Guard(Lock);
    if (!Storable(Name))
        return;
    const std::vector<std::string> Before = FileNames;
    const int At = Find(Name);
    if (At > 0) {
        // The entry keeps its own text, letter case included.
        std::rotate(FileNames.begin(), FileNames.begin() + At, FileNames.begin() + At + 1);
    } else if (At < 0) {
        FileNames.insert(FileNames.begin(), Name);
    }
    while (static_cast<int>(FileNames.size()) > MaxCount)
        FileNames.pop_back();
    if (FileNames != Before)
        SaveList();
}

void TKWBMRU::RemoveFileName(const std::string& Name) {
    std::lock_guard Guard(Lock);
    const int At = Find(Name);
    if (At < 0)
        return;
    FileNames.erase(FileNames.begin() + At);
    SaveList();
}

void TKWBMRU::SaveList() {
    const auto Entry = [this](int I) {
        return I < static_cast<int>(FileNames.size()) ? FileNames[static_cast<std::size_t>(I)] : std::string();
    };
    TProfileFile Settings(QString::fromStdString(IniFilePath));
    for (int I = 0; I < MaxCount; ++I)
        Settings.WriteString(SectionName, ValueName(I), Entry(I));
}
