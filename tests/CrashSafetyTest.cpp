// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "JournalSchemaUnit.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& Done) {
    const auto Deadline = std::chrono::steady_clock::now() + 30s;
    while (!Done()) {
        if (std::chrono::steady_clock::now() > Deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A query on the journal while PackMon writes it; 0 while there is none.
std::int64_t Query(const std::string& File, const char* Sql) {
    try {
        TSqliteDatabase Db(File, false, 1000);
        return Db.QueryInteger(Sql);
    } catch (const ESqliteError&) {
        return 0;
    }
}

class CrashSafety : public testing::Test {
  protected:
    QTemporaryDir Dir;
    std::string Journal = Dir.filePath("PackMonSessions.sqlite").toStdString();
    int Monitor = -1;

    void SetUp() override {
        const QString Program = Dir.filePath("PackMon");
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(PACKMON_EXECUTABLE), Program));
        QFile::setPermissions(Program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        int Slave = -1;
        char Name[256] = {};
        ASSERT_EQ(::openpty(&Monitor, &Slave, Name, nullptr, nullptr), 0);
        ::close(Slave);
        QFile Ini(Dir.filePath("PackMon.Ini"));
        ASSERT_TRUE(Ini.open(QIODevice::WriteOnly));
        Ini.write(QByteArray("[Ports]\nCOM200=") + Name + "\n");
    }
    void TearDown() override { ::close(Monitor); }
    void Start(QProcess& PackMon, const QStringList& Arguments) const {
        QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
        Environment.insert("QT_QPA_PLATFORM", "offscreen");
        PackMon.setProcessEnvironment(Environment);
        PackMon.start(Dir.filePath("PackMon"), Arguments);
        ASSERT_TRUE(PackMon.waitForStarted());
    }
};

TEST_F(CrashSafety, ReadingsOutliveSigkillAndTheNextStartEndsTheSessionAsInterrupted) {
    QProcess PackMon;
    Start(PackMon, {"--port", "COM200"});
    ASSERT_TRUE(WaitUntil([&] { return Query(Journal, "SELECT count(*) FROM sessions") == 1; }));
    const std::string Records = NumberedRecords(1, 200);
    ASSERT_EQ(::write(Monitor, Records.data(), Records.size()), static_cast<ssize_t>(Records.size()));
    ASSERT_TRUE(WaitUntil([&] { return Query(Journal, "SELECT count(*) FROM readings") == 200; }));
    ::kill(static_cast<pid_t>(PackMon.processId()), SIGKILL);
    ASSERT_TRUE(PackMon.waitForFinished(10000));

    {
        TSqliteDatabase Db(Journal, false, 1000);
        TSqliteStatement Check(Db, "PRAGMA integrity_check");
        ASSERT_TRUE(Check.Step());
        EXPECT_EQ(Check.Text(0), "ok");
        Check.Reset();
        EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM readings WHERE cell1_mv = seq + 1"), 200);
        EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM sessions WHERE ended_utc IS NULL"), 1);
    }

    QProcess Next;
    Start(Next, {});
    ASSERT_TRUE(WaitUntil(
        [&] { return Query(Journal, "SELECT count(*) FROM sessions WHERE end_reason = 'interrupted'") == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return CatchesSignal(Next.processId(), SIGTERM); }));
    ::kill(static_cast<pid_t>(Next.processId()), SIGTERM);
    ASSERT_TRUE(Next.waitForFinished(20000));
    QFile Errors(Dir.filePath("PackMon.Errors"));
    ASSERT_TRUE(Errors.open(QIODevice::ReadOnly));
    const QByteArray Said = Errors.readAll();
    EXPECT_EQ(Said.count("was interrupted after"), 1) << Said.data();
    EXPECT_EQ(Said.count("200 readings are kept"), 1) << Said.data();
}

} // namespace
