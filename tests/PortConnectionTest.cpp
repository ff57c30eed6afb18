// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartUnit.h"
#include "EventLoopSupport.h"
#include "FileDescriptorUnit.h"
#include "FileStreamUnit.h"
#include "JournalWriterUnit.h"
#include "LiveSessionUnit.h"
#include "MainFormUnit.h"
#include "MemoPaneUnit.h"
#include "SerialCommUnit.h"
#include "SqliteUnit.h"
#include "TestSupport.h"
#include "ValueGridUnit.h"

#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class TRecordingForm : public TPackMonMainForm {
  public:
    using TPackMonMainForm::TPackMonMainForm;
    std::vector<std::string> Events;
    void LogLine(QObject* Memo, const std::string& Text, double Time, bool IsError) override {
        Events.push_back((IsError ? "E " : "L ") + Text);
        TPackMonMainForm::LogLine(Memo, Text, Time, IsError);
    }
    void HandleReading(const TReadingRecord& Reading) override {
        Events.push_back("R " + std::to_string(Reading.Kind));
        TPackMonMainForm::HandleReading(Reading);
    }
    int Beeps = 0;
    void Beep() override { ++Beeps; }
    std::size_t Count(char Kind) const {
        return static_cast<std::size_t>(
            std::count_if(Events.begin(), Events.end(), [Kind](const std::string& E) { return E[0] == Kind; }));
    }
};

// A monitor on a pseudo-terminal, pinned to COM200 in the settings file.
class PortConnection : public testing::Test {
  protected:
    QTemporaryDir Dir;
    int Monitor = -1;
    std::string DevicePath;
    std::unique_ptr<TRecordingForm> Form;

