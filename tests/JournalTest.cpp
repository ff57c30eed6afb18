// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "JournalSchemaUnit.h"
#include "JournalWriterUnit.h"
#include "PackMonClockUnit.h"
#include "ReadingConsumerUnit.h"
#include "SessionRecorderUnit.h"
#include "SessionReportUnit.h"
#include "SessionsUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The lines a writer reports, collected from its thread.
struct TReports {
    std::mutex Lock;
    std::vector<std::string> Lines;
    TJournalWriter::TReport Sink() {
        return [this](const std::string& Line) {
            std::lock_guard Guard(Lock);
            Lines.push_back(Line);
        };
    }
    std::vector<std::string> Taken() {
        std::lock_guard Guard(Lock);
        return Lines;
    }
    bool WaitFor(std::size_t Count, const std::string& Part) {
        const auto Deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < Deadline) {
            const auto Now = Taken();
            if (Now.size() >= Count && Now[Count - 1].find(Part) != std::string::npos)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
};

// The readings a "resumed" or "fell behind" line says were not kept.
std::int64_t LostIn(const std::string& Line) {
    const auto At = Line.find("; ");
    return Line.find("no readings were lost") != std::string::npos ? 0 : std::stoll(Line.substr(At + 2));
}

TJournalReading Reading(std::int64_t Utc, std::int64_t Elapsed, std::int32_t FirstCell) {
    TJournalReading Item{Utc, Elapsed, {26400, FirstCell, 3300, 3300, 3300, 3300, 3300, 3300, 3300}};
    return Item;
}

class Journal : public testing::Test {
  protected:
    QTemporaryDir Dir;
    std::string File = Dir.filePath("PackMonSessions.sqlite").toStdString();
    TReports Reports;

