// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BalanceMonitorUnit.h"
#include "ChartUnit.h"
#include "EventLoopSupport.h"
#include "FileStreamUnit.h"
#include "JournalWriterUnit.h"
#include "LiveSessionUnit.h"
#include "MainFormUnit.h"
#include "MemoPaneUnit.h"
#include "ProfileFileUnit.h"
#include "SerialCommUnit.h"
#include "ValueGridUnit.h"

#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class TQuietForm : public TPackMonMainForm {
  public:
    using TPackMonMainForm::TPackMonMainForm;
    std::vector<TReadingRecord> Readings;
    std::vector<std::string> Errors;
    void HandleReading(const TReadingRecord& Reading) override {
        Readings.push_back(Reading);
        TPackMonMainForm::HandleReading(Reading);
    }
    void LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError) override {
        if (IsError)
            Errors.push_back(Text);
        TPackMonMainForm::LogLine(Memo, Text, Time, IsError);
    }
    void Beep() override {}
};

class Simulator : public testing::Test {
  protected:
    QTemporaryDir Dir;
    TPackMonFileLocations Files = LocateFiles(Dir.filePath("PackMon"), true, {}, {});
    QProcess Sim;
    std::string Device;

    void Start(const QStringList& Arguments) {
        Sim.start(QString::fromUtf8(PACKMON_SIMULATOR),
                  Arguments + QStringList{"--map-ini", Files.IniFileName, "--com", "201"});
        ASSERT_TRUE(Sim.waitForReadyRead(10000));
        Device = Sim.readLine().trimmed().toStdString();
        ASSERT_FALSE(Device.empty());
        ASSERT_TRUE(
            ServeUntil([&] { return TProfileFile(Files.IniFileName).ReadString("Ports", "COM201", {}) == Device; }));
    }
    void TearDown() override {
        if (Sim.state() != QProcess::NotRunning) {
            Sim.terminate();
            Sim.waitForFinished(5000);
        }
    }
    void Connect(TPackMonMainForm& Form) {
        Form.COMPortClick();
        for (QAction* Item : Form.findChild<QMenu*>("COMPort")->actions())
            if (Item->text() == "COM201") {
                Item->trigger();
                return;
            }
        FAIL() << "COM201 is not listed";
    }
};

TEST_F(Simulator, SpeaksAPlausiblePackAndUnpinsItsPortWhenDone) {
    Start({"--interval", "10", "--records", "60"});
    TQuietForm Form(Files);
    Connect(Form);
    ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() >= 41; }));
    EXPECT_EQ(Form.Readings[0].Kind, rkTimeValue);
    for (std::size_t I = 1; I < Form.Readings.size(); ++I) {
        const TReadingRecord& R = Form.Readings[I];
        ASSERT_EQ(R.Kind, rkData);
        double Sum = 0;
        for (double Cell : R.CellVolts) {
            EXPECT_GT(Cell, 3.0);
            EXPECT_LT(Cell, 3.7);
            Sum += Cell;
        }
        EXPECT_NEAR(R.BatteryVolts, Sum, 1e-9) << "the pack is the sum of its cells";
        EXPECT_NEAR(R.Time * 86400.0, static_cast<double>(I - 1) * 0.010, 1e-6);
    }
    EXPECT_TRUE(Form.Errors.empty());
    ASSERT_TRUE(ServeUntil([&] { return Sim.state() == QProcess::NotRunning; }, 10s));
    EXPECT_EQ(TProfileFile(Files.IniFileName).ReadString("Ports", "COM201", "gone"), "gone");
}

TEST_F(Simulator, FaultsAreReportedAndLoggingCarriesOn) {
    Start({"--interval", "5", "--malformed-every", "10", "--noise", "--bulk", "30", "--hang-up-after", "50"});
    TQuietForm Form(Files);
    Connect(Form);
    ASSERT_TRUE(ServeUntil([&] { return Sim.state() == QProcess::NotRunning; }, 20s));
    // The hang-up is reported once the records read before it are in.
    ServeUntil([&] { return Form.Errors.size() >= 5 && Form.Errors.back().rfind("monitor disconnected", 0) == 0; },
               10s);
    std::size_t Data = 0;
    for (const TReadingRecord& R : Form.Readings)
        Data += R.Kind == rkData ? 1 : 0;
    // The bulk log and the live records but the malformed ones; what was still
    // on its way when the line went is lost with it.
    EXPECT_GE(Data, 30u + 20u);
    EXPECT_LE(Data, 30u + 45u);
    ASSERT_GE(Form.Errors.size(), 5u);
    EXPECT_EQ(Form.Errors[0].find("' is not a valid integer value") != std::string::npos, true) << Form.Errors[0];
    EXPECT_EQ(Form.Errors.back(),
              "monitor disconnected from COM201 (" + Device + "); it is opened again when it is back");
    EXPECT_FALSE(Form.IsBulkInProgress());
}

