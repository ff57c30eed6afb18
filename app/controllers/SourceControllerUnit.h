// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ObserverGateUnit.h"
#include "ReadingConsumerUnit.h"
#include "SeriesStoreUnit.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QProgressBar;
class TErrorsLog;
class TLiveSession;
class TMemoPane;
class TPackMonChart;
class TReadingView;
class TReviewTools;
class TValueGrid;

// Where the chart's readings come from: a live monitor, a paced replay of
// a capture, or a capture under review. A review runs through a consumer
// and store of its own and is shown instead of the live run, which goes on
// underneath: its readings still reach the balance figures, the alarms, the
// journal and the broker, and the chart shows them all again when the
// review ends.
class TSourceController : public QObject {
  public:
    struct TWidgets {
        TPackMonChart& Chart;
        TValueGrid& Grid;
        QProgressBar& Progress;
        TMemoPane& CommsPane;
        QMenu& PortMenu;
        QAction& Com0;
    };
    TSourceController(TLiveSession& ASession, TReadingView& AView, TReviewTools& ATools, TErrorsLog& ALog,
                      TWidgets AWidgets, QString AIniFileName);
    ~TSourceController() override;

    // A capture opened successfully, for the recent-file list.
    std::function<void(const QString& FileName)> Opened;

    // Logs from COM n; COM 0 only ends what runs. Raises the port's failure.
    void ConnectPort(std::uint8_t PortNumber);
    // "PackMon --port COM3" or a device path; raises what stops it.
    void ConnectNamed(const QString& PortName);
    // Ends what runs and replays the capture.
    void ReplayCapture(const QString& FileName);
    // The capture in one pass, unpaced, shown instead of the live run.
    void ReviewCapture(const QString& FileName);
    // Graphs > Clear: back to the live run from a review, else an empty chart.
    void ClearChart();
    // The chart shows the live run again.
    void EndReview();
    // The same, and the live run's chart emptied.
    void ClearLiveRun();
    // Shows a journal session's readings, ending what runs.
    void ShowKept(const std::function<void(TReadingConsumer& Consumer)>& Fill);
    // Ends what runs: the live link or the replay.
    void EndSource();
    bool Reviewing() const { return Review != nullptr; }
    // The readings the chart and the grid show now.
    const TReadingConsumer& ShownReadings() const;

    // The COMPort submenu made anew from what the system tells; Wire
    // connects an item's choice.
    void FillPortMenu(const std::function<void(QAction&)>& Wire);

  private:
    struct TReviewRun {
        TSeriesStore Store;
        TReadingConsumer Consumer{Store};
    };
    void ShowRun(TReviewRun* Run);
    void ReviewProgress(bool Running, double Done);
    void ReportReviewFailures(const std::vector<std::string>& Failures);

    TLiveSession& Live;
    TReadingView& Shows;
    TReviewTools& Tools;
    TErrorsLog& Log;
    TWidgets Widgets;
    QString SettingsFile;
    TObserverGate LiveView;
    std::unique_ptr<TReviewRun> Review;
};