    void SetUp() override {
        int Slave = -1;
        char Name[256] = {};
        ASSERT_EQ(::openpty(&Monitor, &Slave, Name, nullptr, nullptr), 0);
        ::close(Slave);
        DevicePath = Name;
        const TPackMonFileLocations Files = LocateFiles(Dir.filePath("PackMon"), true, {}, {});
        ReplaceFileContents(Files.IniFileName, "[Ports]\nCOM200=" + DevicePath + "\n");
        Form = std::make_unique<TRecordingForm>(Files);
    }
    void TearDown() override {
        Form.reset();
        if (Monitor >= 0)
            ::close(Monitor);
    }
    QAction* PortItem(const QString& Caption) const {
        for (QAction* Item : Form->findChild<QMenu*>("COMPort")->actions())
            if (Item->text() == Caption)
                return Item;
        return nullptr;
    }
    void Connect() {
        Form->COMPortClick();
        QAction* Item = PortItem("COM200");
        ASSERT_NE(Item, nullptr);
        Item->trigger();
        ASSERT_NE(Form->Session().LinkState().PortObject(), nullptr);
    }
    void Send(const std::string& Bytes) const {
        ASSERT_EQ(::write(Monitor, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
    }
    std::size_t Points() const { return Form->Chart1->Series(1).Count(); }
};

TEST_F(PortConnection, ListingDisturbsNoPortShowsAHeldOneWithItsHolderAndChecksTheConnectedOne) {
    const TFileDescriptor Held(::open(DevicePath.c_str(), O_RDWR | O_NOCTTY));
    termios Before{};
    ASSERT_EQ(::tcgetattr(Held.Get(), &Before), 0);
    Form->COMPortClick();
    QAction* Item = PortItem("COM200");
    ASSERT_NE(Item, nullptr) << "the test's own descriptor does not count as another program's";
    EXPECT_TRUE(Item->isEnabled());
    EXPECT_FALSE(Item->isChecked());
    EXPECT_EQ(Item->toolTip().toStdString(), DevicePath);
    EXPECT_EQ(Item->statusTip().toStdString(), DevicePath);
    termios After{};
    ASSERT_EQ(::tcgetattr(Held.Get(), &After), 0);
    EXPECT_EQ(std::memcmp(&Before, &After, sizeof Before), 0) << "listing changed the port's settings";
    int Exclusive = -1;
    ASSERT_EQ(::ioctl(Held.Get(), TIOCGEXCL, &Exclusive), 0);
    EXPECT_EQ(Exclusive, 0);

    // The holder must not inherit the monitor's end, or it is the far end.
    ASSERT_EQ(::fcntl(Monitor, F_SETFD, FD_CLOEXEC), 0);
    QProcess Holder;
    Holder.setStandardInputFile(QString::fromStdString(DevicePath));
    Holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(Holder.waitForStarted());
    const QString Caption = QStringLiteral("COM200 (in use by sleep (process %1))").arg(Holder.processId());
    ASSERT_TRUE(ServeUntil([&] {
        Form->COMPortClick();
        return PortItem(Caption) != nullptr;
    }));
    EXPECT_FALSE(PortItem(Caption)->isEnabled());
    Holder.kill();
    Holder.waitForFinished();

    Connect();
    Form->COMPortClick();
    ASSERT_NE(PortItem("COM200"), nullptr);
    EXPECT_TRUE(PortItem("COM200")->isChecked());
    EXPECT_EQ(Form->findChild<QMenu*>("COMPort")->actions().first()->text(), "COM0");
}

TEST_F(PortConnection, ConnectingClearsTheGraphsAndEchoesEachRecordBeforeItsReading) {
    TReadingRecord Old;
    Old.Kind = rkData;
    Old.CellVolts[0] = 3.3;
    for (int I = 0; I < 5; ++I)
        Form->HandleReading(Old);
    ASSERT_EQ(Points(), 5u);
    Connect();
    EXPECT_EQ(Points(), 0u);
    Form->Events.clear();

    Send("$TIMEVALUE;1000\r\n" + NumberedRecords(1, 5));
    ASSERT_TRUE(ServeUntil([&] { return Form->Count('R') == 6; }));
    ASSERT_EQ(Form->Events.size(), 12u);
    for (std::size_t I = 0; I < 12; I += 2) {
        EXPECT_EQ(Form->Events[I][0], 'L') << I;
        EXPECT_EQ(Form->Events[I + 1][0], 'R') << I;
    }
    EXPECT_EQ(Form->Events[0], "L $TIMEVALUE;1000");
    EXPECT_EQ(Form->findChild<TMemoPane*>("CommsMemo")->LineCount(), 6u);
    EXPECT_EQ(Points(), 5u);
}

TEST_F(PortConnection, Com0StopsLoggingAndLeavesTheGraphs) {
    Connect();
    Send(NumberedRecords(1, 5));
    ASSERT_TRUE(ServeUntil([&] { return Points() == 5; }));
    Form->findChild<QAction*>("COM01")->trigger();
    EXPECT_EQ(Form->Session().Thread(), nullptr);
    EXPECT_EQ(Form->Session().LinkState().PortObject(), nullptr);
    EXPECT_EQ(Points(), 5u);
    Send(NumberedRecords(6, 5));
    ServeFor(300ms);
    EXPECT_EQ(Points(), 5u);
}

TEST_F(PortConnection, AReviewLeavesTheLivePackWatchedAndTheLiveRunWhole) {
    const TPackMonFileLocations Files = Form->FileLocations();
    Form.reset();
    ReplaceFileContents(Files.IniFileName, "[Ports]\nCOM200=" + DevicePath + "\n[Alarms]\nCellLow=3.0\n");
    Form = std::make_unique<TRecordingForm>(Files);
    const auto Pack = [](int Cell5) {
        return DataRecord({3300, 3300, 3300, 3300, Cell5, 3300, 3300, 3300}, 7 * 3300 + Cell5);
    };
    Connect();
    Send("$TIMEVALUE;1000\r\n" + Pack(3300) + Pack(3300));
    ASSERT_TRUE(ServeUntil([&] { return Form->Count('R') == 3; }));
    const QString Capture = Dir.filePath("old.PackMonComms");
    ReplaceFileContents(Capture, "$TIMEVALUE;1000\r\n" + NumberedRecords(1, 20000) + "$1;x\r\n");
    const std::size_t CommsLines = Form->findChild<TMemoPane*>("CommsMemo")->LineCount();
    Form->ReviewCommsFile(Capture);
    EXPECT_EQ(Points(), 20000u) << "in one pass, not paced";
    EXPECT_NE(Form->Session().LinkState().PortObject(), nullptr) << "the live connection goes on";
    EXPECT_EQ(Form->Count('E'), 1u) << "the capture's broken record";

    // A cell of the live pack goes low while the capture is on show.
    Send(Pack(2900) + Pack(2900));
    ASSERT_TRUE(ServeUntil([&] { return Form->Count('R') == 5; }));
    const auto Alarms = std::count_if(Form->Events.begin(), Form->Events.end(), [](const std::string& E) {
        return E.rfind("E Alarm: Cell 5 at 2.900 V", 0) == 0;
    });
    EXPECT_EQ(Alarms, 1) << "the live pack is still watched";
    EXPECT_EQ(Points(), 20000u) << "live readings are not mixed into the review";
    EXPECT_EQ(Form->findChild<TMemoPane*>("CommsMemo")->LineCount(), CommsLines + 2);
    Form->Session().Journal()->Flush();
    {
        TSqliteDatabase Db(Form->Session().Journal()->FileName(), false, 1000);
        EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM sessions"), 1) << "a review is no session";
        EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM readings"), 4) << "every live reading is kept, none reviewed";
        EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM events WHERE kind = 'alarm'"), 1);
        EXPECT_EQ(Db.QueryInteger("SELECT count(*) FROM events WHERE kind = 'error'"), 0)
            << "the capture's broken record is not the live session's";
    }

    Form->findChild<QAction*>("GraphsClearAction")->trigger();
    EXPECT_EQ(Points(), 4u) << "back to the live run, with every reading it had";
    Send(Pack(3300));
    ASSERT_TRUE(ServeUntil([&] { return Points() == 5; }));
}

TEST_F(PortConnection, MonitorHangingUpGivesOneLineAndOneBeepAndNothingMoreWhileAway) {
    // Pinned through a link that goes with the device: a parallel test's new
    // pty may soon get the same number, and must not count as the monitor's return.
    const std::string Link = Dir.filePath("monitor").toStdString();
    ASSERT_EQ(::symlink(DevicePath.c_str(), Link.c_str()), 0);
    ReplaceFileContents(Form->IniFileName(), "[Ports]\nCOM200=" + Link + "\n");
    DevicePath = Link;
    Connect();
    Send("$STARTBULK;500;1000\r\n" + NumberedRecords(1, 50) + "$1;0;0;37");
    ASSERT_TRUE(ServeUntil([&] { return Form->Count('R') == 51; }));
    ::unlink(Link.c_str());
    ::close(Monitor);
    Monitor = -1;
    ASSERT_TRUE(ServeUntil([&] { return Form->Count('E') == 1; }));
    ServeFor(1500ms);
    ASSERT_EQ(Form->Count('E'), 1u);
    EXPECT_EQ(Form->Events.back(),
              "E monitor disconnected from COM200 (" + DevicePath + "); it is opened again when it is back");
    EXPECT_EQ(Form->Beeps, 1);
    EXPECT_TRUE(Form->IsBulkInProgress()) << "the transfer never ended";

    Form->findChild<QAction*>("COM01")->trigger();
    EXPECT_EQ(Form->Session().Thread(), nullptr);
    Form->COMPortClick();
    ASSERT_NE(PortItem("COM200 (not plugged in)"), nullptr) << "a pinned port that is away";
    EXPECT_FALSE(PortItem("COM200 (not plugged in)")->isEnabled());
}

TEST_F(PortConnection, PortThatWillNotOpenSaysWhyInTheErrorsPane) {
    const std::string NotAPort = Dir.filePath("not-a-port").toStdString();
    ReplaceFileContents(QString::fromStdString(NotAPort), "");
    ReplaceFileContents(Form->IniFileName(), "[Ports]\nCOM200=" + NotAPort + "\n");
    Form->COMPortClick();
    ASSERT_NE(PortItem("COM200"), nullptr);
    PortItem("COM200")->trigger();
    EXPECT_EQ(Form->Session().LinkState().PortObject(), nullptr);
    ASSERT_EQ(Form->Count('E'), 1u);
    EXPECT_EQ(Form->Events.back(), "E SerialComm [200] ($Revision$) error: 1\rLastError " + std::to_string(ENOTTY) +
                                       "\r" + std::strerror(ENOTTY));
}

// The monitor unplugged and plugged in again: a new device node, and the
// stable name moved to it, as udev moves /dev/serial/by-id links.
class Unplugging : public PortConnection {
  protected:
    std::string Link;

    void SetUp() override {
        PortConnection::SetUp();
        Link = Dir.filePath("usb-PackMon_Monitor-if00").toStdString();
        ASSERT_EQ(::symlink(DevicePath.c_str(), Link.c_str()), 0);
    }
    void PinLink(const std::string& More = {}) const {
        ReplaceFileContents(Form->IniFileName(), "[Ports]\nCOM200=" + Link + "\n" + More);
    }
    // udev takes the stable name away with the device.
    void Unplug() {
        ::unlink(Link.c_str());
        ::close(Monitor);
        Monitor = -1;
    }
    void PlugIn() {
        int Slave = -1;
        char Name[256] = {};
        ASSERT_EQ(::openpty(&Monitor, &Slave, Name, nullptr, nullptr), 0);
        ::close(Slave);
        const std::string Moved = Link + ".new";
        ASSERT_EQ(::symlink(Name, Moved.c_str()), 0);
        ASSERT_EQ(::rename(Moved.c_str(), Link.c_str()), 0);
    }
    bool Said(const std::string& Event) const {
        return std::find(Form->Events.begin(), Form->Events.end(), Event) != Form->Events.end();
    }
    std::vector<std::string> EventKinds() const {
        Form->Session().Journal()->Flush();
        TSqliteDatabase Db(Form->Session().Journal()->FileName(), false, 1000);
        TSqliteStatement Query(Db, "SELECT kind FROM events WHERE session = 1 ORDER BY rowid");
        std::vector<std::string> Kinds;
        while (Query.Step())
            Kinds.push_back(Query.Text(0));
        return Kinds;
    }
    QString Status() const { return Form->findChild<QLabel*>("StatusLine")->text(); }
};

TEST_F(Unplugging, MonitorBackAtItsStablePathIsReopenedAndTheRunGoesOnInTheSameChartAndSession) {
    PinLink();
    Connect();
    Send(NumberedRecords(1, 5));
    ASSERT_TRUE(ServeUntil([&] { return Points() == 5; }));
    Unplug();
    ASSERT_TRUE(ServeUntil([&] { return Form->Count('E') == 1; }));
    const auto* Grid = Form->findChild<TValueGrid*>("StringGrid1");
    ASSERT_TRUE(ServeUntil([&] { return Status().startsWith("No data for "); }));
    EXPECT_TRUE(Grid->Stale());

    PlugIn();
    ASSERT_TRUE(ServeUntil([&] { return Said("L monitor reconnected on COM200 (" + Link + ")"); }));
    Send(NumberedRecords(6, 5));
    ASSERT_TRUE(ServeUntil([&] { return Points() == 10; })) << "the chart keeps what it had";
    const auto& Cell1 = Form->Chart1->Series(1);
    EXPECT_GT((Cell1.XValue(5) - Cell1.XValue(4)) * SecondsPerDay, 5.0) << "the run goes on after the gap";
    EXPECT_FALSE(Grid->Stale());
    EXPECT_FALSE(Status().startsWith("No data for "));
    EXPECT_EQ(Form->Count('E'), 1u);
    EXPECT_EQ(Form->Beeps, 1);
    Form->findChild<QAction*>("COM01")->trigger();
    EXPECT_EQ(EventKinds(), (std::vector<std::string>{"connect", "disconnect", "reconnect", "close"}))
        << "one session, with the gap in its events";
}

TEST_F(Unplugging, AutoReconnectOffLeavesThePortClosedAndTheSessionEndsDisconnectedOnce) {
    PinLink("AutoReconnect=0\n");
    Connect();
    Unplug();
    ASSERT_TRUE(ServeUntil([&] { return Form->Count('E') == 1; }));
    EXPECT_EQ(Form->Events.back(), "E monitor disconnected from COM200 (" + Link +
                                       "); choose the port again to go on ([Ports] AutoReconnect=0)");
    PlugIn();
    ServeFor(1000ms);
    EXPECT_EQ(Form->Session().LinkState().PortObject(), nullptr);
    Form->findChild<QAction*>("COM01")->trigger();
    EXPECT_EQ(EventKinds(), (std::vector<std::string>{"connect", "disconnect", "close"}));
}

} // namespace
