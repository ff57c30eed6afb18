// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for the chart and the reading consumer:
//   1. repaint of 9 series × 10,000,000 points at 1280×800 on an X server, the
//      whole run, and zoom and pan steps over a tenth of it
//      (PACKMON_BENCH_POINTS sets the count; PACKMON_BENCH_REPAINT_ONLY stops
//      after it)
//   2. memory per plotted point
//   3. a 100,000-record capture replayed through the comms thread into the
//      window: records per second and the share of the main thread it keeps busy

#include "BenchSupport.h"
#include "ChartOperationsUnit.h"
#include "FileStreamUnit.h"
#include "MainFormUnit.h"
#include "MiscellaneousRoutinesUnit.h"
#include "PackMonApplicationUnit.h"
#include "PackMonCommsThreadUnit.h"
#include "SampleCaptureUnit.h"

#include <QEventLoop>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point Start) { return std::chrono::duration<double>(Clock::now() - Start).count(); }

double ThreadCpuSeconds() {
    timespec Now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
    return static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) / 1e9;
}

double MedianMillis(const std::function<void()>& Run) {
    std::vector<double> Millis;
    for (int I = 0; I < 7; ++I) {
        const auto Start = Clock::now();
        Run();
        Millis.push_back(SecondsSince(Start) * 1000.0);
    }
    std::sort(Millis.begin(), Millis.end());
    return Millis[Millis.size() / 2];
}

void RepaintAndMemory() {
    const int PointsPerSeries = EnvironmentInt("PACKMON_BENCH_POINTS", 10000000);
    TPackMonChart Chart;
    Chart.resize(1280, 800);
    Chart.show();
    BuildSeriesSet(Chart);
    QCoreApplication::processEvents();

    const long Before = ResidentKb();
    for (int S = 0; S < ChartSeriesCount; ++S) {
        TChartSeries& Series = Chart.Series(S);
        const double Base = S == 0 ? 26400 : 3300;
        // Whole millivolts, as readings are.
        for (int I = 0; I < PointsPerSeries; ++I)
            Series.AddXY(I / 86400.0, std::round(Base + 50 * std::sin(I * 0.001 + S) + 2 * (I % 13)) / 1000.0);
        Series.SetActive(true);
    }
    const long After = ResidentKb();

    const double Whole = MedianMillis([&] { Chart.Repaint(); });
    // A tenth of the run in view, then the steps a user takes over it: a
    // wheel notch in and out, a pan by a twentieth of the view.
    const double Low = PointsPerSeries * 0.45 / 86400.0, High = PointsPerSeries * 0.55 / 86400.0;
    Chart.View().ShowRange(TViewAxis::Time, {Low, High});
    Chart.Repaint();
    int Step = 0;
    const double Zoom = MedianMillis([&] {
        Chart.View().ZoomAt(TViewAxis::Time, (Low + High) / 2, Step++ % 2 == 0 ? 0.8 : 1.25);
        Chart.Repaint();
    });
    const double Pan = MedianMillis([&] {
        Chart.View().PanBy(TViewAxis::Time, (Step++ % 2 == 0 ? 1 : -1) * (High - Low) / 20);
        Chart.Repaint();
    });
    std::printf("chart repaint:        median %.1f ms whole run, %.1f ms a zoom step and %.1f ms a pan step over a "
                "tenth of it, 9 x %d points at 1280x800  (target <= 30 ms)\n",
                Whole, Zoom, Pan, PointsPerSeries);
    std::printf("chart memory:         %.1f bytes per plotted point  (target <= 40)\n",
                static_cast<double>(After - Before) * 1024.0 / (9.0 * PointsPerSeries));
}

// The comms thread's own pace with a window that does nothing, for
// comparison: a pass of 100 records, then a 20 ms pause.
struct TIdleWindow {
    std::size_t Readings = 0;
    TCommsSink Sink() {
        TCommsSink To;
        To.Reading = [this](const TReadingRecord&) { ++Readings; };
        return To;
    }
};

double BarePace(std::size_t Records) {
    TIdleWindow Window;
    QEventLoop Loop;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, &Loop, [&] {
        if (Window.Readings > Records)
            Loop.quit();
    });
    Poll.start(10);
    const auto Start = Clock::now();
    auto Thread = TPackMonCommsThread::Replay(MakeLongCapture(Records), Window.Sink());
    Loop.exec();
    const double Seconds = SecondsSince(Start);
    StopAndFreeThread(Thread);
    return static_cast<double>(Records) / Seconds;
}

void ReplayIntoTheWindow() {
    constexpr std::size_t Records = 100000;
    QTemporaryDir Dir;
    const QString Capture = Dir.filePath("replay.PackMonComms");
    ReplaceFileContents(Capture, MakeLongCapture(Records));

    TPackMonMainForm Form(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    Form.resize(1280, 800);
    Form.show();
    QCoreApplication::processEvents();

    const int RepaintsBefore = Form.Chart1->RepaintCount();
    const double CpuBefore = ThreadCpuSeconds();
    const auto Start = Clock::now();
    Form.LoadCommsFile(Capture);
    TChartSeries& Last = Form.Chart1->Series(8);
    QEventLoop Loop;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, &Loop, [&] {
        if (Last.Count() >= Records)
            Loop.quit();
    });
    Poll.start(10);
    Loop.exec();
    const double Seconds = SecondsSince(Start);
    const double Cpu = ThreadCpuSeconds() - CpuBefore;
    std::printf("replay into window:   %.0f records/s over %zu records; %.0f records/s into a window that does"
                " nothing  (target >= 4,900, the replay pace)\n",
                static_cast<double>(Records) / Seconds, Records, BarePace(20000));
    std::printf("main thread busy:     %.1f %% of the replay, with %.1f chart repaints a second  (target <= 30 %%)\n",
                100.0 * Cpu / Seconds, (Form.Chart1->RepaintCount() - RepaintsBefore) / Seconds);
}

} // namespace

int main(int Argc, char** Argv) {
    // On the X server it is given (scripts/under-xvfb.sh starts one), as a user's window runs.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "run it on an X server: sh scripts/under-xvfb.sh %s\n", Argv[0]);
        return 2;
    }
    TPackMonApplication App(Argc, Argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    RepaintAndMemory();
    if (std::getenv("PACKMON_BENCH_REPAINT_ONLY") != nullptr)
        return 0;
    ReplayIntoTheWindow();
    return 0;
}
