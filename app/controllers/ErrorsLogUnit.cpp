// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorsLogUnit.h"

#include "MemoPaneUnit.h"
#include "NumberFormatUnit.h"
#include "PackMonClockUnit.h"
#include "StaleReadingsUnit.h"
#include "ValueGridUnit.h"

#include <QLabel>
#include <QStatusBar>
#include <cstdio>

namespace {

// A widget of its own, not a temporary message: hovering a menu item would
// otherwise wipe the last line logged, often an error.
QLabel& AddStatusLine(QStatusBar& Bar) {
    auto* Line = new QLabel(&Bar);
    Line->setObjectName(QStringLiteral("StatusLine"));
    Bar.addWidget(Line, 1);
    return *Line;
}

} // namespace

TErrorsLog::TErrorsLog(TMemoPane& AErrors, QStatusBar& Bar, TValueGrid& AGrid)
    : ErrorsPane(AErrors), StatusLine(AddStatusLine(Bar)), Grid(AGrid) {}

void TErrorsLog::Show(TMemoPane* Pane, const std::string& Text, double Time, bool Beeps) {
    if (Pane != nullptr) {
        // Stamped with the time the caller gives (the comms thread's clock),
        // in the user's own time separator.
        const std::string Line = Time > 0 ? FormatLogTimeStamp(Time, UserTimeSeparator()) + ' ' + Text : Text;
        Pane->AddLine(Line);
        StatusText = QString::fromUtf8(Line.data(), static_cast<qsizetype>(Line.size()));
        if (!Grid.Stale())
            StatusLine.setText(StatusText);
    }
    if (Beeps && Sound)
        Sound();
}

void TErrorsLog::LogError(const std::string& Text, const char* Kind, bool Beeps) {
    const double Now = SystemClock().LocalNow();
    if (ShowLine)
        ShowLine(&ErrorsPane, Text, Now, Beeps);
    else
        Show(&ErrorsPane, Text, Now, Beeps);
    if (Kind != nullptr && Keep)
        Keep(Kind, Text);
}

void TErrorsLog::ShowStaleness(std::optional<long> Age) {
    if (Age)
        StatusLine.setText(QString::fromStdString(NoDataText(*Age)));
    else if (Grid.Stale())
        StatusLine.setText(StatusText);
    Grid.SetStale(Age.has_value());
}

void TErrorsLog::LogFailure(const std::exception& Failure) {
    if (Closing)
        std::fprintf(stderr, "PackMon: %s\n", FailureMessage(Failure).c_str());
    try {
        LogError(FailureMessage(Failure));
    } catch (...) {
        qWarning("PackMon: %s", Failure.what());
    }
}
