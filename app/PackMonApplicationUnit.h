// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The application object. A failure must never unwind through Qt's event
// loop: every handler of the main window catches its own, and whatever
// still escapes an event handler is caught here and handed to the
// exception hook instead of ending the program.
class TPackMonApplication : public QApplication {
  public:
    using TExceptionHook = std::function<void(const std::exception&)>;

    TPackMonApplication(int& Argc, char** Argv);

    void SetExceptionHook(TExceptionHook Hook) { ExceptionHook = std::move(Hook); }
    bool notify(QObject* Receiver, QEvent* Event) override;

    static TPackMonApplication* Instance();

  private:
    void Report(const std::exception& Failure) const;
    TExceptionHook ExceptionHook;
};
