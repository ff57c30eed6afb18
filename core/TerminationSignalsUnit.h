// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logging out, Ctrl+C in a terminal,
// closing the terminal) into a call on the main thread, so the program can
// close its window the normal way and write its exit files. Only one may
// exist at a time; the previous signal handling comes back when it goes.
class TTerminationSignals : public QObject {
  public:
    explicit TTerminationSignals(std::function<void()> OnSignal);
    ~TTerminationSignals() override;

  private:
    std::function<void()> OnSignal;
    std::unique_ptr<QSocketNotifier> Notifier;
};
