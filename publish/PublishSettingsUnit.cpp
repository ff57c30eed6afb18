// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PublishSettingsUnit.h"

#include "ProfileFileUnit.h"
#include "SettingsKeysUnit.h"

#include <fstream>

namespace {

struct EBadEntry {
    std::string Text;
};

[[noreturn]] void Refuse(const std::string& Key, const std::string& Value, const std::string& Why) {
    throw EBadEntry{std::string("[") + PublishSection + "] " + Key + "=" + Value + " " + Why};
}

int IntegerEntry(const TProfileFile& Settings, const char* Key, int Default, int Lowest, int Highest) {
    const std::string Text = Settings.ReadString(PublishSection, Key, {});
    if (Text.empty())
        return Default;
    std::int32_t Value = 0;
    if (!TryProfileInteger(Text, Value) || Value < Lowest || Value > Highest)
        Refuse(Key, Text, "is not a number from " + std::to_string(Lowest) + " to " + std::to_string(Highest));
    return Value;
}

std::string FirstLineOf(const std::string& Key, const std::string& FileName) {
    std::ifstream File(FileName);
    std::string Line;
    if (!File || !std::getline(File, Line))
        Refuse(Key, FileName, "cannot be read");
    if (!Line.empty() && Line.back() == '\r')
        Line.pop_back();
    return Line;
}

TPublishSettings ReadEntries(const TProfileFile& Settings) {
    TPublishSettings Publish;
    Publish.Host = Settings.ReadString(PublishSection, PublishHostKey, {});
    if (Publish.Host.empty())
        return Publish;
    Publish.Port = IntegerEntry(Settings, PublishPortKey, Publish.Port, 1, 65535);
    Publish.QoS = IntegerEntry(Settings, PublishQoSKey, Publish.QoS, 0, 2);
    Publish.Topic = Settings.ReadString(PublishSection, PublishTopicKey, Publish.Topic);
    if (Publish.Topic.empty() || Publish.Topic.find_first_of("#+") != std::string::npos)
        Refuse(PublishTopicKey, Publish.Topic, "is not a topic to publish to (no \"#\" or \"+\")");
    Publish.Username = Settings.ReadString(PublishSection, PublishUsernameKey, {});
    if (const std::string File = Settings.ReadString(PublishSection, PublishPasswordFileKey, {}); !File.empty())
        Publish.Password = FirstLineOf(PublishPasswordFileKey, File);
    Publish.CaFile = Settings.ReadString(PublishSection, PublishCaFileKey, {});
    if (!Publish.CaFile.empty() && !std::ifstream(Publish.CaFile))
        Refuse(PublishCaFileKey, Publish.CaFile, "cannot be read");
    return Publish;
}

} // namespace

std::optional<TPublishSettings> ReadPublishSettings(const QString& IniFileName, std::string& Problem) {
    Problem.clear();
    try {
        TPublishSettings Publish = ReadEntries(TProfileFile(IniFileName));
        if (Publish.Host.empty())
            return std::nullopt;
        return Publish;
    } catch (const EBadEntry& Bad) {
        Problem = "The settings file's " + Bad.Text + "; readings are not published";
        return std::nullopt;
    }
}
