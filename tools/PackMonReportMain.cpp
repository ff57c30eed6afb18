// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// packmon-report: the end-of-run report of a kept session or a capture, as
// one self-contained HTML file with the chart, or as JSON for scripts.

#include "AlarmsUnit.h"
#include "ConvertUnit.h"
#include "FileStreamUnit.h"
#include "JournalSchemaUnit.h"
#include "PackMonFileNamesUnit.h"
#include "RunReportFileUnit.h"
#include "SessionReportUnit.h"

#include <QApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// The exit statuses, as --help documents them.
constexpr int ExitWritten = 0;
constexpr int ExitBadRecords = 1;
constexpr int ExitUsage = 2;
constexpr int ExitUnreadableInput = 3;
constexpr int ExitUnwritableOutput = 5;

void Usage(std::FILE* To) {
    std::fprintf(To, "usage: packmon-report (--latest | --session ID | CAPTURE) [-o FILE] [--json]\n"
                     "                      [--journal FILE] [--settings FILE]\n"
                     "\n"
                     "Writes the report of a run: start and end, duration, readings, each cell's lowest,\n"
                     "highest, average and final volts, the largest spread between cells and when, the cell\n"
                     "lowest most often, the battery field against the sum of the cells, disconnects, gaps\n"
                     "and alarms, with the chart as PackMon draws it.\n"
                     "\n"
                     "  --latest        the newest session in the session journal\n"
                     "  --session ID    that session (File > Sessions lists them)\n"
                     "  CAPTURE         a comms capture, decoded as PackMon replays it; alarms are found\n"
                     "                  with the limits of the settings file\n"
                     "  -o FILE         where to write the report (HTML, or JSON with --json)\n"
                     "  --json          the summary as JSON, to FILE or else to standard output\n"
                     "  --journal FILE  the session journal (else the one beside the settings file)\n"
                     "  --settings FILE PackMon's settings file (else the window's own)\n"
                     "  --help          show this text\n"
                     "\n"
                     "Exit status:\n"
                     "  0  written\n"
                     "  1  a capture had bad records: each is reported, the report covers the rest\n"
                     "  2  the command line is wrong\n"
                     "  3  the journal, the session or the capture cannot be read\n"
                     "  5  the report cannot be written\n");
}

struct TArguments {
    bool Latest = false;
    std::int64_t Session = 0;
    QString Capture, Output, Settings, Journal;
    bool Json = false;
};

std::optional<TArguments> Parse(const QStringList& Words) {
    TArguments Arguments;
    int Sources = 0;
    for (qsizetype I = 1; I < Words.size(); ++I) {
        const QString& Word = Words[I];
        const bool HasValue = I + 1 < Words.size();
        if (Word == QLatin1String("--latest")) {
            Arguments.Latest = true;
            ++Sources;
        } else if (Word == QLatin1String("--session") && HasValue) {
            bool Valid = false;
            Arguments.Session = Words[++I].toLongLong(&Valid);
            if (!Valid || Arguments.Session <= 0)
                return std::nullopt;
            ++Sources;
        } else if (Word == QLatin1String("-o") && HasValue) {
            Arguments.Output = Words[++I];
        } else if (Word == QLatin1String("--settings") && HasValue) {
            Arguments.Settings = Words[++I];
        } else if (Word == QLatin1String("--journal") && HasValue) {
            Arguments.Journal = Words[++I];
        } else if (Word == QLatin1String("--json")) {
            Arguments.Json = true;
        } else if (!Word.startsWith(QLatin1Char('-'))) {
            Arguments.Capture = Word;
            ++Sources;
        } else {
            return std::nullopt;
        }
    }
    if (Sources != 1 || (Arguments.Output.isEmpty() && !Arguments.Json))
        return std::nullopt;
    return Arguments;
}

int Fail(int Status, const std::string& Message) {
    std::fprintf(stderr, "packmon-report: %s\n", Message.c_str());
    return Status;
}

// The report goes to its file, or as JSON to standard output.
int Deliver(const TRunReport& Report, TReportChart& Chart, const TArguments& Arguments, int Status) {
    if (Arguments.Output.isEmpty()) {
        std::fputs(RunReportJson(Report).c_str(), stdout);
        return Status;
    }
    try {
        WriteRunReport(Report, Chart, Arguments.Output, Arguments.Json);
    } catch (const EPackMonException& Failure) {
        return Fail(ExitUnwritableOutput, Failure.Message());
    }
    return Status;
}

int ReportCapture(const TArguments& Arguments, const QString& Ini) {
    std::string Text;
    try {
        Text = ReadWholeFile(Arguments.Capture);
    } catch (const EPackMonException& Failure) {
        return Fail(ExitUnreadableInput, Failure.Message());
    }
    std::vector<std::string> Problems;
    const TAlarmLimits Limits = ReadAlarmLimits(Ini, Problems);
    for (const std::string& Problem : Problems)
        Fail(0, Problem);
    TReportChart Chart(Ini);
    TRunReportBuilder Builder(Limits);
    std::vector<std::string> Failures;
    ReplayCaptureInto(Text, Chart.Store(), Failures, {}, {&Builder});
    for (const std::string& Failure : Failures)
        Fail(0, Failure);
    TRunReport Report;
    Report.Source = Arguments.Capture.toStdString();
    Builder.Fill(Report);
    return Deliver(Report, Chart, Arguments, Failures.empty() ? ExitWritten : ExitBadRecords);
}

int ReportJournalSession(const TArguments& Arguments, const QString& Ini) {
    const std::string Journal = Arguments.Journal.isEmpty() ? JournalPathBeside(Ini) : Arguments.Journal.toStdString();
    TReportChart Chart(Ini);
    TRunReport Report;
    try {
        TSqliteDatabase Db(Journal, false, JournalReaderBusyMs);
        const std::int64_t Session = Arguments.Latest ? LatestSession(Db) : Arguments.Session;
        if (Session == 0)
            return Fail(ExitUnreadableInput, "The session journal " + Journal + " holds no session");
        Report = ReportSession(Db, Session, Chart.Store());
    } catch (const EPackMonException& Failure) {
        return Fail(ExitUnreadableInput, Journal + ": " + Failure.Message());
    }
    return Deliver(Report, Chart, Arguments, ExitWritten);
}

} // namespace

int main(int Argc, char** Argv) {
    // Drawn offscreen: a report needs no display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Read before Qt sees them: it takes "--session" for its own session
    // management and removes it.
    QStringList Words;
    for (int I = 0; I < Argc; ++I)
        Words.push_back(QString::fromLocal8Bit(Argv[I]));
    QApplication Application(Argc, Argv);
    if (Words.contains(QStringLiteral("--help"))) {
        Usage(stdout);
        return ExitWritten;
    }
    const std::optional<TArguments> Arguments = Parse(Words);
    if (!Arguments) {
        Usage(stderr);
        return ExitUsage;
    }
    const QString Ini = Arguments->Settings.isEmpty() ? LocateWindowFiles().IniFileName : Arguments->Settings;
    return Arguments->Capture.isEmpty() ? ReportJournalSession(*Arguments, Ini) : ReportCapture(*Arguments, Ini);
}
