// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for the chart's files: 9 series x 1,000,000 points exported
// to CSV and saved as a graph file, then that graph file opened in the
// window. Prints seconds, MB/s and peak memory.

#include "BenchSupport.h"
#include "ComponentNamesUnit.h"
#include "CsvExportUnit.h"
#include "GraphFileUnit.h"
#include "MainFormUnit.h"
#include "PackMonApplicationUnit.h"
#include "SeriesStoreUnit.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

struct TFigures {
    double Seconds;
    double PeakMb;
};

TFigures Measure(const std::function<void()>& Work) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const long Before = StatusKb("VmRSS:");
    const auto Start = std::chrono::steady_clock::now();
    Work();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    return {Seconds, static_cast<double>(StatusKb("VmHWM:") - Before) / 1024.0};
}

double FileMb(const QString& Name) { return static_cast<double>(QFileInfo(Name).size()) / 1e6; }

} // namespace

int main(int Argc, char** Argv) {
    // On the X server it is given (scripts/under-xvfb.sh starts one), as a user's window runs.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "run it on an X server: sh scripts/under-xvfb.sh %s\n", Argv[0]);
        return 2;
    }
    TPackMonApplication App(Argc, Argv);
    QTemporaryDir Dir;
    const QString Csv = Dir.filePath("big.CSV");
    const QString Graphs = Dir.filePath("big.PackMonGraphs");
    {
        TProgramSeriesStore Chart;
        for (int S = 0; S < 9; ++S)
            for (int I = 0; I < 1000000; ++I)
                Chart.AddXY(S, I / 86400.0, (S == 0 ? 26.4 : 3.3) + 0.001 * (I % 97));
        const TFigures Export = Measure([&] { ExportChartToCsv(&Chart, Csv); });
        std::printf("CSV export:           %.2f s for %.0f MB, %.0f MB/s, peak +%.0f MB  (target >= 50 MB/s)\n",
                    Export.Seconds, FileMb(Csv), FileMb(Csv) / Export.Seconds, Export.PeakMb);
        const std::string Owner = MainFormComponentName;
        const TFigures Save = Measure([&] { WriteComponentRecord(Graphs, false, &Owner, &Chart); });
        std::printf("graph file save:      %.2f s for %.0f MB, %.0f MB/s, peak +%.0f MB  (target >= 50 MB/s)\n",
                    Save.Seconds, FileMb(Graphs), FileMb(Graphs) / Save.Seconds, Save.PeakMb);
    }
    TPackMonMainForm Form(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    const TFigures Load = Measure([&] { Form.LoadGraphsFile(Graphs); });
    std::printf(
        "graph file open:      %.2f s for 9 x 1,000,000 points into the window, peak +%.0f MB  (target <= 2 s)\n",
        Load.Seconds, Load.PeakMb);
    return 0;
}
