// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoggerUnit.h"

#include "JournalSchemaUnit.h"
#include "JournalSettingsUnit.h"
#include "PackMonFileNamesUnit.h"
#include "PortDiscoveryUnit.h"
#include "RunReportUnit.h"
#include "SerialPortPosixUnit.h"
#include "SessionKeepingUnit.h"
#include "SimulatorUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <pty.h>
#include <unistd.h>

#ifndef PACKMON_VERSION
#define PACKMON_VERSION "0"
#endif

namespace {

using namespace std::chrono;

constexpr auto StatusEvery = milliseconds(500);
constexpr auto PlainLineEvery = minutes(1);
constexpr auto RateOver = seconds(2);
// The built-in simulated monitor sends four records a second.
constexpr long SimulatorIntervalMs = 250;

// The port's messages separate their parts with CR, which would overwrite
// a terminal's line.
std::string OneLine(std::string Text) {
    for (char& C : Text)
        if (C == '\r' || C == '\n')
            C = ' ';
    return Text;
}

} // namespace

bool ParseDuration(const std::string& Text, milliseconds& Value) {
    static const QRegularExpression Whole(QStringLiteral("^(?:\\d+(?:\\.\\d+)?[smhd])+$|^\\d+(?:\\.\\d+)?$"));
    static const QRegularExpression Part(QStringLiteral("(\\d+(?:\\.\\d+)?)([smhd]?)"));
    const QString Given = QString::fromStdString(Text);
    if (!Whole.match(Given).hasMatch())
        return false;
    double Seconds = 0;
    for (auto Match = Part.globalMatch(Given); Match.hasNext();) {
        const auto Piece = Match.next();
        const QString Unit = Piece.captured(2);
        const double Scale = Unit == QLatin1String("m")   ? 60.0
                             : Unit == QLatin1String("h") ? 3600.0
                             : Unit == QLatin1String("d") ? 86400.0
                                                          : 1.0;
        Seconds += Piece.captured(1).toDouble() * Scale;
    }
    Value = milliseconds(static_cast<std::int64_t>(Seconds * 1000.0));
    return Value.count() > 0;
}

bool ParseLoggerArguments(const QStringList& Words, TLoggerOptions& Options, std::string& Problem) {
    const auto Refuse = [&](const std::string& Why) {
        Problem = Why;
        return false;
    };
    for (qsizetype I = 1; I < Words.size(); ++I) {
        const std::string Word = Words[I].toStdString();
        const bool Valued = Word == "--port" || Word == "--duration" || Word == "--journal" || Word == "--report" ||
                            Word == "--settings";
        if (Valued && I + 1 >= Words.size())
            return Refuse(Word + " needs a value");
        if (Word == "--sim") {
            Options.Sim = true;
        } else if (Word == "--port") {
            Options.Port = Words[++I].toStdString();
        } else if (Word == "--duration") {
            milliseconds Duration{};
            if (!ParseDuration(Words[++I].toStdString(), Duration))
                return Refuse("not a duration: " + Words[I].toStdString() + " (for example 90s, 30m, 8h, 1h30m)");
            Options.Duration = Duration;
        } else if (Word == "--journal") {
            Options.JournalFile = Words[++I].toStdString();
        } else if (Word == "--report") {
            Options.ReportFile = Words[++I];
        } else if (Word == "--settings") {
            Options.IniFileName = Words[++I];
        } else {
            return Refuse("unknown option: " + Word);
        }
    }
    if (Options.Sim == !Options.Port.empty())
        return Refuse("give either --port PORT or --sim");
    return true;
}

std::string LoggerStatusText(std::uint64_t Records, double Rate, double ElapsedSeconds, const TCellBalance& Balance) {
    std::string Text = "records " + std::to_string(Records) + "  rate " + FixedText(Rate, 1) + "/s  elapsed " +
                       DurationText(static_cast<std::int64_t>(ElapsedSeconds * 1000.0));
    const int Low = Balance.LowestCell(), High = Balance.HighestCell();
    if (Low != TCellBalance::NoCell && High != TCellBalance::NoCell)
        Text += "  lowest cell " + std::to_string(Low + 1) + " " + FixedText(Balance.Cell(Low).Latest) +
                " V  highest cell " + std::to_string(High + 1) + " " + FixedText(Balance.Cell(High).Latest) +
                " V  spread " + FixedText(Balance.Spread()) + " V";
    return Text;
}

// --- The run ---------------------------------------------------------------

TLogger::TLogger(TLoggerOptions AOptions) : Options(std::move(AOptions)) {
    if (Options.IniFileName.isEmpty())
        Options.IniFileName = LocateWindowFiles().IniFileName;
    // Days of readings at the line rate would fill a small box's memory:
    // the journal keeps them, the figures need no points.
    Store.KeepPoints(false);
    Terminal = ::isatty(STDOUT_FILENO) == 1;
}

TLogger::~TLogger() { Finish(); }

void TLogger::Say(const std::string& Line) {
    if (Terminal && StatusShown)
        std::fputs("\r\x1b[K", stdout), std::fflush(stdout);
    std::fprintf(stderr, "%s %s\n", LocalTimeText(UtcNowMs()).c_str(), OneLine(Line).c_str());
    std::fflush(stderr);
}

int TLogger::Run() {
    if (const int Status = Start(); Status != LogExitDone) {
        Finish();
        return Status;
    }
    QCoreApplication::exec();
    Finish();
    return WriteReport();
}

void TLogger::Stop() { QCoreApplication::quit(); }

