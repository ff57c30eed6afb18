// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <gtest/gtest.h>

// The comms thread hands its work to the main thread through Qt's event
// queue, so the tests run with an application object on the main thread.
int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
