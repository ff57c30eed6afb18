// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackMonCommsThreadUnit.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class TRecordingSink : public TPackMonRecordSink {
  public:
    std::vector<std::string> Lines;
    std::vector<TReadingRecord> Readings;
    int FailEchoesLeft = 0;

    void PostCommsLine(std::string_view Line) override {
        if (FailEchoesLeft > 0) {
            --FailEchoesLeft;
            throw EPackMonException("pane failed");
        }
        Lines.emplace_back(Line);
    }
    void PostReading(const TReadingRecord& Reading) override { Readings.push_back(Reading); }
};

class RecordParser : public testing::Test {
  protected:
    TPackMonDecodeState State;
    TRecordingSink Sink;
    TFakeClock Clock;
    TPackMonParserContext Context{State, Sink, Clock};
    TRxedBuffer Buffer;

    void Feed(std::string_view Text) { Buffer.Append(Text.data(), Text.size()); }
    void Pass(bool Echo = false) { ProcessRxedString(Buffer, Echo, Context); }
    std::string Rest() const { return std::string(Buffer.View()); }
    std::string PassFailure(bool Echo = false) {
        try {
            Pass(Echo);
        } catch (const EPackMonException& Failure) {
            return Failure.Message();
        }
        return "(no failure)";
    }
    const TReadingRecord& Only() {
        EXPECT_EQ(Sink.Readings.size(), 1u);
        return Sink.Readings.at(0);
    }
};

constexpr double Day = SecondsPerDay;

// --- Framing ---------------------------------------------------------------

TEST_F(RecordParser, RecordSplitAcrossReadsStaysFromItsStartUntilItsLineEndArrives) {
    Feed("junk$1;0;0;3700;3701;3702");
    Pass();
    EXPECT_TRUE(Sink.Readings.empty());
    EXPECT_EQ(Rest(), "$1;0;0;3700;3701;3702");
    Feed(";3703;3704;3705;3706;3707;29600\r");
    Pass();
    EXPECT_TRUE(Sink.Readings.empty());
    Feed("\n");
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 1u);
    EXPECT_DOUBLE_EQ(Sink.Readings[0].CellVolts[7], 3.707);
    EXPECT_EQ(Rest(), "");
}

TEST_F(RecordParser, TextBeforeARecordIsDroppedOnlyWhenARecordStartFollows) {
    Feed("\r\n\n\rgarbage");
    Pass();
    EXPECT_EQ(Rest(), "\r\n\n\rgarbage");
    Feed("more\r\n$TIMEVALUE;1000\r\n");
    Pass();
    EXPECT_EQ(Rest(), "");
    EXPECT_EQ(Only().Kind, rkTimeValue);
}

TEST_F(RecordParser, RecordLineIsEchoedWithItsDollarOnlyWhenLive) {
    Feed("$TIMEVALUE;1000\r\n$ENDBULK;0;x\r\n");
    Pass(false);
    EXPECT_TRUE(Sink.Lines.empty());
    EXPECT_EQ(Sink.Readings.size(), 2u);

    Feed("noise$TIMEVALUE;500;\r\n$\r\n");
    Pass(true);
    EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"$TIMEVALUE;500;", "$"}));
    EXPECT_EQ(Sink.Readings.size(), 4u);
}

TEST_F(RecordParser, PassFramesAtMostOneHundredRecords) {
    Feed(NumberedRecords(1, 150));
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 100u);
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 150u);
    for (int I = 0; I < 150; ++I)
        ASSERT_EQ(RecordIndex(Sink.Readings[I]), I + 1);
    Pass();
    EXPECT_EQ(Sink.Readings.size(), 150u);
}

TEST_F(RecordParser, IncompleteRecordCountsAgainstNothingAndEndsThePass) {
    Feed(NumberedRecords(1, 3) + "$1;0;0;37");
    Pass();
    EXPECT_EQ(Sink.Readings.size(), 3u);
    EXPECT_EQ(Rest(), "$1;0;0;37");
}

