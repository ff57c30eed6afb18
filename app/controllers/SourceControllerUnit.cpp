// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceControllerUnit.h"

#include "BusyCursorUnit.h"
#include "CaptureReplayUnit.h"
#include "ChartUnit.h"
#include "CommsCaptureUnit.h"
#include "ErrorsLogUnit.h"
#include "FileStreamUnit.h"
#include "LiveSessionUnit.h"
#include "MemoPaneUnit.h"
#include "MenuWiringUnit.h"
#include "PortDiscoveryUnit.h"
#include "ReadingViewUnit.h"
#include "ReviewToolsUnit.h"
#include "ValueGridUnit.h"

#include <QProgressBar>
#include <algorithm>

TSourceController::TSourceController(TLiveSession& ASession, TReadingView& AView, TReviewTools& ATools,
                                     TErrorsLog& ALog, TWidgets AWidgets, QString AIniFileName)
    : Live(ASession), Shows(AView), Tools(ATools), Log(ALog), Widgets(AWidgets), SettingsFile(std::move(AIniFileName)),
      LiveView(AView) {
    Live.LiveConsumer().AddObserver(LiveView);
}

TSourceController::~TSourceController() = default;

const TReadingConsumer& TSourceController::ShownReadings() const {
    return Review ? Review->Consumer : Live.LiveConsumer();
}

void TSourceController::ConnectPort(std::uint8_t PortNumber) {
    EndReview();
    Live.Connect(PortNumber);
    Tools.SetLive(Live.Live());
}

void TSourceController::ConnectNamed(const QString& PortName) {
    EndReview();
    Live.ConnectTo(PortName.toStdString());
    Tools.SetLive(true);
}

void TSourceController::EndSource() { Live.Stop(); }

void TSourceController::ReplayCapture(const QString& FileName) {
    EndReview();
    Live.Stop();
    Tools.SetLive(false);
    Live.LiveConsumer().ClearSeries();
    Widgets.CommsPane.Clear();
    Widgets.CommsPane.SetText(LoadCommsCaptureText(FileName));
    if (Opened)
        Opened(FileName);
    Live.StartReplay(Widgets.CommsPane.Text(), DisplayPath(FileName));
}

void TSourceController::ReviewCapture(const QString& FileName) {
    std::string Text = LoadCommsCaptureText(FileName);
    TBusyCursor Busy;
    const bool Connected = Live.Live();
    if (!Connected) {
        // A replay gives way; the Comms pane shows the capture as it does.
        Live.Stop();
        Widgets.CommsPane.Clear();
        Widgets.CommsPane.SetText(Text);
    }
    auto Run = std::make_unique<TReviewRun>();
    const TSeriesStore& Own = Widgets.Chart.OwnStore();
    for (int K = 0; K < Own.SeriesCount(); ++K)
        Run->Store.AddSeries(Own.SeriesTitle(K));
    Run->Consumer.AddObserver(Shows);
    ShowRun(Run.get());
    Review = std::move(Run);
    std::vector<std::string> Failures;
    ReviewProgress(true, 0.0);
    try {
        ReplayCaptureThrough(std::move(Text), Review->Consumer, Failures,
                             [this](double Done) { ReviewProgress(true, Done); });
    } catch (...) {
        ReviewProgress(false, 1.0);
        throw;
    }
    ReviewProgress(false, 1.0);
    if (Opened)
        Opened(FileName);
    ReportReviewFailures(Failures);
    if (Connected)
        Log.LogError("Reviewing " + DisplayPath(FileName) +
                         ": the live run goes on underneath (alarms, journal, broker); Graphs > Clear shows it again",
                     nullptr, false);
}

void TSourceController::ShowRun(TReviewRun* Run) {
    const TReadingConsumer& Readings = Run != nullptr ? Run->Consumer : Live.LiveConsumer();
    LiveView.SetOpen(Run == nullptr);
    Tools.SetShown(Run == nullptr);
    Widgets.Chart.ShowStore(Run != nullptr ? &Run->Store : nullptr);
    Widgets.Grid.ShowReadings(Readings);
    Shows.BulkStateChanged(Readings.Bulk().InProgress);
    Shows.ProgressChanged(Readings.Bulk().Value, Readings.Bulk().Maximum);
    Shows.LatestValuesChanged();
}

void TSourceController::EndReview() {
    if (!Review)
        return;
    ShowRun(nullptr);
    Review.reset();
}

void TSourceController::ClearLiveRun() {
    EndReview();
    Live.LiveConsumer().ClearSeries();
}

void TSourceController::ShowKept(const std::function<void(TReadingConsumer& Consumer)>& Fill) {
    Live.Stop();
    EndReview();
    Tools.SetLive(false);
    Fill(Live.LiveConsumer());
}

void TSourceController::ClearChart() {
    const bool WasReviewing = Reviewing();
    EndReview();
    // Back from a review to a live run that was never cleared.
    if (!WasReviewing || !Live.Live())
        Live.LiveConsumer().ClearSeries();
}

void TSourceController::ReviewProgress(bool Running, double Done) {
    Widgets.Progress.setVisible(Running);
    Widgets.Grid.setVisible(!Running);
    Widgets.Progress.setRange(0, 1000);
    Widgets.Progress.setValue(static_cast<int>(Done * 1000));
    // The pass holds the main thread; the bar at least is shown moving.
    if (Running)
        Widgets.Progress.repaint();
}

void TSourceController::ReportReviewFailures(const std::vector<std::string>& Failures) {
    // A capture of many broken records says so in a few lines, not thousands.
    constexpr std::size_t Shown = 10;
    for (std::size_t I = 0; I < std::min(Failures.size(), Shown); ++I)
        Log.LogError(Failures[I], nullptr, I == 0);
    if (Failures.size() > Shown)
        Log.LogError("... and " + std::to_string(Failures.size() - Shown) + " more records that failed", nullptr,
                     false);
}

void TSourceController::FillPortMenu(const std::function<void(QAction&)>& Wire) {
    TBusyCursor Busy;
    const TPortTable Table = TPortTable::Load(SettingsFile);
    ::FillPortMenu(Widgets.PortMenu, &Widgets.Com0, ListPorts(Table, Live.LinkState().Path()), Wire);
}
