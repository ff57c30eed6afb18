// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileStreamUnit.h"
#include "PortDiscoveryUnit.h"

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Device nodes, sysfs and by-id links as the system lays them out, in a
// folder of the test's own: this machine has no USB adapter to show.
class PortListing : public testing::Test {
  protected:
    QTemporaryDir Dir;
    fs::path Root = Dir.path().toStdString();
    TPortSystemView View{(Root / "sys").string(), (Root / "proc").string(), (Root / "lock").string(),
                         (Root / "by-id").string()};

    void SetUp() override {
        for (const char* Folder : {"dev", "sys/class/tty", "proc", "lock", "by-id"})
            fs::create_directories(Root / Folder);
    }
    std::string Device(const std::string& Name) const {
        const fs::path Node = Root / "dev" / Name;
        std::ofstream{Node};
        return Node.string();
    }
    void Write(const fs::path& File, const std::string& Text) const {
        fs::create_directories(File.parent_path());
        std::ofstream{File} << Text << "\n";
    }
    void UsbAdapter(const std::string& Name) const {
        const fs::path Usb = Root / "sys/devices/pci0/usb1/1-2";
        Write(Usb / "idVendor", "0403");
        Write(Usb / "product", "FT232R USB UART");
        Write(Usb / "manufacturer", "FTDI");
        Write(Usb / "serial", "A10K3ZQX");
        fs::create_directories(Usb / "1-2:1.0" / Name);
        fs::create_directories(Root / "sys/class/tty" / Name);
        fs::create_directory_symlink(Usb / "1-2:1.0" / Name, Root / "sys/class/tty" / Name / "device");
    }
    QString Settings(const std::string& Text) const {
        const QString File = Dir.filePath("PackMon.ini");
        ReplaceFileContents(File, Text);
        return File;
    }
};

TEST_F(PortListing, PinnedNumbersKeepTheirDeviceAndAPinnedDeviceIsNotListedTwice) {
    const std::string Usb0 = Device("ttyUSB0"), Usb1 = Device("ttyUSB1"), Acm0 = Device("ttyACM0");
    fs::create_symlink(Usb1, Root / "by-id" / "usb-FTDI-if00");
    const std::string Stable = (Root / "by-id" / "usb-FTDI-if00").string();
    const TPortTable Table =
        TPortTable::Load(Settings("[Ports]\nCOM1=" + Stable + "\nCOM9=/dev/packmon-gone\n"), (Root / "dev").string());
    EXPECT_EQ(Table.Path(1), Stable);
    EXPECT_EQ(Table.Path(2), Usb0) << "the devices no pin names take the numbers left, in order";
    EXPECT_EQ(Table.Path(3), Acm0);
    EXPECT_EQ(Table.Path(4), "");
    EXPECT_EQ(Table.Path(9), "/dev/packmon-gone");
    const TPortTable Plain = TPortTable::Load(Settings(""), (Root / "dev").string());
    EXPECT_EQ(Plain.Path(2), Usb1) << "with no pins COM n is the n-th device present";
}

TEST_F(PortListing, TellsTheAdapterItsStableNamesAndWhyAPortCannotBeChosen) {
    UsbAdapter("ttyUSB0");
    Write(Root / "sys/class/tty/ttyS0/type", "0");
    Write(Root / "sys/class/tty/ttyS1/type", "4");
    TPortTable Table;
    Table.Pin(1, Device("ttyUSB0"));
    Table.Pin(2, Device("ttyS0"));
    Table.Pin(3, Device("ttyS1"));
    Table.Pin(4, (Root / "dev/ttyUSB7").string());
    fs::create_symlink(Table.Path(1), Root / "by-id" / "usb-FTDI_FT232R_USB_UART_A10K3ZQX-if00-port0");
    Write(Root / "lock/LCK..ttyS1", "     " + std::to_string(::getppid()));

    const std::vector<TPortListing> Ports = ListPorts(Table, Table.Path(1), View);
    ASSERT_EQ(Ports.size(), 3u) << "ttyS0 has no UART behind it";
    EXPECT_EQ(Ports[0].Description, "FT232R USB UART (FTDI), serial number A10K3ZQX\n" +
                                        (Root / "by-id/usb-FTDI_FT232R_USB_UART_A10K3ZQX-if00-port0").string());
    EXPECT_TRUE(Ports[0].Connected);
    EXPECT_EQ(Ports[0].Unavailable, "");
    EXPECT_EQ(Ports[1].PortNumber, 3);
    EXPECT_EQ(Ports[1].Unavailable, "locked by process " + std::to_string(::getppid()));
    EXPECT_EQ(Ports[2].PortNumber, 4);
    EXPECT_EQ(Ports[2].Unavailable, "not plugged in");
}

// Root may open anything, so this runs again as an unprivileged user.
TEST(PortPermission, DeviceThisUserMayNotOpenIsListedWithTheReason) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open any device";
    int Master = -1, Slave = -1;
    char Name[256] = {};
    ASSERT_EQ(::openpty(&Master, &Slave, Name, nullptr, nullptr), 0);
    ::close(Slave);
    ASSERT_EQ(::chmod(Name, 0), 0);
    TPortTable Table;
    Table.Pin(5, Name);
    const std::vector<TPortListing> Ports = ListPorts(Table, {});
    ::close(Master);
    ASSERT_EQ(Ports.size(), 1u);
    EXPECT_EQ(Ports[0].Unavailable.rfind("no permission to use it (it belongs to the group ", 0), 0u)
        << Ports[0].Unavailable;
}

} // namespace
