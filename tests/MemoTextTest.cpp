// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoTextUnit.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> LinesOf(const TMemoText& Memo) {
    std::vector<std::string> Lines;
    for (std::size_t I = 0; I < Memo.LineCount(); ++I)
        Lines.emplace_back(Memo.Line(I));
    return Lines;
}

using Lines = std::vector<std::string>;

TEST(MemoText, AddedLinesEachEndWithCrLf) {
    TMemoText Memo;
    Memo.AddLine("$1;a");
    Memo.AddLine("");
    Memo.AddLine("$2;b");
    EXPECT_EQ(Memo.Text(), "$1;a\r\n\r\n$2;b\r\n");
    EXPECT_EQ(LinesOf(Memo), (Lines{"$1;a", "", "$2;b"}));
}

TEST(MemoText, TextSetWholeKeepsItsFinalLineEndOrItsLack) {
    TMemoText Memo;
    Memo.SetText("$a\r\n$b");
    EXPECT_EQ(LinesOf(Memo), (Lines{"$a", "$b"}));
    Memo.AddLine("$c");
    EXPECT_EQ(Memo.Text(), "$a\r\n$b\r\n$c\r\n");

    Memo.SetText("$a\r\n\r\n");
    EXPECT_EQ(LinesOf(Memo), (Lines{"$a", ""}));
    Memo.SetText("\r\n");
    EXPECT_EQ(LinesOf(Memo), (Lines{""}));
    Memo.SetText("");
    EXPECT_EQ(Memo.LineCount(), 0u);
}

TEST(MemoText, LoneCrOrLfStaysInsideItsLine) {
    TMemoText Memo;
    Memo.SetText("a\rb\nc\r\nd\r");
    EXPECT_EQ(LinesOf(Memo), (Lines{"a\rb\nc", "d\r"}));
}

TEST(MemoText, MegabytesOfLinesReadBackWholeAcrossItsPieces) {
    TMemoText Memo;
    Memo.SetText("$set;0\r\n$set;1");
    std::string Expected = "$set;0\r\n$set;1\r\n";
    for (int I = 0; I < 100000; ++I) {
        const std::string Line = "$1;" + std::to_string(I) + std::string(static_cast<std::size_t>(I % 40), 'x');
        Memo.AddLine(Line);
        Expected += Line + "\r\n";
    }
    ASSERT_EQ(Memo.LineCount(), 100002u);
    EXPECT_EQ(Memo.Size(), Expected.size());
    EXPECT_TRUE(Memo.Text() == Expected);
    EXPECT_EQ(Memo.Line(1), "$set;1");
    std::size_t Wrong = 0, At = Expected.find("\r\n") + 2;
    for (std::size_t I = 1; I < Memo.LineCount(); ++I) {
        const std::size_t End = Expected.find("\r\n", At);
        Wrong += Memo.Line(I) != std::string_view(Expected).substr(At, End - At);
        At = End + 2;
    }
    EXPECT_EQ(Wrong, 0u);
    EXPECT_EQ(Memo.LongestLine(), 3u + 5u + 39u);
}

TEST(MemoText, ClearEmptiesEverything) {
    TMemoText Memo;
    Memo.AddLine("x");
    Memo.Clear();
    EXPECT_EQ(Memo.Text(), "");
    EXPECT_EQ(Memo.LineCount(), 0u);
}

} // namespace
