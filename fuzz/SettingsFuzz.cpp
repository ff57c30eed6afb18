// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Arbitrary settings files through the profile-file layer and a recent-file
// list: no crash, reads give text, and a write-read round trip holds.

#include "FileStreamUnit.h"
#include "MRUUnit.h"
#include "ProfileFileUnit.h"
#include "SettingsKeysUnit.h"

#include <QDir>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const QString Name = QDir::temp().filePath(QStringLiteral("packmon-fuzz-%1.Ini").arg(::getpid()));
    ReplaceFileContents(Name, std::string_view(reinterpret_cast<const char*>(Data), Size));
    {
        TProfileFile Settings(Name);
        Settings.ReadInteger(ChartColorsSection, "BatteryVolts", 0);
        Settings.ReadString("CommsMRU", "MRU0", {});
        Settings.WriteInteger(ChartColorsSection, "Cell1Volts", 255);
    }
    if (TProfileFile(Name).ReadInteger("chart1", "CELL1VOLTS", 0) != 255)
        std::abort();
    TKWBMRU List(Name.toStdString(), "CommsMRU", 5);
    List.AddFileName("/logs/run.PackMonComms");
    if (List.GetFileName(0) != "/logs/run.PackMonComms")
        std::abort();
    return 0;
}
