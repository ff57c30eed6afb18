// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackMonApplicationUnit.h"

#include <gtest/gtest.h>

// Widget tests run offscreen with the program's own application object, so
// its last-resort exception handling is part of what they test.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TPackMonApplication App(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