int TLogger::Start() {
    const bool JournalOn = !Options.JournalFile.empty() || ReadJournalSettings(Options.IniFileName).Enabled;
    if (Options.JournalFile.empty() && JournalOn)
        Options.JournalFile = JournalPathBeside(Options.IniFileName);
    if (!JournalOn && !Options.ReportFile.isEmpty()) {
        Say("--report needs the session journal, switched off in " + Options.IniFileName.toStdString() +
            " ([Journal] Enabled=0); give --journal FILE");
        return LogExitUsage;
    }
    if (JournalOn) {
        try {
            OpenJournal(Options.JournalFile, JournalReaderBusyMs);
        } catch (const std::exception& Failure) {
            Say("Session journal " + Options.JournalFile + " cannot be written: " + Failure.what());
            return LogExitJournalCannotBeWritten;
        }
    }
    if (Options.Sim)
        StartSimulator();

    // The journal file is empty when the journal is off.
    const TSessionKeeping::TPlace Place{Options.IniFileName, Options.JournalFile, PACKMON_VERSION};
    TLiveSession::TViews Views;
    Views.ErrorLine = [this](const std::string& Line, double, bool) { Say(Line); };
    Views.Reading = [this](const TReadingRecord& Reading) {
        if (Reading.Kind == rkData)
            ++Records;
        Live->Consume(Reading);
    };
    Live = std::make_unique<TLiveSession>(Place, Store, std::move(Views));
    Live->LoadAlarmLimits();
    const std::string Given = Options.Sim ? SimulatorPath : Options.Port;
    const bool Path = Given.find('/') != std::string::npos;
    const std::string Source = Options.Sim ? std::string("simulated monitor")
                               : Path      ? Given
                                           : QString::fromStdString(Given).toUpper().toStdString();
    try {
        Live->ConnectTo(Given, Source);
    } catch (const ENoSuchPort& Failure) {
        Say(Failure.Message());
        return LogExitUsage;
    } catch (const std::exception& Failure) {
        Say(FailureMessage(Failure));
        return LogExitPortCannotOpen;
    }
    Say("Logging from " + Source + " (" + Live->LinkState().Path() + ")" +
        (JournalOn ? " into " + Options.JournalFile : std::string(" (the session journal is off)")));

    Started = LastPlainLine = LastRateTime = steady_clock::now();
    StatusTimer.setInterval(StatusEvery);
    connect(&StatusTimer, &QTimer::timeout, this, [this] { ShowStatus(false); });
    StatusTimer.start();
    if (Options.Duration)
        QTimer::singleShot(*Options.Duration, Qt::PreciseTimer, this, [this] { Stop(); });
    return LogExitDone;
}

void TLogger::Finish() {
    StatusTimer.stop();
    if (Live) {
        const bool Logging = Live->Live();
        Live->Stop();
        if (Logging)
            ShowStatus(true);
        Session = Live->LastSession();
        Live.reset();
    }
    if (Simulator.joinable()) {
        SimulatorStop = true;
        Simulator.join();
        SimulatorLine = TSimulatedLine{};
    }
}

int TLogger::WriteReport() {
    if (Options.ReportFile.isEmpty())
        return LogExitDone;
    if (Session == 0) {
        Say("No report: the session journal kept no session");
        return LogExitReportFailed;
    }
    // Drawn by packmon-report, which has the window's chart code; the
    // logger itself needs no display libraries.
    const QString Reporter = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("packmon-report"));
    const int Status =
        QProcess::execute(Reporter, {QStringLiteral("--session"), QString::number(Session), QStringLiteral("--journal"),
                                     QString::fromStdString(Options.JournalFile), QStringLiteral("--settings"),
                                     Options.IniFileName, QStringLiteral("-o"), Options.ReportFile});
    if (Status != 0) {
        Say("The report " + Options.ReportFile.toStdString() + " was not written" +
            (Status < 0 ? " (" + Reporter.toStdString() + " cannot be run)" : std::string()));
        return LogExitReportFailed;
    }
    Say("Report written to " + Options.ReportFile.toStdString());
    return LogExitDone;
}

void TLogger::StartSimulator() {
    SimulatorLine = OpenSimulatedLine();
    SimulatorPath = SimulatorLine.DevicePath;
    TSimulatorOptions Monitor;
    Monitor.IntervalMs = SimulatorIntervalMs;
    Monitor.Hold = true;
    Simulator = std::thread([this, Monitor] { RunSimulatedMonitor(SimulatorLine, Monitor, SimulatorStop); });
}

void TLogger::ShowStatus(bool Final) {
    const auto Now = steady_clock::now();
    if (Final || LastRateTime == Started) {
        // The whole run's rate: at the end, and until the first stretch of
        // RateOver has passed.
        const double Span = duration<double>(Now - Started).count();
        Rate = Span > 0 ? static_cast<double>(Records) / Span : 0.0;
    }
    if (!Final && Now - LastRateTime >= RateOver) {
        const double Span = duration<double>(Now - LastRateTime).count();
        if (Span > 0)
            Rate = static_cast<double>(Records - LastRateRecords) / Span;
        LastRateTime = Now;
        LastRateRecords = Records;
    }
    const std::string Text = LoggerStatusText(Records, Rate, duration<double>(Now - Started).count(), Live->Balance());
    if (Terminal) {
        std::fprintf(stdout, "\r\x1b[K%s%s", Text.c_str(), Final ? "\n" : "");
        std::fflush(stdout);
        StatusShown = !Final;
    } else if (Final || Now - LastPlainLine >= PlainLineEvery) {
        LastPlainLine = Now;
        std::fprintf(stdout, "%s\n", Text.c_str());
        std::fflush(stdout);
    }
}
