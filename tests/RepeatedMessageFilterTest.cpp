// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RepeatedMessageFilterUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(RepeatedMessageFilter, TenAMinuteThenOneSummaryAMinuteUntilTheFloodStops) {
    TRepeatedMessageFilter Filter;
    const std::string Bad = "'x' is not a valid integer value";
    int Shown = 0;
    for (int I = 0; I < 50; ++I)
        Shown += Filter.Admit(Bad, I) ? 1 : 0;
    EXPECT_EQ(Shown, 10);
    EXPECT_TRUE(Filter.Admit("another message", 30)) << "each message counts on its own";
    EXPECT_TRUE(Filter.DueSummaries(59.9).empty());
    EXPECT_EQ(Filter.DueSummaries(60),
              std::vector<std::string>{Bad + " (40 more like this in the last minute, not shown)"});

    for (int I = 0; I < 30; ++I)
        EXPECT_FALSE(Filter.Admit(Bad, 61 + I)) << "a flood that goes on shows only its summaries";
    EXPECT_EQ(Filter.DueSummaries(120),
              std::vector<std::string>{Bad + " (30 more like this in the last minute, not shown)"});

    EXPECT_TRUE(Filter.DueSummaries(180).empty()) << "a quiet minute says nothing";
    EXPECT_TRUE(Filter.Admit(Bad, 200)) << "and the message, when it returns, is shown again";
}

} // namespace
