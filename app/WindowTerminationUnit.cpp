// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTerminationUnit.h"

#include <QApplication>
#include <QWidget>

void CloseForTermination(QWidget& Window) {
    for (QWidget* Open : QApplication::topLevelWidgets())
        if (Open->isModal() && Open->isVisible())
            Open->close();
    Window.close();
    QCoreApplication::quit();
}
