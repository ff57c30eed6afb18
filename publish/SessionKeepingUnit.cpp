// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionKeepingUnit.h"

#include "JournalSchemaUnit.h"
#include "JournalSettingsUnit.h"

TSessionKeeping::TSessionKeeping(const TPlace& Place, TReport Report) {
    const TJournalSettings Settings = ReadJournalSettings(Place.IniFileName);
    if (Settings.Enabled || !Place.JournalFile.empty()) {
        TJournalOptions Options;
        Options.FileName = Place.JournalFile.empty() ? JournalPathBeside(Place.IniFileName) : Place.JournalFile;
        Options.AppVersion = Place.AppVersion;
        Options.Retention = Settings.Retention;
        Writer = std::make_unique<TJournalWriter>(std::move(Options), Report);
        SessionRecorder.AddSink(*Writer);
    }
    std::string Problem;
    if (std::optional<TPublishSettings> Publish = ReadPublishSettings(Place.IniFileName, Problem)) {
        TPublisherOptions Options;
        Options.Settings = std::move(*Publish);
        try {
            Broker = std::make_unique<TMqttPublisher>(std::move(Options), Report);
            SessionRecorder.AddSink(*Broker);
        } catch (const EPackMonException& Failure) {
            Report(Failure.Message());
        }
    } else if (!Problem.empty()) {
        Report(Problem);
    }
}

TSessionKeeping::~TSessionKeeping() {
    SessionRecorder.Detach();
    Broker.reset();
    Writer.reset();
}