// --- Fields ----------------------------------------------------------------

TEST(NextField, SplitsAtSemicolonsWithoutTrimming) {
    const std::string_view Line = "ab;; c ;";
    std::size_t Pos = 1;
    std::string_view Field;
    const std::vector<std::pair<std::string, std::size_t>> Expected = {
        {"ab", 4}, {"", 5}, {" c ", 9}, {"", 10}, {"", 11}};
    for (const auto& [Text, NextPos] : Expected) {
        NextField(Line, Pos, Field);
        EXPECT_EQ(Field, Text);
        EXPECT_EQ(Pos, NextPos);
    }
}

TEST(NextField, LastFieldWithoutSemicolonEndsAtTheLine) {
    std::size_t Pos = 3;
    std::string_view Field;
    NextField("1;2345", Pos, Field);
    EXPECT_EQ(Field, "2345");
    EXPECT_EQ(Pos, 8u);
}

// --- Record types ----------------------------------------------------------

TEST_F(RecordParser, DataRecordDecodesMillivoltsToVolts) {
    Feed(DataRecord({3712, 3700, -5, 0, 4200, 1, 3999, 3650}, 29412, "any text", ""));
    Pass();
    const TReadingRecord& R = Only();
    EXPECT_EQ(R.Kind, rkData);
    const double Expected[8] = {3.712, 3.7, -0.005, 0.0, 4.2, 0.001, 3.999, 3.65};
    for (int I = 0; I < 8; ++I)
        EXPECT_DOUBLE_EQ(R.CellVolts[I], Expected[I]) << I;
    EXPECT_DOUBLE_EQ(R.BatteryVolts, 29.412);
}

TEST_F(RecordParser, DataRecordIgnoresFieldsAfterTheTwelfth) {
    Feed("$1;a;b;1;2;3;4;5;6;7;8;9;not a number;;\r\n");
    Pass();
    EXPECT_DOUBLE_EQ(Only().BatteryVolts, 0.009);
}

TEST_F(RecordParser, UnrecognisedTypesAreDeliveredAsNone) {
    Feed("$\r\n$timevalue;1000\r\n$2;1;2\r\n$;1\r\n");
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 4u);
    for (const TReadingRecord& R : Sink.Readings) {
        EXPECT_EQ(R.Kind, rkNone);
        EXPECT_EQ(R.Time, 0.0);
        EXPECT_EQ(R.BatteryVolts, 0.0);
    }
    EXPECT_EQ(State.SampleInterval, 0.0) << "a lower-case TIMEVALUE is not one";
}

TEST_F(RecordParser, StartBulkCarriesItsCountAsTime) {
    Feed("$STARTBULK;250;1000\r\n");
    Pass();
    EXPECT_EQ(Only().Kind, rkBulkStart);
    EXPECT_EQ(Only().Time, 250.0);
    EXPECT_EQ(State.SampleInterval, 1.0);
}

TEST_F(RecordParser, EndBulkConvertsItsCountButKeepsNothing) {
    Feed("$TIMEVALUE;2000\r\n" + NumberedRecord(1) + "$ENDBULK;17;whatever\r\n");
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 3u);
    const TReadingRecord& End = Sink.Readings[2];
    EXPECT_EQ(End.Kind, rkBulkEnd);
    EXPECT_EQ(End.Time, 0.0);
    EXPECT_EQ(State.SampleCount, 1u);
    EXPECT_EQ(State.SampleInterval, 2.0);
}

// --- Time stamps -----------------------------------------------------------

TEST_F(RecordParser, IntervalModeStampsByCountWhateverTheArrivalTimes) {
    Feed("$TIMEVALUE;2000\r\n" + NumberedRecords(1, 3));
    Pass();
    Clock.AdvanceSeconds(3600);
    Feed(NumberedRecord(4));
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 5u);
    for (int I = 0; I < 4; ++I)
        EXPECT_DOUBLE_EQ(Sink.Readings[I + 1].Time, 2.0 * I / Day) << I;
}

