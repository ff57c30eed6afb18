// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VersionInfoUnit.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef PACKMON_VERSION
#define PACKMON_VERSION ""
#endif
#ifndef PACKMON_WEB_ADDRESS
#define PACKMON_WEB_ADDRESS ""
#endif

bool ReadVersionInfoValue(const std::string& FileName, const std::string& ValueName, std::string& Value) {
    const QFileInfo Asked(QString::fromStdString(FileName));
    const QFileInfo Running(QCoreApplication::applicationFilePath());
    if (!Asked.exists() || Asked.canonicalFilePath() != Running.canonicalFilePath())
        return false;
    if (ValueName == "FileVersion" && std::string(PACKMON_VERSION).size() > 0) {
        Value = PACKMON_VERSION;
        return true;
    }
    return false;
}

std::string GetFileVersionString(const std::string& FileName) {
    std::string Version;
    if (!ReadVersionInfoValue(FileName, "FileVersion", Version))
        return {};
    return Version;
}

std::string MakerWebAddress() { return PACKMON_WEB_ADDRESS; }

std::string AboutBoxText() {
    return "Version " + GetFileVersionString(QCoreApplication::applicationFilePath().toStdString()) + "\r\r" +
           MakerWebAddress();
}