TEST_F(Simulator, SendsNothingUntilSomeoneHasTheLineOpenAndThenStartsAfresh) {
    Start({"--interval", "10", "--stamp"});
    ServeFor(300ms);
    TQuietForm Form(Files);
    const auto Connected =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch());
    Connect(Form);
    ASSERT_TRUE(ServeUntil([&] { return Form.findChild<TMemoPane*>("CommsMemo")->LineCount() >= 2; }));
    const auto* Comms = Form.findChild<TMemoPane*>("CommsMemo");
    EXPECT_EQ(std::string(Comms->Line(0)), "$TIMEVALUE;10");
    const std::string First(Comms->Line(1));
    ASSERT_EQ(First.rfind("$1;0;", 0), 0u) << First;
    EXPECT_GE(std::stoll(First.substr(5)), Connected.count()) << "the first record was sent before anyone listened";
}

TEST_F(Simulator, UnpluggedMidRunItIsSaidOnceAndTheWindowReconnectsByItselfKeepingTheChart) {
    Start({"--interval", "20", "--hang-up-after", "30", "--unplug-for", "1"});
    EXPECT_NE(Device.find("/usb-PackMon_Simulated_Monitor-if00"), std::string::npos) << "a stable link is pinned";
    TQuietForm Form(Files);
    Connect(Form);
    const auto& Cell1 = Form.Chart1->Series(1);
    ASSERT_TRUE(ServeUntil([&] { return Cell1.Count() >= 60; }, 20s));
    ASSERT_EQ(Form.Errors.size(), 1u);
    EXPECT_EQ(Form.Errors[0], "monitor disconnected from COM201 (" + Device + "); it is opened again when it is back");
    EXPECT_EQ(Form.Readings.front().Kind, rkTimeValue);
    EXPECT_EQ(std::count_if(Form.Readings.begin(), Form.Readings.end(),
                            [](const TReadingRecord& R) { return R.Kind == rkTimeValue; }),
              1)
        << "the monitor went on with its run";
}

TEST_F(Simulator, WeakCellBelowItsLimitRaisesOneAlarmKeptInTheErrorsFile) {
    Start({"--interval", "10", "--records", "400"});
    std::string ErrorsFile;
    {
        TQuietForm Form(Files);
        Connect(Form);
        ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() >= 20; }));
        // Just above the weak cell as it reads now, through the Alarms dialog.
        const double Limit = Form.Readings.back().CellVolts[4] + 0.004;
        Form.Balance().ExecuteAlarmsDialog = [&](const TAlarmLimits& Current) {
            TAlarmLimits Chosen = Current;
            Chosen.CellLow = Limit;
            return std::optional<TAlarmLimits>(Chosen);
        };
        Form.Balance().EditLimits(Files.IniFileName);
        const auto Cell5 = [&] {
            return std::count_if(Form.Errors.begin(), Form.Errors.end(),
                                 [](const std::string& E) { return E.rfind("Alarm: Cell 5 at ", 0) == 0; });
        };
        ASSERT_TRUE(ServeUntil([&] { return Cell5() > 0; }));
        const std::size_t Raised = Form.Readings.size();
        ASSERT_TRUE(ServeUntil([&] { return Form.Readings.size() >= Raised + 50; }));
        EXPECT_EQ(Cell5(), 1) << "the noise of a cell near its limit raises it once";
        EXPECT_TRUE(Form.findChild<TValueGrid*>("StringGrid1")->IsMarked(6)) << "cell 5 is marked in the grid";
        ASSERT_TRUE(ServeUntil([&] { return Form.findChild<QLabel*>("SpreadStatus")->text().startsWith("Spread 0."); }))
            << "the status line shows the spread";
        EXPECT_EQ(TProfileFile(Files.IniFileName).ReadString("Alarms", "CellLow", ""), AlarmLimitText(Limit));
        Form.Session().Journal()->Flush();
        TSqliteDatabase Db(Form.Session().Journal()->FileName(), false, 2000);
        EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM events WHERE kind = 'alarm' AND text LIKE 'Alarm: Cell 5%'"), 1)
            << "kept, and published, as an alarm";
    }
    EXPECT_NE(ReadWholeFile(Files.ErrorsExitFileName).find("Alarm: Cell 5 at "), std::string::npos);
}

} // namespace
