// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComponentNamesUnit.h"
#include "MainFormUnit.h"
#include "PackMonApplicationUnit.h"
#include "TerminationSignalsUnit.h"

#include <QApplication>
#include <QWidget>

int main(int Argc, char** Argv) {
    TPackMonApplication Application(Argc, Argv);
    TPackMonMainForm PackMonMainForm(LocateFilesForThisProgram());
    PackMonMainForm.setObjectName(QString::fromLatin1(MainFormComponentName));
    // Logging out or stopping PackMon from a terminal closes the window the
    // normal way, so the exit files are still written.
    TTerminationSignals Signals([&PackMonMainForm] {
        // A dialog left open would keep its own event loop, and the program,
        // running past the window's close.
        for (QWidget* Window : QApplication::topLevelWidgets())
            if (Window->isModal() && Window->isVisible())
                Window->close();
        PackMonMainForm.close();
        QCoreApplication::quit();
    });
    PackMonMainForm.show();
    const QStringList Arguments = QCoreApplication::arguments();
    if (const auto At = Arguments.indexOf(QStringLiteral("--port")); At > 0 && At + 1 < Arguments.size())
        PackMonMainForm.ConnectAtStart(Arguments[At + 1]);
    return Application.exec();
}