    TJournalOptions Options() const {
        TJournalOptions Result;
        Result.FileName = File;
        Result.AppVersion = "0.1.0";
        Result.RetryInterval = 50ms;
        Result.CommitInterval = 10ms;
        Result.BusyTimeoutMs = 50;
        return Result;
    }
    std::int64_t Count(const char* Sql) const {
        TSqliteDatabase Db(File, false, 1000);
        return Db.QueryInteger(Sql);
    }
};

TEST_F(Journal, KeepsASessionWithItsReadingsEventsAndSummaryAndExportsIt) {
    {
        TJournalWriter Writer(Options(), Reports.Sink());
        TProgramSeriesStore Store;
        TReadingConsumer Consumer(Store);
        TSessionRecorder Recorder({&Writer});
        Consumer.AddObserver(Recorder);
        Recorder.BeginLive("COM3", "/dev/ttyUSB0");
        TReadingRecord Record;
        Record.Kind = rkTimeValue;
        Record.Interval = 1.0;
        Consumer.Consume(Record);
        Record = {};
        Record.Kind = rkData;
        for (int I = 0; I < 3; ++I) {
            Record.Time = I / SecondsPerDay;
            Record.BatteryVolts = 26.4;
            for (double& Cell : Record.CellVolts)
                Cell = 3.3;
            Record.CellVolts[2] = 3.1 + 0.1 * I; // lowest 3.1 V, highest 3.3 V
            Consumer.Consume(Record);
        }
        Recorder.Error("Overrun");
        Recorder.End("closed");
        Writer.Flush();
        EXPECT_EQ(Writer.RecordingSession(), 0);
    }
    TSqliteDatabase Db(File, false, 1000);
    EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM readings WHERE session = 1 AND seq = 2 AND elapsed_ms = 2000"
                              " AND cell3_mv = 3300 AND battery_mv = 26400"),
              1);
    EXPECT_EQ(Db.QueryInteger("SELECT interval_ms FROM sessions"), 1000);
    EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM sessions WHERE end_reason = 'closed' AND source = 'COM3'"
                              " AND device = '/dev/ttyUSB0' AND ended_utc LIKE '____-__-__T__:__:__.___Z'"),
              1);
    TSqliteStatement Kinds(Db, "SELECT group_concat(kind, ' ') FROM events");
    ASSERT_TRUE(Kinds.Step());
    EXPECT_EQ(Kinds.Text(0), "connect time-value error close");
    Kinds.Reset();

    const std::vector<TSessionSummary> Sessions = ListSessions(Db);
    ASSERT_EQ(Sessions.size(), 1u);
    EXPECT_EQ(Sessions[0].Readings, 3);
    EXPECT_EQ(Sessions[0].LowestCellMv, 3100);
    EXPECT_EQ(Sessions[0].HighestCellMv, 3300);
    EXPECT_EQ(Sessions[0].EndReason, "closed");

    // Notes: one at the connection, before every reading, one after them all.
    Db.Execute("INSERT INTO events SELECT session, utc, 'note', 'cell 3, \"low\"' FROM events WHERE kind = 'connect'");
    Db.Execute("INSERT INTO events VALUES(1, '2100-01-01T00:00:00.000Z', 'note', 'later')");
    const QString Csv = Dir.filePath("session.csv");
    ExportSessionCsv(Db, 1, Csv);
    QFile Exported(Csv);
    ASSERT_TRUE(Exported.open(QIODevice::ReadOnly));
    const QList<QByteArray> Lines = Exported.readAll().split('\n');
    EXPECT_EQ(Lines[0], "utc_time,elapsed_s,battery_V,cell1_V,cell2_V,cell3_V,cell4_V,cell5_V,cell6_V,cell7_V,"
                        "cell8_V,note\r");
    EXPECT_TRUE(Lines[1].endsWith(",3.100,3.300,3.300,3.300,3.300,3.300,\"cell 3, \"\"low\"\"\"\r")) << Lines[1].data();
    EXPECT_TRUE(Lines[3].endsWith(",2.000,26.400,3.300,3.300,3.300,3.300,3.300,3.300,3.300,3.300,\r"))
        << Lines[3].data();
    EXPECT_EQ(Lines[4], "2100-01-01T00:00:00.000Z,,,,,,,,,,,later\r");
    EXPECT_EQ(Lines[1].indexOf('Z'), 23);

    DeleteSession(Db, 1);
    EXPECT_EQ(Db.QueryInteger("SELECT (SELECT count(*) FROM readings) + (SELECT count(*) FROM events)"
                              " + (SELECT count(*) FROM sessions)"),
              0);
}

TEST(SessionRunTimes, EachRestartOfTheElapsedTimeFollowsTheStretchBefore) {
    // A bulk transfer of two readings 10 s apart, then live readings from 0
    // again, received 3 s after the transfer's last.
    const std::vector<TSessionReading> Readings = {{1000, 0, {}}, {1000, 10000, {}}, {4000, 0, {}}, {5000, 1000, {}}};
    const std::vector<double> Times = SessionRunTimes(Readings);
    const std::vector<double> Seconds = {Times[0] * SecondsPerDay, Times[1] * SecondsPerDay, Times[2] * SecondsPerDay,
                                         Times[3] * SecondsPerDay};
    EXPECT_DOUBLE_EQ(Seconds[1], 10.0);
    EXPECT_DOUBLE_EQ(Seconds[2], 13.0);
    EXPECT_DOUBLE_EQ(Seconds[3], 14.0);

    // The clock is told by the last reading, taken as it was received: the
    // run started 14 s before 5 s past 1970.
    QTemporaryDir Dir;
    auto Db = OpenJournal(Dir.filePath("j.sqlite").toStdString(), 1000);
    Db->Execute("INSERT INTO events VALUES(7, '1970-01-01T00:00:06.000Z', 'note', 'n')");
    const TSessionView View = SessionViewOf(*Db, 7, Readings);
    ASSERT_TRUE(View.ClockStart.has_value());
    EXPECT_NEAR(*View.ClockStart, LocalDateTimeOfUtc(5000) - 14 / SecondsPerDay, 1e-9);
    ASSERT_EQ(View.Notes.size(), 1u);
    EXPECT_NEAR(View.Notes[0].RunTime * SecondsPerDay, 15.0, 1e-6);
}

