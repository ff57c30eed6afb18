// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileStreamUnit.h"
#include "ProfileFileUnit.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ProfileFile : public testing::Test {
  protected:
    QTemporaryDir Dir;
    QString Name = Dir.filePath("PackMon.Ini");
};

TEST_F(ProfileFile, MissingFileReadsDefaults) {
    const TProfileFile Settings(Name);
    EXPECT_EQ(Settings.ReadString("Chart1", "BatteryVolts", "none"), "none");
    EXPECT_EQ(Settings.ReadInteger("Chart1", "BatteryVolts", 7), 7);
}

TEST_F(ProfileFile, NamesMatchWhateverTheirCaseAndOtherContentIsKept) {
    ReplaceFileContents(Name, "; written by hand\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n[chart1]\r\nbatteryvolts=255\r\n");
    {
        TProfileFile Settings(Name);
        EXPECT_EQ(Settings.ReadInteger("Chart1", "BatteryVolts", 0), 255);
        Settings.WriteInteger("CHART1", "BATTERYVOLTS", 32768);
        Settings.WriteInteger("Chart1", "Cell1Volts", 255);
    }
    const std::string Text = ReadWholeFile(Name);
    EXPECT_NE(Text.find("; written by hand"), std::string::npos);
    EXPECT_NE(Text.find("COM3=/dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(Text.find("batteryvolts=32768"), std::string::npos) << Text;
    EXPECT_NE(Text.find("Cell1Volts=255"), std::string::npos) << "key=value without spaces";
    EXPECT_EQ(TProfileFile(Name).ReadInteger("chart1", "cell1volts", 0), 255);
}

TEST_F(ProfileFile, IntegersAreDecimalOrHexadecimal) {
    const struct {
        const char* Text;
        bool Valid;
        std::int32_t Value;
    } Cases[] = {
        {"255", true, 255},       {"0x0000FF", true, 255},  {"0XfF", true, 255}, {"$FF00", true, 65280},
        {"-1", true, -1},         {" 12", true, 12},        {"abc", false, 0},   {"0x", false, 0},
        {"$", false, 0},          {"12abc", false, 0},      {"", false, 0},      {"0x1FFFFFFFF", false, 0},
        {"0xFFFFFFFF", true, -1}, {"4294967296", false, 0},
    };
    for (const auto& Case : Cases) {
        std::int32_t Value = 0;
        EXPECT_EQ(TryProfileInteger(Case.Text, Value), Case.Valid) << Case.Text;
        if (Case.Valid) {
            EXPECT_EQ(Value, Case.Value) << Case.Text;
        }
    }
}

TEST_F(ProfileFile, UnwritableFileReportsItsName) {
    const QString Unwritable = Dir.filePath("missing/PackMon.Ini");
    TProfileFile Settings(Unwritable);
    try {
        Settings.WriteInteger("Chart1", "BatteryVolts", 0);
        FAIL() << "writing into a missing folder must fail";
    } catch (const EPackMonException& E) {
        EXPECT_EQ(E.Message(), "Unable to write to " + DisplayPath(Unwritable));
    }
}

TEST_F(ProfileFile, GarbageFileReadsWhatItCan) {
    const char Raw[] = "\x00\xff[Chart1\r\n=\r\n[Chart1]\r\nBatteryVolts=12\r\nno equals sign\r\n";
    const std::string Garbage(Raw, sizeof Raw - 1);
    ReplaceFileContents(Name, Garbage);
    EXPECT_EQ(TProfileFile(Name).ReadInteger("Chart1", "BatteryVolts", 0), 12);
}

} // namespace
