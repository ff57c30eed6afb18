// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComponentNamesUnit.h"
#include "MainFormUnit.h"
#include "PackMonApplicationUnit.h"
#include "TerminationSignalsUnit.h"
#include "WindowTerminationUnit.h"

int main(int Argc, char** Argv) {
    TPackMonApplication Application(Argc, Argv);
    TPackMonMainForm PackMonMainForm(LocateFilesForThisProgram());
    PackMonMainForm.setObjectName(QString::fromLatin1(MainFormComponentName));
    // Logging out or stopping PackMon from a terminal closes the window the
    // normal way, so the exit files are still written.
    TTerminationSignals Signals([&PackMonMainForm] { CloseForTermination(PackMonMainForm); });
    PackMonMainForm.show();
    const QStringList Arguments = QCoreApplication::arguments();
    if (const auto At = Arguments.indexOf(QStringLiteral("--page")); At > 0 && At + 1 < Arguments.size())
        PackMonMainForm.ShowPage(Arguments[At + 1]);
    if (const auto At = Arguments.indexOf(QStringLiteral("--port")); At > 0 && At + 1 < Arguments.size())
        PackMonMainForm.ConnectAtStart(Arguments[At + 1]);
    return Application.exec();
}