TEST_F(Journal, ASessionLeftOpenByAProgramNoLongerRunningIsEndedAsInterrupted) {
    const pid_t Gone = fork();
    if (Gone == 0)
        _exit(0);
    ::waitpid(Gone, nullptr, 0);
    {
        auto Db = OpenJournal(File, 1000);
        for (pid_t Pid : {Gone, getppid()}) {
            TSqliteStatement(*Db, "INSERT INTO sessions(started_utc, source, app_version, readings, last_utc_ms, pid,"
                                  " started_utc_ms) VALUES('2026-12-09T10:00:00.000Z', 'COM3', '0.1.0', 7, ?, ?,"
                                  " 1796810400000)")
                .Bind(1, std::int64_t{1796810400000} + 3723000)
                .Bind(2, std::int64_t{Pid})
                .Run();
        }
    }
    {
        TJournalWriter Writer(Options(), Reports.Sink());
        Writer.Post(TJournalSessionStart{UtcNowMs(), "COM4", ""});
        Writer.Flush();
    }
    const auto Lines = Reports.Taken();
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_NE(Lines[0].find("was interrupted after 1:02:03; 7 readings are kept"), std::string::npos) << Lines[0];
    // The other still running keeps its session open.
    EXPECT_EQ(Count("SELECT count(*) FROM sessions WHERE end_reason = 'interrupted'"), 1);
    EXPECT_EQ(Count("SELECT count(*) FROM sessions WHERE ended_utc IS NULL"), 2);
}

