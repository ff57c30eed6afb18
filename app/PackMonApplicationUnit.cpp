// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackMonApplicationUnit.h"

#include "PackMonConstantsAndTypesUnit.h"

TPackMonApplication::TPackMonApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
    setApplicationName(QStringLiteral("PackMon"));
}

TPackMonApplication* TPackMonApplication::Instance() {
    return dynamic_cast<TPackMonApplication*>(QCoreApplication::instance());
}

bool TPackMonApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& Failure) {
        Report(Failure);
    } catch (...) {
        Report(EPackMonException("Unknown exception"));
    }
    return false;
}

void TPackMonApplication::Report(const std::exception& Failure) const {
    try {
        if (ExceptionHook) {
            ExceptionHook(Failure);
            return;
        }
    } catch (...) {
        // The hook itself failed; fall through to the last resort below.
    }
    qWarning("PackMon: %s", Failure.what());
}
