// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RxedBufferUnit.h"

#include <gtest/gtest.h>
#include <string>

namespace {

void Append(TRxedBuffer& Buffer, std::string_view Text) { Buffer.Append(Text.data(), Text.size()); }

TEST(RxedBuffer, FindsRecordStartAfterMoreBytesArriveWithoutLosingNoise) {
    TRxedBuffer Buffer;
    Append(Buffer, "noise without a start");
    EXPECT_EQ(Buffer.FindRecordStart(), TRxedBuffer::npos);
    EXPECT_EQ(Buffer.FindRecordStart(), TRxedBuffer::npos);
    Append(Buffer, "..$1;2");
    EXPECT_EQ(Buffer.FindRecordStart(), 23u);
    EXPECT_EQ(Buffer.View(), "noise without a start..$1;2");
}

TEST(RxedBuffer, LineEndSplitBetweenCrAndLfIsFoundOnceTheLfArrives) {
    TRxedBuffer Buffer;
    Append(Buffer, "$1;2\r");
    EXPECT_EQ(Buffer.FindLineEnd(), TRxedBuffer::npos);
    Append(Buffer, "\n");
    EXPECT_EQ(Buffer.FindLineEnd(), 4u);
}

TEST(RxedBuffer, LoneCrOrLfIsNotALineEnd) {
    TRxedBuffer Buffer;
    Append(Buffer, "$a\rb\nc\n\r");
    EXPECT_EQ(Buffer.FindLineEnd(), TRxedBuffer::npos);
    Append(Buffer, "\r\n");
    EXPECT_EQ(Buffer.FindLineEnd(), 8u);
}

TEST(RxedBuffer, DeletingTheFrontKeepsLaterSearchesRight) {
    TRxedBuffer Buffer(std::string("xx$one\r\n$two\r\n"));
    EXPECT_EQ(Buffer.FindRecordStart(), 2u);
    Buffer.DeleteFront(2);
    EXPECT_EQ(Buffer.FindLineEnd(), 4u);
    Buffer.DeleteFront(6);
    EXPECT_EQ(Buffer.View(), "$two\r\n");
    EXPECT_EQ(Buffer.FindRecordStart(), 0u);
    EXPECT_EQ(Buffer.FindLineEnd(), 4u);
    Buffer.DeleteFront(100);
    EXPECT_TRUE(Buffer.Empty());
}

TEST(RxedBuffer, ContentSurvivesCompactionOnAppend) {
    TRxedBuffer Buffer;
    std::string Expected;
    for (int I = 0; I < 2000; ++I) {
        const std::string Piece = "$" + std::to_string(I) + "\r\n";
        Append(Buffer, Piece);
        Expected += Piece;
        if (I % 3 == 0) {
            const std::size_t Cut = Buffer.Length() / 2;
            Buffer.DeleteFront(Cut);
            Expected.erase(0, Cut);
        }
        ASSERT_EQ(Buffer.View(), Expected) << I;
    }
}

TEST(RxedBuffer, ClearEmptiesAndForgetsSearches) {
    TRxedBuffer Buffer(std::string("abc"));
    EXPECT_EQ(Buffer.FindRecordStart(), TRxedBuffer::npos);
    Buffer.Clear();
    Append(Buffer, "$");
    EXPECT_EQ(Buffer.FindRecordStart(), 0u);
}

} // namespace
