// The connections without a window: both drivers opened on simulated QEL-1 devices, each
// packet filed through the one reception they are bound to.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "Connections.h"
#include "DataFileSettings.h"
#include "DiagnosticLog.h"
#include "Qel1Samples.h"
#include "RecordingSink.h"
#include "RegionalGuard.h"
#include "SimulatedPorts.h"

namespace qel::test {
namespace {

// The options of two connections in use as QEL-1 on COM1 and COM2.
struct TwoQel1Connections : DataFileSettings {
    ProgramOptions Current() const override {
        ProgramOptions o = DataFileSettings::Current();
        o.connections[0] = {true, 0, 0, kQel1TypeIndex};
        o.connections[1] = {true, 1, 1, kQel1TypeIndex};
        return o;
    }
};

class ConnectionsTest : public SimulatedPorts, public ::testing::Test {
protected:
    ConnectionsTest() { options.path = dir / "Data.qel"; }

    // Runs both drivers' polling ticks until the data file holds `bytes`, at most 5 s.
    bool FiledWithin5s(const std::string& bytes) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            connections.ComDriver1.PollTick();
            connections.ComDriver2.PollTick();
            if (ReadBytes(options.path) == bytes) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    RegionalGuard russian{RussianRegionalSettings()};
    TwoQel1Connections options;
    DiagnosticLog log;
    WriteHoldOff writing;
    RecordingSink sink{log};
    Connections connections{log, writing, options, SettingsPath()};
};

TEST_F(ConnectionsTest, BothDriversFileThroughTheOneReceptionTheyAreBoundTo) {
    options.multiple = true;  // the record's own file names it
    connections.Apply(options.Current());
    ASSERT_EQ(sink.lines, (std::vector<std::string>{"соединение 1 состоялось", "соединение 2 состоялось"}));
    EXPECT_EQ(connections.ComDriver1.DevicePath(), device1->Path());
    EXPECT_EQ(connections.ComDriver2.DevicePath(), device2->Path());

    device1->SendBytes(kExamplePacket);
    ASSERT_TRUE(FiledWithin5s(kExampleLine + "\r\n"));
    device2->SendBytes(kExamplePacket);
    ASSERT_TRUE(FiledWithin5s(kExampleLine + "\r\n" + kExampleLine + "\r\n"));

    const std::string accepted = std::string(kPacketReceivedPrefix) + kExampleLine;
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"соединение 1 состоялось", "соединение 2 состоялось", accepted,
                                                    accepted}));
    EXPECT_EQ(options.path, dir / "311205.300");  // filed under the record's date and number
}

// Two QEL-1M connections: each Timer1 tick polls connection 1, then connection 2.
struct TwoQel1mConnections : DataFileSettings {
    ProgramOptions Current() const override {
        ProgramOptions o = DataFileSettings::Current();
        o.connections[0] = {true, 0, 0, kQel1mTypeIndex};
        o.connections[1] = {true, 1, 1, kQel1mTypeIndex};
        return o;
    }
};

TEST(Timer1Polling, AsksConnectionOneFirst) {
    SimulatedPorts ports;
    std::mutex mu;
    std::string order;
    for (int connection : {1, 2}) {
        Simulator& device = connection == 1 ? *ports.device1 : *ports.device2;
        device.SetType(SimDeviceType::Qel1m);
        device.SetLog([&, connection](const std::string& line) {
            if (line.rfind("rx ", 0) != 0) return;
            std::lock_guard lock(mu);
            order += std::to_string(connection);
        });
    }
    TwoQel1mConnections options;
    DiagnosticLog log;
    WriteHoldOff writing;
    RecordingSink sink{log};
    Connections connections{log, writing, options, ports.SettingsPath()};
    connections.Apply(options.Current());
    for (TSerialPortDriver* driver : {&connections.ComDriver1, &connections.ComDriver2}) driver->SetInputTimeout(100);
    for (int tick = 0; tick < 3; ++tick) connections.Timer1Tick();
    ASSERT_TRUE(ports.device2->WaitRequests(kPollCommandCode, 3, 2000));
    std::lock_guard lock(mu);
    EXPECT_EQ(order, "121212");
}

// Counts how often the whole set of options is read; gives a connection's own options
// without it, as the settings window does.
struct CountingQel1Options : TwoQel1Connections {
    ProgramOptions Current() const override {
        ++reads;
        return TwoQel1Connections::Current();
    }
    ConnectionOptions ConnectionNow(int connection) const override {
        ++connectionReads;
        return TwoQel1Connections::Current().Connection(connection);
    }
    mutable int reads = 0;
    mutable int connectionReads = 0;
};

// A tick with no QEL-1M in use reads each connection's options and nothing else: not the
// whole set with the data file's name and the device names.
TEST_F(ConnectionsTest, ATimer1TickWithoutAQel1mReadsOnlyTheConnectionsOptions) {
    CountingQel1Options counting;
    counting.path = options.path;
    Connections quiet{log, writing, counting, SettingsPath()};
    for (int tick = 0; tick < 5; ++tick) quiet.Timer1Tick();
    EXPECT_EQ(counting.reads, 0);
    EXPECT_EQ(counting.connectionReads, 10);
    // A source that gives no connection of its own reads the whole set and picks from it.
    EXPECT_EQ(options.ConnectionNow(2).portIndex, 1);
    EXPECT_EQ(options.ConnectionNow(1).typeIndex, kQel1TypeIndex);
}

}  // namespace
}  // namespace qel::test