TEST_F(Journal, AnUnwritableFolderIsSaidOnceAndWhatCameMeanwhileWrittenOnItsReturn) {
    const QString Blocker = Dir.filePath("blocker");
    File = (Blocker + "/PackMonSessions.sqlite").toStdString();
    QFile Plain(Blocker);
    ASSERT_TRUE(Plain.open(QIODevice::WriteOnly));
    Plain.close();
    TJournalWriter Writer(Options(), Reports.Sink());
    Writer.Post(TJournalSessionStart{UtcNowMs(), "COM3", ""});
    for (int I = 0; I < 5; ++I) {
        Writer.Post(Reading(UtcNowMs(), I * 1000, 3300));
        Writer.Flush();
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(Reports.WaitFor(1, "cannot be written"));
    ASSERT_TRUE(QFile::remove(Blocker));
    ASSERT_TRUE(QDir().mkdir(Blocker));
    ASSERT_TRUE(Reports.WaitFor(2, "resumed"));
    EXPECT_EQ(LostIn(Reports.Taken()[1]), 0);
    Writer.Post(Reading(UtcNowMs(), 5000, 3300));
    Writer.Flush();
    EXPECT_EQ(Reports.Taken().size(), 2u);
    EXPECT_EQ(Count("SELECT count(*) FROM readings"), 6);
}

TEST_F(Journal, ALockedJournalAndAFullQueueCountWhatWasNotKept) {
    TJournalOptions Slow = Options();
    Slow.QueueCapacity = 4;
    TJournalWriter Writer(Slow, Reports.Sink());
    Writer.Post(TJournalSessionStart{UtcNowMs(), "COM3", ""});
    Writer.Flush();
    {
        TSqliteDatabase Other(File, false, 1000);
        Other.Execute("BEGIN EXCLUSIVE");
        int Dropped = 0;
        for (int I = 0; I < 100; ++I)
            Dropped += Writer.Post(Reading(UtcNowMs(), I, 3300)) ? 0 : 1;
        EXPECT_GT(Dropped, 0);
        ASSERT_TRUE(Reports.WaitFor(1, "cannot be written"));
        Other.Execute("COMMIT");
    }
    ASSERT_TRUE(Reports.WaitFor(2, "resumed"));
    Writer.Post(Reading(UtcNowMs(), 100, 3300));
    Writer.Flush();
    const std::int64_t Kept = Count("SELECT count(*) FROM readings");
    EXPECT_GT(LostIn(Reports.Taken()[1]), 0);
    EXPECT_EQ(LostIn(Reports.Taken()[1]) + Kept, 101) << Reports.Taken()[1];
    EXPECT_EQ(Count("SELECT max(seq) FROM readings"), 100);
    EXPECT_EQ(Count("SELECT count(*) FROM events WHERE kind = 'journal'"), 1);
}

TEST_F(Journal, ADamagedFileIsMovedAsideWholeAndANewJournalStarted) {
    const std::string Garbage(8192, 'x');
    {
        QFile Damaged(QString::fromStdString(File));
        ASSERT_TRUE(Damaged.open(QIODevice::WriteOnly));
        Damaged.write(Garbage.data(), static_cast<qint64>(Garbage.size()));
    }
    {
        TJournalWriter Writer(Options(), Reports.Sink());
        Writer.Post(TJournalSessionStart{UtcNowMs(), "COM3", ""});
        Writer.Post(Reading(UtcNowMs(), 0, 3300));
        Writer.Flush();
    }
    ASSERT_EQ(Reports.Taken().size(), 1u);
    EXPECT_NE(Reports.Taken()[0].find("was damaged; it was moved aside to " + File + ".corrupt-"), std::string::npos);
    const QStringList Aside = QDir(Dir.path()).entryList({"PackMonSessions.sqlite.corrupt-*"});
    ASSERT_EQ(Aside.size(), 1);
    QFile Kept(Dir.filePath(Aside[0]));
    ASSERT_TRUE(Kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(Kept.readAll().toStdString(), Garbage);
    EXPECT_EQ(Count("SELECT count(*) FROM readings"), 1);
}

TEST_F(Journal, AFullDiskCostsTheReadingsOfTheFailedCommitsOnly) {
    TJournalWriter Writer(Options(), Reports.Sink());
    Writer.Post(TJournalSessionStart{UtcNowMs(), "COM3", ""});
    Writer.Flush();
    // Files may grow no further, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit Before{};
    getrlimit(RLIMIT_FSIZE, &Before);
    rlimit Full = Before;
    Full.rlim_cur = static_cast<rlim_t>(QFileInfo(QString::fromStdString(File + "-wal")).size());
    setrlimit(RLIMIT_FSIZE, &Full);
    int Posted = 0;
    while (Reports.Taken().empty() && Posted < 100000) {
        Writer.Post(Reading(UtcNowMs(), Posted++, 3300), true);
        if (Posted % 500 == 0)
            Writer.Flush();
    }
    Writer.Flush();
    setrlimit(RLIMIT_FSIZE, &Before);
    ASSERT_EQ(Reports.Taken().size(), 1u);
    EXPECT_NE(Reports.Taken()[0].find("cannot be written"), std::string::npos) << Reports.Taken()[0];
    ASSERT_TRUE(Reports.WaitFor(2, "resumed"));
    Writer.Post(Reading(UtcNowMs(), Posted++, 3300));
    Writer.Flush();
    const std::int64_t Kept = Count("SELECT count(*) FROM readings");
    EXPECT_EQ(LostIn(Reports.Taken()[1]) + Kept, Posted) << Reports.Taken()[1];
    TSqliteDatabase Db(File, false, 1000);
    TSqliteStatement Check(Db, "PRAGMA integrity_check");
    ASSERT_TRUE(Check.Step());
    EXPECT_EQ(Check.Text(0), "ok");
}

TEST_F(Journal, RetentionRemovesOldSessionsThenTheOldestBeyondTheSizeButNeverTheOneRecording) {
    auto Db = OpenJournal(File, 1000);
    const std::int64_t Now = UtcNowMs();
    for (std::int64_t Age : {40, 20, 2, 0}) {
        const std::int64_t Start = Now - Age * 86400000;
        TSqliteStatement(*Db, "INSERT INTO sessions(started_utc, ended_utc, source, app_version, last_utc_ms,"
                              " started_utc_ms) VALUES(?1, ?1, 'COM3', '0.1.0', ?2, ?2)")
            .Bind(1, IsoUtc(Start))
            .Bind(2, Start)
            .Run();
        const std::int64_t Id = Db->LastInsertId();
        TSqliteTransaction Transaction(*Db);
        for (int Seq = 0; Seq < 20000; ++Seq)
            TSqliteStatement(*Db, "INSERT INTO reading_rows VALUES(?, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)")
                .Bind(1, FirstReadingKey(Id) + Seq)
                .Run();
        Transaction.Commit();
    }
    ApplyRetention(*Db, {30, 0}, 0);
    EXPECT_EQ(Db->QueryInteger("SELECT min(id) FROM sessions"), 2);
    // Each session takes some 400 KB: a 1 MB limit keeps the newest two.
    ApplyRetention(*Db, {0, 1}, 2);
    TSqliteStatement Left(*Db, "SELECT group_concat(id, ' ') FROM sessions");
    ASSERT_TRUE(Left.Step());
    EXPECT_EQ(Left.Text(0), "2 4");
}

} // namespace

namespace {

TEST(JournalText, OneReadingNotKeptIsOneReading) {
    EXPECT_EQ(NotKeptText(1), "1 reading could not be kept");
    EXPECT_EQ(NotKeptText(1200), "1200 readings could not be kept");
    EXPECT_EQ(NotKeptText(0), "no readings were lost");
}

TEST_F(Journal, ASessionReportHasTheJournalsFactsGapsDisconnectsAndAlarms) {
    const std::int64_t T0 = 1765000000000;
    {
        TJournalWriter Writer(Options(), Reports.Sink());
        Writer.Post(TJournalSessionStart{T0, "COM3", "/dev/ttyUSB0"});
        for (std::int64_t I = 0; I < 3; ++I)
            Writer.Post(Reading(T0 + I * 1000, I * 1000, 3300));
        Writer.Post(TJournalEvent{T0 + 1000, "alarm", "Alarm: Cell 1 at 3.050 V", {}});
        Writer.Post(TJournalEvent{T0 + 2500, "disconnect", "Session disconnected", {}});
        Writer.Post(TJournalGap{2});
        // Back 18 s later: the monitor's elapsed time runs on.
        for (std::int64_t I = 20; I < 22; ++I)
            Writer.Post(Reading(T0 + I * 1000, I * 1000, static_cast<std::int32_t>(3300 - I)));
        Writer.Post(TJournalSessionEnd{T0 + 22000, "disconnected"});
    }
    TSqliteDatabase Db(File, false, 1000);
    ASSERT_EQ(LatestSession(Db), 1);
    TProgramSeriesStore Store;
    const TRunReport Report = ReportSession(Db, 1, Store);
    EXPECT_EQ(Report.Balance.Readings(), 5u);
    EXPECT_EQ(Store.Data(1).Count(), 5u) << "the readings reach the chart's store";
    EXPECT_EQ(Report.Source, "COM3");
    EXPECT_EQ(Report.EndReason, "disconnected");
    EXPECT_EQ(Report.StartUtcMs, T0);
    EXPECT_DOUBLE_EQ(Report.DurationSeconds, 21.0);
    EXPECT_EQ(Report.Disconnects, 1);
    EXPECT_EQ(Report.ReadingsNotKept, 2);
    ASSERT_EQ(Report.Gaps.size(), 1u);
    EXPECT_DOUBLE_EQ(Report.Gaps[0].At, 2.0);
    EXPECT_EQ(Report.Gaps[0].Text, "18.0");
    ASSERT_EQ(Report.Alarms.size(), 1u);
    EXPECT_DOUBLE_EQ(Report.Alarms[0].At, 1.0);
    EXPECT_THROW(ReportSession(Db, 7, Store), EPackMonException);
}

} // namespace
