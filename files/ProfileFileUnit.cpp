// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProfileFileUnit.h"

#include "FieldConversionUnit.h"
#include "FileStreamUnit.h"

#include <QFile>
#include <algorithm>

#define SI_CONVERT_ICU
#include <SimpleIni.h>

// CSimpleIniA compares section and key names without regard to case.
struct TProfileFile::TDocument {
    CSimpleIniA Ini;
};

namespace {

bool IsHexDigit(char C) { return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }

bool TryHex(std::string_view Digits, std::int32_t& Value) {
    if (Digits.empty() || Digits.size() > 8)
        return false;
    std::uint32_t Result = 0;
    for (char C : Digits) {
        if (!IsHexDigit(C))
            return false;
        const int Digit = C <= '9' ? C - '0' : (C | 0x20) - 'a' + 10;
        Result = Result * 16 + static_cast<std::uint32_t>(Digit);
    }
    Value = static_cast<std::int32_t>(Result);
    return true;
}

} // namespace

bool TryProfileInteger(const std::string& Text, std::int32_t& Value) {
    std::string_view View = Text;
    while (!View.empty() && View.front() == ' ')
        View.remove_prefix(1);
    if (View.starts_with("0x") || View.starts_with("0X"))
        return TryHex(View.substr(2), Value);
    if (View.starts_with("$"))
        return TryHex(View.substr(1), Value);
    try {
        Value = StrToInt(View);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

TProfileFile::TProfileFile(QString FileName) : Name(std::move(FileName)), Document(std::make_unique<TDocument>()) {
    Document->Ini.SetSpaces(false);
    if (!QFile::exists(Name))
        return;
    try {
        std::string Text = ReadWholeFile(Name);
        // The parser stops at a NUL byte; a damaged file still gives up the
        // sections after one.
        std::replace(Text.begin(), Text.end(), '\0', '\n');
        Document->Ini.LoadData(Text.data(), Text.size());
    } catch (const EPackMonException&) {
        // An unreadable settings file reads as empty, as a missing one does.
    }
}

TProfileFile::~TProfileFile() = default;

std::string TProfileFile::ReadString(const std::string& Section, const std::string& Key,
                                     const std::string& Default) const {
    const char* Value = Document->Ini.GetValue(Section.c_str(), Key.c_str(), nullptr);
    return Value != nullptr ? std::string(Value) : Default;
}

std::int32_t TProfileFile::ReadInteger(const std::string& Section, const std::string& Key, std::int32_t Default) const {
    std::int32_t Value = Default;
    return TryProfileInteger(ReadString(Section, Key, {}), Value) ? Value : Default;
}

void TProfileFile::WriteString(const std::string& Section, const std::string& Key, const std::string& Value) {
    // Writing what is already there would only cost a file replacement.
    const char* Present = Document->Ini.GetValue(Section.c_str(), Key.c_str(), nullptr);
    if (Present != nullptr && Value == Present)
        return;
    SaveAfter(Document->Ini.SetValue(Section.c_str(), Key.c_str(), Value.c_str()) >= 0);
}

void TProfileFile::DeleteKey(const std::string& Section, const std::string& Key) {
    Document->Ini.Delete(Section.c_str(), Key.c_str(), true);
    SaveAfter(true);
}

void TProfileFile::SaveAfter(bool Changed) {
    std::string Text;
    const bool Saved = Changed && Document->Ini.Save(Text) >= 0;
    try {
        if (!Saved)
            throw EPackMonException("");
        ReplaceFileContents(Name, Text);
    } catch (const EPackMonException&) {
        throw EPackMonException("Unable to write to " + DisplayPath(Name));
    }
}

void TProfileFile::WriteInteger(const std::string& Section, const std::string& Key, std::int32_t Value) {
    WriteString(Section, Key, std::to_string(Value));
}
