// The list of serial devices the port dialog offers, from a fake device folder with
// by-id links and the details a port lister reports.
#include <gtest/gtest.h>

#include <filesystem>

#include "SerialDeviceList.h"
#include "TestFiles.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

class FakeDeviceFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dev = root / "dev";
        fs::create_directories(dev + "/serial/by-id");
        for (const char* node : {"ttyUSB0", "ttyUSB1", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyAMA0"})
            test::WriteBytes(dev + "/" + node, "");
    }
    void Link(const std::string& name, const std::string& target) {
        fs::create_symlink(target, dev + "/serial/by-id/" + name);
    }
    std::vector<std::string> Paths(const std::vector<SerialDeviceChoice>& list) {
        std::vector<std::string> paths;
        for (const SerialDeviceChoice& c : list) paths.push_back(c.path.substr(dev.size() + 1));
        return paths;
    }
    TempFolder root;
    std::string dev;
};

TEST_F(FakeDeviceFolder, StableLinksComeFirstWithTheDetailsOfTheirDeviceThenNodesByKind) {
    Link("usb-FTDI_FT232R_USB_UART_A9X1-if00-port0", "../../ttyUSB1");
    Link("usb-Arduino__www.arduino.cc__0043_7563-if00", "../../ttyACM0");
    Link("usb-Gone_Adapter_1-if00-port0", "../../ttyUSB7");  // leads nowhere: left out
    // The lister reports the devices in its own order, ttyS1 without a UART not at all.
    const std::vector<SerialDeviceDetails> present{
        {dev + "/ttyS0", "", "", ""},
        {dev + "/ttyUSB10", "Prolific", "PL2303", ""},
        {dev + "/ttyACM0", "Arduino (www.arduino.cc)", "Uno", "7563"},
        {dev + "/ttyAMA0", "", "", ""},
        {dev + "/ttyUSB2", "", "", ""},
        {dev + "/ttyUSB1", "FTDI", "FT232R USB UART", "A9X1"},
        {dev + "/ttyUSB0", "", "", ""},
    };
    const auto list = ListSerialDevices(dev, present);
    EXPECT_EQ(Paths(list), (std::vector<std::string>{
                               "serial/by-id/usb-Arduino__www.arduino.cc__0043_7563-if00",
                               "serial/by-id/usb-FTDI_FT232R_USB_UART_A9X1-if00-port0",
                               "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyAMA0"}));
    ASSERT_EQ(list.size(), 9u);
    EXPECT_TRUE(list[1].stable);
    EXPECT_EQ(list[1].device, dev + "/ttyUSB1");
    EXPECT_EQ(list[1].manufacturer, "FTDI");
    EXPECT_EQ(list[1].description, "FT232R USB UART");
    EXPECT_EQ(list[1].serialNumber, "A9X1");
    EXPECT_EQ(list[0].serialNumber, "7563");
    EXPECT_FALSE(list[3].stable);
    EXPECT_EQ(list[3].path, list[3].device);
    EXPECT_EQ(list[3].manufacturer, "FTDI");  // the node has the same details as its link
    EXPECT_EQ(list[5].manufacturer, "Prolific");
}

TEST_F(FakeDeviceFolder, WithoutByIdLinksOrDevicesTheListIsShortOrEmpty) {
    fs::remove_all(dev + "/serial");
    EXPECT_TRUE(ListSerialDevices(dev, {}).empty());
    EXPECT_EQ(Paths(ListSerialDevices(dev, {{dev + "/ttyS1", "", "", ""}, {dev + "/ttyACM0", "", "", ""}})),
              (std::vector<std::string>{"ttyACM0", "ttyS1"}));
    EXPECT_TRUE(ListSerialDevices(root / "no-such-folder", {}).empty());
}

TEST_F(FakeDeviceFolder, ALinkToADeviceTheListerDoesNotReportIsStillOffered) {
    // A link is made by the system only for a device that is there.
    Link("usb-Silicon_Labs_CP2102_0001-if00-port0", "../../ttyUSB2");
    const auto list = ListSerialDevices(dev, {});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].stable);
    EXPECT_EQ(list[0].device, fs::canonical(dev + "/ttyUSB2").string());
    EXPECT_EQ(list[0].manufacturer, "");
}

}  // namespace
}  // namespace qel
