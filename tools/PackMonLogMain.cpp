// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// packmon-log: logs from the monitor without a window, for a box beside the
// bench with no screen, into the session journal and to the broker.

#include "LoggerUnit.h"
#include "TerminationSignalsUnit.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void Usage(std::FILE* To) {
    std::fprintf(To, "usage: packmon-log (--port PORT | --sim) [--duration TIME] [--journal FILE]\n"
                     "                   [--report FILE] [--settings FILE]\n"
                     "\n"
                     "Logs the monitor's readings into the session journal, and publishes them when the\n"
                     "settings file's [Publish] section names a broker, as the window does, without one.\n"
                     "On a terminal one status line shows the records, their rate, the time logged, the\n"
                     "lowest and highest cell and the spread; otherwise one plain line a minute. Failures\n"
                     "go to standard error, one line each. Ctrl+C or SIGTERM ends the session cleanly.\n"
                     "\n"
                     "  --port PORT      COM3 (numbered as the window numbers ports, [Ports] pins first)\n"
                     "                   or a device path such as /dev/serial/by-id/...\n"
                     "  --sim            log from the built-in simulated monitor (four records a second)\n"
                     "  --duration TIME  stop after TIME: 90s, 30m, 8h, 2d, 1h30m or plain seconds\n"
                     "  --journal FILE   the session journal (else the one beside the settings file)\n"
                     "  --report FILE    at the end, write the session's HTML report (packmon-report)\n"
                     "  --settings FILE  PackMon's settings file (else the window's own)\n"
                     "  --help           show this text\n"
                     "\n"
                     "Exit status:\n"
                     "  0  the session ended (its time was up, or it was stopped)\n"
                     "  2  the command line is wrong\n"
                     "  3  the port cannot be opened (the port's own error follows)\n"
                     "  4  the session journal cannot be written\n"
                     "  5  the report cannot be written\n");
}

} // namespace

int main(int Argc, char** Argv) {
    QCoreApplication Application(Argc, Argv);
    const QStringList Words = QCoreApplication::arguments();
    if (Words.contains(QStringLiteral("--help"))) {
        Usage(stdout);
        return LogExitDone;
    }
    TLoggerOptions Options;
    std::string Problem;
    if (!ParseLoggerArguments(Words, Options, Problem)) {
        std::fprintf(stderr, "packmon-log: %s\n", Problem.c_str());
        Usage(stderr);
        return LogExitUsage;
    }
    TLogger Logger(std::move(Options));
    TTerminationSignals Signals([&Logger] { Logger.Stop(); });
    return Logger.Run();
}
