// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// packmon-convert: turns a comms capture or a graph file into a CSV export
// and/or a graph file, as the window would, without a display.

#include "CellBalanceUnit.h"
#include "CommsCaptureUnit.h"
#include "ComponentNamesUnit.h"
#include "ConvertUnit.h"
#include "CsvExportUnit.h"
#include "FileStreamUnit.h"
#include "GraphFileUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>

namespace {

// The exit statuses, as --help documents them.
constexpr int ExitConverted = 0;
constexpr int ExitBadRecords = 1;
constexpr int ExitUsage = 2;
constexpr int ExitUnreadableInput = 3;
constexpr int ExitDamagedGraphs = 4;
constexpr int ExitUnwritableOutput = 5;

void Usage(std::FILE* To) {
    std::fprintf(To, "usage: packmon-convert INPUT [--csv FILE] [--graphs FILE] [--summary]\n"
                     "\n"
                     "INPUT is a comms capture (.PackMonComms) or a graph file (.PackMonGraphs); which one is\n"
                     "told by its content, the extension serving only for an empty file.\n"
                     "\n"
                     "A capture is decoded exactly as PackMon replays it, in one pass without the replay's\n"
                     "pauses, and its readings are placed on the nine series as the window places them.\n"
                     "Records before the capture's first interval (TIMEVALUE or STARTBULK) are timed by the\n"
                     "clock during the conversion, which runs far faster than the recording did.\n"
                     "A graph file is read as PackMon opens it: point n of each series at n seconds.\n"
                     "\n"
                     "  --csv FILE      write the series as PackMon's CSV export\n"
                     "  --graphs FILE   write them as a PackMon graph file\n"
                     "  --summary       print the cell-balance figures of a capture: each cell's latest,\n"
                     "                  lowest, highest and average volts and how often it was the lowest,\n"
                     "                  the spread between cells and the battery against the sum of cells\n"
                     "  --help          show this text\n"
                     "\n"
                     "Failures are reported on standard error with PackMon's own messages. Exit status:\n"
                     "  0  converted\n"
                     "  1  a capture had bad records: each is reported, the rest is converted and written\n"
                     "  2  the command line is wrong\n"
                     "  3  INPUT cannot be read\n"
                     "  4  a damaged graph file: what was read before the damage is written\n"
                     "  5  an output file cannot be written\n");
}

class TProgressBar {
  public:
    void Show(double Done) {
        using namespace std::chrono;
        if (steady_clock::now() - Start < seconds(1))
            return;
        const int Filled = static_cast<int>(Done * 40);
        std::fprintf(stderr, "\r[%-40.*s] %3d%%", Filled, "########################################",
                     static_cast<int>(Done * 100));
        Shown = true;
    }
    ~TProgressBar() {
        if (Shown)
            std::fprintf(stderr, "\n");
    }

  private:
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    bool Shown = false;
};

} // namespace

int main(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    QString Input, Csv, Graphs;
    bool Summary = false;
    for (int I = 1; I < Argc; ++I) {
        const char* Arg = Argv[I];
        if (std::strcmp(Arg, "--help") == 0 || std::strcmp(Arg, "-h") == 0) {
            Usage(stdout);
            return 0;
        }
        if (std::strcmp(Arg, "--csv") == 0 && I + 1 < Argc)
            Csv = QString::fromLocal8Bit(Argv[++I]);
        else if (std::strcmp(Arg, "--graphs") == 0 && I + 1 < Argc)
            Graphs = QString::fromLocal8Bit(Argv[++I]);
        else if (std::strcmp(Arg, "--summary") == 0)
            Summary = true;
        else if (Arg[0] != '-' && Input.isEmpty())
            Input = QString::fromLocal8Bit(Arg);
        else {
            Usage(stderr);
            return ExitUsage;
        }
    }
    if (Input.isEmpty() || (Csv.isEmpty() && Graphs.isEmpty() && !Summary)) {
        Usage(stderr);
        return ExitUsage;
    }

    std::string Bytes;
    try {
        Bytes = ReadWholeFile(Input);
    } catch (const EPackMonException& Failure) {
        std::fprintf(stderr, "%s\n", Failure.Message().c_str());
        return ExitUnreadableInput;
    }
    int Status = ExitConverted;
    TProgramSeriesStore Chart;
    TCellBalance Balance;
    if (DetectInputKind(Bytes, Input) == TInputKind::Graphs) {
        if (Summary) {
            std::fprintf(stderr, "packmon-convert: --summary needs a comms capture; a graph file holds no "
                                 "whole readings\n");
            return ExitUsage;
        }
        try {
            ReadGraphsInto(Bytes, Chart);
        } catch (const EPackMonException& Failure) {
            // As the window does: what was read before the damage is kept.
            std::fprintf(stderr, "%s\n", Failure.Message().c_str());
            Status = ExitDamagedGraphs;
        }
    } else {
        std::vector<std::string> Failures;
        TProgressBar Progress;
        ReplayCaptureInto(
            NormaliseLineEnds(std::move(Bytes)), Chart, Failures, [&](double Done) { Progress.Show(Done); },
            Summary ? std::vector<TReadingObserver*>{&Balance} : std::vector<TReadingObserver*>{});
        for (const std::string& Failure : Failures)
            std::fprintf(stderr, "%s\n", Failure.c_str());
        if (!Failures.empty())
            Status = ExitBadRecords;
    }
    if (Summary)
        for (const std::string& Line : BalanceSummaryLines(Balance))
            std::printf("%s\n", Line.c_str());
    try {
        // The graph file's bytes are made while the CSV is written, and the
        // file is written after it, as before.
        std::future<std::string> GraphBytes;
        if (!Graphs.isEmpty())
            GraphBytes = std::async(std::launch::async, [&] { return ChartRecordBytes(MainFormComponentName, Chart); });
        if (!Csv.isEmpty())
            ExportChartToCsv(&Chart, Csv);
        if (GraphBytes.valid())
            ReplaceFileContents(Graphs, GraphBytes.get());
    } catch (const std::exception& Failure) {
        std::fprintf(stderr, "%s\n", FailureMessage(Failure).c_str());
        return ExitUnwritableOutput;
    }
    return Status;
}