TEST_F(RecordParser, WallClockModeStampsElapsedTimeSinceTheFirstRecord) {
    Feed("$TIMEVALUE;0\r\n" + NumberedRecord(1));
    Pass();
    const double FirstLocal = Clock.Local;
    Clock.AdvanceSeconds(1.5);
    Feed(NumberedRecord(2));
    Pass();
    Clock.AdvanceSeconds(60);
    Feed(NumberedRecord(3));
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 4u);
    EXPECT_DOUBLE_EQ(Sink.Readings[1].Time, 0.0);
    EXPECT_NEAR(Sink.Readings[2].Time * Day, 1.5, 1e-6);
    EXPECT_NEAR(Sink.Readings[3].Time * Day, 61.5, 1e-6);
    EXPECT_EQ(State.StartTime, FirstLocal);
}

TEST_F(RecordParser, WallClockModeIgnoresJumpsOfTheLocalClock) {
    Feed(NumberedRecord(1));
    Pass();
    Clock.Local -= 1.0 / 24.0; // daylight saving ends: local time goes back an hour
    Clock.Monotonic += 10.0 / Day;
    Feed(NumberedRecord(2));
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 2u);
    EXPECT_NEAR(Sink.Readings[1].Time * Day, 10.0, 1e-6);
}

TEST_F(RecordParser, BulkTransferDeliversInOrderAndLaterDataContinuesTheCount) {
    Feed("$STARTBULK;3;10000\r\n" + NumberedRecords(1, 3) + "$ENDBULK;3;\r\n");
    Pass();
    ASSERT_EQ(Sink.Readings.size(), 5u);
    EXPECT_EQ(Sink.Readings[0].Kind, rkBulkStart);
    EXPECT_EQ(Sink.Readings[0].Time, 3.0);
    for (int I = 0; I < 3; ++I) {
        EXPECT_EQ(Sink.Readings[I + 1].Kind, rkData);
        EXPECT_DOUBLE_EQ(Sink.Readings[I + 1].Time, 10.0 * I / Day);
    }
    const TReadingRecord& End = Sink.Readings[4];
    EXPECT_EQ(End.Kind, rkBulkEnd);
    EXPECT_EQ(End.BatteryVolts, 0.0);
    EXPECT_EQ(End.CellVolts[0], 0.0);
    EXPECT_EQ(State.SampleInterval, 10.0);
    EXPECT_EQ(State.SampleCount, 3u);

    Feed(NumberedRecord(4));
    Pass();
    EXPECT_DOUBLE_EQ(Sink.Readings.back().Time, 30.0 / Day);
}

// --- Conversion failures and what they leave behind --------------------------

TEST_F(RecordParser, FailedDataRecordIsDroppedAndLeavesStateAndLaterRecords) {
    Feed("$TIMEVALUE;1000\r\n" + NumberedRecord(1) + "$1;0;0;3700;37x0;1;1;1;1;1;1;1\r\n" + NumberedRecord(2));
    EXPECT_EQ(PassFailure(true), "'37x0' is not a valid integer value");
    EXPECT_EQ(Sink.Readings.size(), 2u);
    EXPECT_EQ(Sink.Lines.size(), 3u) << "the failing record was echoed before it was decoded";
    EXPECT_EQ(State.SampleCount, 1u);
    EXPECT_EQ(Rest(), NumberedRecord(2));

    Pass(true);
    ASSERT_EQ(Sink.Readings.size(), 3u);
    EXPECT_EQ(RecordIndex(Sink.Readings[2]), 2);
    EXPECT_DOUBLE_EQ(Sink.Readings[2].Time, 1.0 / Day);
}

TEST_F(RecordParser, ShortDataRecordFailsAtItsFirstMissingField) {
    Feed("$1;0;0;1;2;3;4;5;6;7;8\r\n");
    EXPECT_EQ(PassFailure(), "'' is not a valid integer value");
    EXPECT_TRUE(Sink.Readings.empty());
}

