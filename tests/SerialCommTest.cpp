// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventLoopSupport.h"
#include "SerialCommUnit.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t PtyPort = 7;

// A pseudo-terminal whose other end the test holds, mapped to COM7.
class SerialComm : public testing::Test {
  protected:
    int Master = -1;
    std::string SlavePath;

    void SetUp() override {
        int Slave = -1;
        char Name[256] = {};
        ASSERT_EQ(::openpty(&Master, &Slave, Name, nullptr, nullptr), 0);
        ::close(Slave);
        SlavePath = Name;
    }
    void TearDown() override {
        if (Master >= 0)
            ::close(Master);
    }

    std::string PathOf(std::uint8_t Port) const { return Port == PtyPort ? SlavePath : std::string(); }
    std::unique_ptr<SerialCommClass> Open(std::uint8_t Port = PtyPort) {
        return std::make_unique<SerialCommClass>(Port, PathOf(Port), TSerialPortOptions{1 << 20, 512, LiveSettings()});
    }
    static TSerialPortOptions Probing(char Parity = 'N') { return {8, 8, {128000, Parity, 8, 1, false, false}}; }
    static TSerialLineSettings LiveSettings() {
        TSerialLineSettings Settings;
        EXPECT_TRUE(BuildLineSettings("baud=128000 parity=N data=8 stop=1", Settings));
        return Settings;
    }
    void Send(const std::string& Bytes) const {
        ASSERT_EQ(::write(Master, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
    }
    static void WaitQueued(SerialCommClass& Port, std::uint32_t Count) {
        const auto Deadline = std::chrono::steady_clock::now() + 5s;
        while (Port.BytesWaiting() < Count && std::chrono::steady_clock::now() < Deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_EQ(Port.BytesWaiting(), Count);
    }
    static std::string Failure(const std::function<void()>& Work, std::int32_t* Code = nullptr) {
        try {
            Work();
        } catch (const ESerialCommException& E) {
            if (Code)
                *Code = E.ErrorCode;
            return E.Message();
        }
        return "(no failure)";
    }
};

TEST_F(SerialComm, ReadsOnlyWhatIsWaitingAndAtMostMaxBytes) {
    auto Port = Open();
    char Buffer[512];
    std::uint32_t Read = 99;
    Port->ReadAvailable(Buffer, 1, 255, Read);
    EXPECT_EQ(Read, 0u) << "an empty queue is no error";

    Send(std::string(300, 'a'));
    WaitQueued(*Port, 300);
    Port->ReadAvailable(Buffer, 1, 255, Read);
    EXPECT_EQ(Read, 255u);
    EXPECT_EQ(Port->BytesWaiting(), 45u);

    Port->ReadAvailable(Buffer, 46, 100, Read);
    EXPECT_EQ(Read, 0u) << "fewer queued than the minimum";
    Port->ReadAvailable(Buffer, 80, 20, Read);
    EXPECT_EQ(Read, 20u) << "a minimum above the maximum counts as the maximum";
    EXPECT_EQ(Port->BytesWaiting(), 25u);
}

TEST_F(SerialComm, WritesReachTheOtherEnd) {
    auto Port = Open();
    Port->Write("$TIMEVALUE;1000\r\n", 17);
    char Buffer[64] = {};
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(::read(Master, Buffer, sizeof Buffer), 17);
    EXPECT_EQ(std::string(Buffer, 17), "$TIMEVALUE;1000\r\n");
}

TEST_F(SerialComm, RunsAtExactly128000BaudAndPutsTheOldSettingsBack) {
    std::uint32_t Before = 0;
    {
        const TFileDescriptor Probe = PosixSerial::OpenExclusive(SlavePath);
        ASSERT_TRUE(Probe.Valid());
        ASSERT_TRUE(PosixSerial::ReadBaud(Probe.Get(), Before));
    }
    ASSERT_NE(Before, 128000u);
    {
        auto Port = Open();
        EXPECT_TRUE(Port->SavedStateValid());
        std::uint32_t Baud = 0;
        ASSERT_TRUE(PosixSerial::ReadBaud(Port->Handle(), Baud));
        EXPECT_EQ(Baud, 128000u) << "never rounded to 115200";
        EXPECT_EQ(Port->PortNumber(), PtyPort);
    }
    const TFileDescriptor Probe = PosixSerial::OpenExclusive(SlavePath);
    ASSERT_TRUE(Probe.Valid());
    std::uint32_t After = 0;
    ASSERT_TRUE(PosixSerial::ReadBaud(Probe.Get(), After));
    EXPECT_EQ(After, Before);
}

TEST_F(SerialComm, SecondOpenerFailsWithCodeOne) {
    auto Port = Open();
    std::int32_t Code = 0;
    const std::string Message = Failure([&] { Open(); }, &Code);
    EXPECT_EQ(Code, 1);
    EXPECT_EQ(Message,
              "SerialComm [7] ($Revision$) error: 1\rLastError " + std::to_string(EBUSY) + "\r" + std::strerror(EBUSY));
    EXPECT_EQ(OpenSerialPort(PtyPort, SlavePath, Probing()), nullptr);
}

TEST_F(SerialComm, ReadAfterTheOtherEndHungUpFails) {
    auto Port = Open();
    ::close(Master);
    Master = -1;
    char Buffer[8];
    std::uint32_t Read = 0;
    std::int32_t Code = 0;
    const std::string Message = Failure([&] { Port->ReadAvailable(Buffer, 1, 8, Read); }, &Code);
    // Linux fails the queue count itself once the far end has gone.
    EXPECT_EQ(Code, 10);
    EXPECT_EQ(Message,
              "SerialComm [7] ($Revision$) error: 10\rLastError " + std::to_string(EIO) + "\r" + std::strerror(EIO));
}

TEST_F(SerialComm, OpenSerialPortNeverRaises) {
    EXPECT_EQ(OpenSerialPort(0, SlavePath, Probing()), nullptr);
    EXPECT_EQ(OpenSerialPort(9, PathOf(9), Probing()), nullptr) << "a number with no device";
    EXPECT_EQ(OpenSerialPort(PtyPort, SlavePath, Probing('X')), nullptr) << "unreadable settings";
    auto Port = OpenSerialPort(PtyPort, SlavePath, Probing());
    ASSERT_NE(Port, nullptr);
    EXPECT_EQ(Port->Revision(), "$Revision$");
}

// A UART that keeps 9600 whatever it is asked for, as a 16550A does at 128000.
class TStuckAt9600 : public TSerialPortSystem {
  public:
    bool ReadBaud(int, std::uint32_t& Baud) const override {
        Baud = 9600;
        return true;
    }
};

TEST_F(SerialComm, PortThatRunsAtAnotherSpeedFailsTheOpenNamingItAndIsLeftAsItWas) {
    // The test's own descriptor keeps the terminal, and its flags, alive
    // between the opens.
    const TFileDescriptor Held(::open(SlavePath.c_str(), O_RDWR | O_NOCTTY));
    std::uint32_t Before = 0;
    ASSERT_TRUE(PosixSerial::ReadBaud(Held.Get(), Before));
    const TStuckAt9600 Uart;
    std::int32_t Code = 0;
    const std::string Message = Failure(
        [&] {
            SerialCommClass(PtyPort, SlavePath, TSerialPortOptions{8, 8, LiveSettings()}, Uart);
        },
        &Code);
    EXPECT_EQ(Code, 5);
    EXPECT_EQ(Message, "COM7 (" + SlavePath +
                           ") runs at 9600 baud, not 128000: the port or its adapter cannot take the monitor's speed");
    std::uint32_t After = 0;
    ASSERT_TRUE(PosixSerial::ReadBaud(Held.Get(), After));
    EXPECT_EQ(After, Before);
    int Exclusive = -1;
    ASSERT_EQ(::ioctl(Held.Get(), TIOCGEXCL, &Exclusive), 0);
    EXPECT_EQ(Exclusive, 0) << "the exclusive flag outlived the port";
    EXPECT_NE(Open(), nullptr) << "within 2 % (a pty keeps exactly what it is given) the open succeeds";
}

TEST_F(SerialComm, ClosingGivesUpTheExclusiveFlag) {
    const TFileDescriptor Held(::open(SlavePath.c_str(), O_RDWR | O_NOCTTY));
    int Exclusive = -1;
    {
        auto Port = Open();
        ASSERT_EQ(::ioctl(Held.Get(), TIOCGEXCL, &Exclusive), 0);
        EXPECT_EQ(Exclusive, 1);
    }
    ASSERT_EQ(::ioctl(Held.Get(), TIOCGEXCL, &Exclusive), 0);
    EXPECT_EQ(Exclusive, 0);
}

TEST(LineSettings, ParseTheModeText) {
    TSerialLineSettings S;
    ASSERT_TRUE(BuildLineSettings("baud=128000 parity=N data=8 stop=1", S));
    EXPECT_EQ(S.Baud, 128000u);
    EXPECT_EQ(S.Parity, 'N');
    EXPECT_EQ(S.DataBits, 8);
    EXPECT_EQ(S.StopBits, 1);
    ASSERT_TRUE(BuildLineSettings("BAUD=9600 Parity=e DATA=7 stop=2", S));
    EXPECT_EQ(S.Parity, 'E');
    EXPECT_EQ(S.StopBits, 2);
    for (const char* Bad : {"baud=", "baud=fast", "parity=X", "data=9", "stop=3", "speed=9600", "baud"})
        EXPECT_FALSE(BuildLineSettings(Bad, S)) << Bad;
}

TEST(SerialDevices, FamiliesInOrderEachSortedByNumber) {
    QTemporaryDir Dir;
    for (const char* Name : {"ttyS10", "ttyS2", "ttyUSB1", "ttyACM0", "ttyAMA0", "ttySx", "ttyUSB", "tty0"})
        QFile(Dir.filePath(Name)).open(QIODevice::WriteOnly);
    const std::string Root = Dir.path().toStdString();
    EXPECT_EQ(SerialDevicesPresent(Root),
              (std::vector<std::string>{Root + "/ttyUSB1", Root + "/ttyACM0", Root + "/ttyS2", Root + "/ttyS10",
                                        Root + "/ttyAMA0"}));
}

} // namespace
