// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileStreamUnit.h"
#include "MRUUnit.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

namespace {

std::vector<std::string> Entries(TKWBMRU& List) {
    std::vector<std::string> Names;
    for (int I = 0; I < 5; ++I)
        Names.push_back(List.GetFileName(I));
    return Names;
}

using Names = std::vector<std::string>;

class RecentFiles : public testing::Test {
  protected:
    QTemporaryDir Dir;
    std::string Ini = Dir.filePath("PackMon.Ini").toStdString();
    std::unique_ptr<TKWBMRU> List() { return std::make_unique<TKWBMRU>(Ini, "CommsMRU", 5); }
};

TEST_F(RecentFiles, FreshListStoresFivePositions) {
    auto Mru = List();
    EXPECT_EQ(Entries(*Mru), (Names{"", "", "", "", ""}));
    EXPECT_EQ(Mru->GetFileName(-1), "");
    EXPECT_EQ(Mru->GetFileName(5), "");
    Mru->AddFileName("/logs/run1.PackMonComms");
    Mru->AddFileName("/logs/run2.PackMonComms");
    EXPECT_EQ(ReadWholeFile(QString::fromStdString(Ini)),
              "[CommsMRU]\nMRU0=/logs/run2.PackMonComms\nMRU1=/logs/run1.PackMonComms\nMRU2=\nMRU3=\nMRU4=\n");
}

TEST_F(RecentFiles, FrontMoveCaseAndTheSixthFile) {
    auto Mru = List();
    for (const char* Name : {"E", "D", "C", "B", "A"})
        Mru->AddFileName(Name);
    EXPECT_EQ(Entries(*Mru), (Names{"A", "B", "C", "D", "E"}));
    Mru->AddFileName("C");
    EXPECT_EQ(Entries(*Mru), (Names{"C", "A", "B", "D", "E"})) << "moved to the front";
    Mru->AddFileName("c");
    EXPECT_EQ(Entries(*Mru), (Names{"c", "C", "A", "B", "D"})) << "another file on Linux, with its own entry";
    Mru->AddFileName("F");
    EXPECT_EQ(Entries(*Mru), (Names{"F", "c", "C", "A", "B"}));
    const auto Inode = [&] {
        struct stat Info {};
        ::stat(Ini.c_str(), &Info);
        return Info.st_ino;
    };
    const auto Written = Inode();
    Mru->AddFileName("F");
    Mru->RemoveFileName("a");
    EXPECT_EQ(Inode(), Written) << "nothing changed, nothing written";
    EXPECT_EQ(Entries(*Mru), (Names{"F", "c", "C", "A", "B"}));
    Mru->RemoveFileName("A");
    EXPECT_EQ(Entries(*Mru), (Names{"F", "c", "C", "B", ""}));
    Mru->AddFileName("/logs/x\n[Ports]\nCOM1=/dev/sda");
    EXPECT_EQ(Entries(*Mru), (Names{"F", "c", "C", "B", ""})) << "a line break cannot be kept in the settings file";
    Mru.reset();
    EXPECT_EQ(Entries(*List()), (Names{"F", "c", "C", "B", ""})) << "read back at construction";
}

TEST_F(RecentFiles, UnwritableSettingsFileFailsButTheListKeepsTheChange) {
    Ini = Dir.filePath("missing/PackMon.Ini").toStdString();
    auto Mru = List();
    try {
        Mru->AddFileName("X");
        FAIL() << "the store must fail";
    } catch (const EPackMonException& E) {
        EXPECT_EQ(E.Message(), "Unable to write to " + DisplayPath(QString::fromStdString(Ini)));
    }
    EXPECT_EQ(Mru->GetFileName(0), "X");
}

} // namespace