TEST_F(RecordParser, FailedTimeValueOrStartBulkHasAlreadyResetTheState) {
    Feed("$TIMEVALUE;1000\r\n" + NumberedRecords(1, 2) + "$TIMEVALUE;1e999\r\n");
    EXPECT_EQ(PassFailure(), "'1e999' is not a valid floating point value");
    EXPECT_EQ(State.SampleInterval, 0.0);
    EXPECT_EQ(State.SampleCount, 0u);

    Feed("$TIMEVALUE;500\r\n" + NumberedRecord(3) + "$STARTBULK;5;nan\r\n");
    EXPECT_EQ(PassFailure(), "'nan' is not a valid floating point value");
    EXPECT_EQ(State.SampleInterval, 0.0);
    EXPECT_EQ(State.SampleCount, 0u);
    EXPECT_EQ(Sink.Readings.back().Kind, rkData);
}

TEST_F(RecordParser, FailedEndBulkIsNotDelivered) {
    Feed("$ENDBULK;done;\r\n");
    EXPECT_EQ(PassFailure(), "'done' is not a valid integer value");
    EXPECT_TRUE(Sink.Readings.empty());
    EXPECT_EQ(Rest(), "");
}

TEST_F(RecordParser, HostileFieldsFailWithTheirWholeText) {
    const std::string Huge(1 << 20, '9');
    const std::string WithNul("37\0"
                              "00",
                              5);
    const struct {
        std::string Record;
        std::string Message;
    } Cases[] = {
        {"$1;0;0;4294967296;1;1;1;1;1;1;1;1\r\n", "'4294967296' is not a valid integer value"},
        {"$1;0;0;0x0E80;1;1;1;1;1;1;1;1\r\n", "'0x0E80' is not a valid integer value"},
        {"$1;0;0;" + WithNul + ";1;1;1;1;1;1;1;1\r\n", "'" + WithNul + "' is not a valid integer value"},
        {"$1;0;0;" + Huge + ";1;1;1;1;1;1;1;1\r\n", "'" + Huge + "' is not a valid integer value"},
        {"$STARTBULK;10;inf\r\n", "'inf' is not a valid floating point value"},
        {"$STARTBULK;1e3;1000\r\n", "'1e3' is not a valid integer value"},
    };
    for (const auto& Case : Cases) {
        Feed(Case.Record);
        EXPECT_EQ(PassFailure(), Case.Message) << Case.Record.substr(0, 40);
        EXPECT_TRUE(Buffer.Empty());
    }
    EXPECT_TRUE(Sink.Readings.empty());
}

TEST_F(RecordParser, FailedEchoLeavesTheRecordToBeFramedAgain) {
    Feed("noise" + NumberedRecord(1) + NumberedRecord(2));
    Sink.FailEchoesLeft = 1;
    EXPECT_EQ(PassFailure(true), "pane failed");
    EXPECT_TRUE(Sink.Readings.empty());
    EXPECT_EQ(Rest(), NumberedRecord(1) + NumberedRecord(2));
    Pass(true);
    ASSERT_EQ(Sink.Readings.size(), 2u);
    EXPECT_EQ(RecordIndex(Sink.Readings[0]), 1);
    EXPECT_EQ(State.SampleCount, 2u);
}

// --- Buffer limit ----------------------------------------------------------

TEST_F(RecordParser, BufferOverTheLimitIsEmptiedAndFails) {
    std::string Text(MaxRxedStringLength, 'x');
    Text.replace(0, NumberedRecord(1).size(), NumberedRecord(1));
    Feed(Text);
    Pass();
    EXPECT_EQ(Sink.Readings.size(), 1u) << "exactly at the limit is still allowed";

    Buffer.Clear();
    Feed(Text);
    Feed("$");
    EXPECT_EQ(PassFailure(), "RxedString too long");
    EXPECT_TRUE(Buffer.Empty());
    EXPECT_EQ(Sink.Readings.size(), 1u);
}

} // namespace
