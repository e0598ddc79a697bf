// Which device a COM name stands for: the settings file's [Ports], read at each call.
#include <gtest/gtest.h>

#include <string>

#include "PortPaths.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::TempFolder;
using test::WriteBytes;

TEST(PortPaths, BoundInTheSettingsFileReadAtEachCallElseTheDefaultDevice) {
    TempFolder folder;
    const std::string ini = folder / "QEL1_Agent.ini";
    const auto write = [&](const std::string& ports) {
        WriteBytes(ini, "[QEL1_Agent]\r\nComPort1=0\r\n[Ports]\r\n" + ports);
    };
    write("COM1=/dev/pts/7\r\ncom4 = /dev/serial/by-id/usb-FTDI\r\n");
    EXPECT_EQ(PortDevicePath(ini, 1), "/dev/pts/7");
    EXPECT_EQ(PortDevicePath(ini, 4), "/dev/serial/by-id/usb-FTDI");  // names match without case
    EXPECT_EQ(PortDevicePath(ini, 2), "/dev/ttyS1");
    EXPECT_EQ(PortDevicePath(ini, 16), "/dev/ttyS15");
    write("COM16=/dev/ttyUSB3\r\nCOM2=\r\n");
    EXPECT_EQ(PortDevicePath(ini, 16), "/dev/ttyUSB3");
    EXPECT_EQ(PortDevicePath(ini, 2), "/dev/ttyS1");  // an empty value names no device
    EXPECT_EQ(PortDevicePath(ini, 1), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(folder / "missing.ini", 3), "/dev/ttyS2");
}

// All sixteen at once give, port by port, what the single reading gives.
TEST(PortPaths, AllFromOneReadingAsEachOnItsOwn) {
    TempFolder folder;
    const std::string ini = folder / "QEL1_Agent.ini";
    WriteBytes(ini, "[Ports]\r\nCOM1=/dev/pts/7\r\ncom4 = /dev/serial/by-id/usb-FTDI\r\nCOM2=\r\nCOM16=/dev/ttyUSB3\r\n");
    const auto paths = PortDevicePaths(ini);
    for (unsigned n = 1; n <= kBindablePorts; ++n) EXPECT_EQ(paths[n - 1], PortDevicePath(ini, n)) << "COM" << n;
    EXPECT_EQ(paths[3], "/dev/serial/by-id/usb-FTDI");
    EXPECT_EQ(PortDevicePaths(folder / "missing.ini")[7], "/dev/ttyS7");
}

}  // namespace
}  // namespace qel
