// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program: opening a capture of a million records (about 60 MB) into
// the Comms pane and starting its replay, then opening it for review (the
// whole capture through the reading consumer into the chart in one pass).
// Prints seconds, records a second, and the peak memory the opening took per
// byte of capture.

#include "BenchSupport.h"
#include "FileStreamUnit.h"
#include "MainFormUnit.h"
#include "PackMonApplicationUnit.h"
#include "SampleCaptureUnit.h"

#include <QAction>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {} // namespace

int main(int Argc, char** Argv) {
    // On the X server it is given (scripts/under-xvfb.sh starts one), as a user's window runs.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "run it on an X server: sh scripts/under-xvfb.sh %s\n", Argv[0]);
        return 2;
    }
    TPackMonApplication App(Argc, Argv);
    QTemporaryDir Dir;
    const QString Capture = Dir.filePath("million.PackMonComms");
    qint64 Bytes = 0;
    {
        const std::string Text = MakeLongCapture(1000000);
        ReplaceFileContents(Capture, Text);
        Bytes = static_cast<qint64>(Text.size());
    }

    TPackMonMainForm Form(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    ResetPeakMemory();
    const long BaselineKb = StatusKb("VmRSS:");
    const auto Start = std::chrono::steady_clock::now();
    Form.LoadCommsFile(Capture);
    QCoreApplication::processEvents();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    const long PeakKb = StatusKb("VmHWM:");

    const double PerByte = static_cast<double>(PeakKb - BaselineKb) * 1024.0 / static_cast<double>(Bytes);
    std::printf("open capture:        %.2f s for %.1f MB (1,000,000 records) into the Comms pane and its replay"
                "  (target <= 5 s)\n",
                Seconds, static_cast<double>(Bytes) / 1e6);
    std::printf("open capture memory: %.2f bytes per byte of capture at the peak  (target <= 6)\n", PerByte);

    Form.findChild<QAction*>("COM01")->trigger();
    const auto ReviewStart = std::chrono::steady_clock::now();
    Form.ReviewCommsFile(Capture);
    const double ReviewSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - ReviewStart).count();
    std::printf("open for review:     %.2f s for 1,000,000 records into the chart, %.2f million records/s"
                "  (target >= 1)\n",
                ReviewSeconds, 1.0 / ReviewSeconds);
    return 0;
}
