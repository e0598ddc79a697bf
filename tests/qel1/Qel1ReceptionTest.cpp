#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "Qel1Samples.h"
#include "ReceptionRig.h"

namespace qel {
namespace {

using test::ReceptionRig;
using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

using test::ExampleFields;
using test::kExampleLine;
using test::kExamplePacket;
const std::string kAccepted = std::string(kPacketReceivedPrefix) + kExampleLine;
const std::string kBadChecksum = kExamplePacket.substr(0, 14) + "\xDC";
const std::string kLastRecordRequest("\x04\x52\x44\x00", 4);

using Lines = std::vector<std::string>;
using Beeps = std::vector<BeepKind>;
constexpr BeepKind kDefault = BeepKind::Default;
constexpr BeepKind kQuestion = BeepKind::Question;

class ReceptionPipelineTest : public ::testing::Test {
protected:
    // Runs the polling ticks until the list holds `count` lines.
    bool RunUntilLines(std::size_t count, uint32_t maxMs = 3000) {
        return rig.loop.RunUntil([&] { return rig.sink.lines.size() >= count; }, maxMs);
    }
    bool RunUntilBeeps(std::size_t count, uint32_t maxMs = 3000) {
        return rig.loop.RunUntil([&] { return rig.sink.beeps.size() >= count; }, maxMs);
    }
    bool RunUntilReceived(Simulator& device, std::size_t count, uint32_t maxMs) {
        return rig.loop.RunUntil([&] { return device.Received().size() >= count; }, maxMs);
    }
    // The device sends bytes at once, and they are all waiting before the next poll.
    void Send(Simulator& device, TSerialPortDriver& driver, const std::string& bytes) {
        ASSERT_TRUE(ReceptionRig::DeviceSends(device, bytes));
        ASSERT_TRUE(ReceptionRig::Settle(driver, static_cast<uint32_t>(bytes.size())));
    }
    // The device sends `bytes` while the next receive event runs (at its first beep, before
    // the handler has looked at anything).
    void DuringNextEventSend(Simulator& device, TSerialPortDriver& driver, std::string bytes) {
        rig.sink.onBeep = [this, &device, &driver, bytes](BeepKind kind) {
            if (kind != kDefault) return;
            rig.sink.onBeep = nullptr;
            Send(device, driver, bytes);
        };
    }
    bool DataFileExists() const { return fs::exists(rig.window.path); }

    ReceptionRig rig;
};

TEST_F(ReceptionPipelineTest, ExamplePacketReachesListAndDataFileOnBothConnections) {
    Send(*rig.device1, rig.driver1, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(1));
    EXPECT_EQ(rig.sink.lines, Lines{kAccepted});
    EXPECT_EQ(rig.sink.beeps, Beeps{kDefault});
    EXPECT_EQ(rig.DataFile(), kExampleLine + "\r\n");

    Send(*rig.device2, rig.driver2, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(2));
    EXPECT_EQ(rig.sink.lines, (Lines{kAccepted, kAccepted}));
    EXPECT_EQ(rig.DataFile(), kExampleLine + "\r\n" + kExampleLine + "\r\n");
    EXPECT_EQ(rig.device1->Received(), "");
    EXPECT_EQ(rig.device2->Received(), "");
}

TEST_F(ReceptionPipelineTest, TheChecksumCoversEveryByteBeforeIt) {
    // Device 263 and a reserved byte: bytes 0 and 9 are not zero.
    Qel1Fields fields = ExampleFields();
    fields.device = 263;
    fields.reserved = 0x5A;
    Send(*rig.device1, rig.driver1, BuildQel1Packet(fields));
    ASSERT_TRUE(RunUntilLines(1));
    EXPECT_EQ(rig.sink.lines, Lines{"Принят пакет: 00263 00300 09:45 31.12.05 00012,500"});
}

// The list's texts of the receive handler, as the clinic's staff know them.
TEST(ReceptionTexts, AreTheProgramsOwn) {
    EXPECT_STREQ(kPiecesRestored, "Данные приняты кусочно - восстановлены");
    EXPECT_STREQ(kPreviousNotWritten, "Ещё не записаны предыдущие данные - текущие - игнорируются.");
    EXPECT_STREQ(kDeviceErrorPrefix, "Приняты данные с информацией о внутренней ошибке прибора КЭЛ-1 под номером ");
}

TEST_F(ReceptionPipelineTest, DeviceErrorIsReportedAndNeverAsksForTheLastRecord) {
    std::string error = kExamplePacket;
    error[13] = 0x07;
    error[14] = static_cast<char>(0xE2);

    Send(*rig.device1, rig.driver1, error);
    ASSERT_TRUE(RunUntilLines(1));
    EXPECT_EQ(rig.sink.lines, Lines{std::string(kDeviceErrorPrefix) + "7"});
    EXPECT_EQ(rig.sink.beeps, (Beeps{kDefault, kQuestion}));

    rig.window.lastRecordIfError = true;  // whatever the flag says
    error[13] = static_cast<char>(200);
    error[14] = static_cast<char>(0xDB + 200);
    Send(*rig.device2, rig.driver2, error);
    ASSERT_TRUE(RunUntilLines(2));
    EXPECT_EQ(rig.sink.lines[1], std::string(kDeviceErrorPrefix) + "200");
    rig.loop.RunFor(100);
    EXPECT_EQ(rig.device2->Received(), "");
    EXPECT_FALSE(DataFileExists());
}

TEST_F(ReceptionPipelineTest, BadChecksumIsReportedWithTheFlagOff) {
    Send(*rig.device1, rig.driver1, kBadChecksum);
    ASSERT_TRUE(RunUntilLines(1));
    EXPECT_EQ(rig.sink.events, (Lines{"beep:default", "line:" + std::string(kChecksumMismatch), "beep:question"}));
    rig.loop.RunFor(100);
    EXPECT_FALSE(DataFileExists());
    EXPECT_EQ(rig.device1->Received(), "");
}

TEST_F(ReceptionPipelineTest, FlagOnConnectionOnePurgesAndSendsNothing) {
    rig.window.lastRecordIfError = true;
    // Bytes that arrive while the event runs are thrown away by the purge.
    DuringNextEventSend(*rig.device1, rig.driver1, "12345");
    Send(*rig.device1, rig.driver1, kBadChecksum);
    ASSERT_TRUE(RunUntilBeeps(1));
    rig.loop.RunFor(400);
    EXPECT_EQ(rig.sink.beeps, Beeps{kDefault});
    EXPECT_TRUE(rig.sink.lines.empty());
    EXPECT_EQ(rig.driver1.InputCount(), 0u);
    EXPECT_EQ(rig.device1->Received(), "");
    EXPECT_FALSE(DataFileExists());
}

TEST_F(ReceptionPipelineTest, FlagOnConnectionTwoSendsTheCommandAndPurgesNothing) {
    rig.window.lastRecordIfError = true;
    // These bytes stay queued and make a second, short event of their own, refused as well.
    DuringNextEventSend(*rig.device2, rig.driver2, "12345");
    Send(*rig.device2, rig.driver2, kBadChecksum);
    ASSERT_TRUE(RunUntilReceived(*rig.device2, 8, 6000));
    rig.loop.RunFor(100);
    EXPECT_EQ(rig.device2->Received(), kLastRecordRequest + kLastRecordRequest);
    EXPECT_EQ(rig.sink.beeps, (Beeps{kDefault, kDefault}));
    EXPECT_TRUE(rig.sink.lines.empty());
    EXPECT_EQ(rig.device1->Received(), "");
    EXPECT_FALSE(DataFileExists());
}

TEST_F(ReceptionPipelineTest, TheDeviceRepeatsItsLastRecordAfterABadChecksum) {
    rig.window.lastRecordIfError = true;
    ASSERT_TRUE(rig.device2->WaitSent(rig.device2->SendPacket(ExampleFields(), /*badChecksum=*/true), 2000));
    ASSERT_TRUE(ReceptionRig::Settle(rig.driver2, 15));
    ASSERT_TRUE(rig.loop.RunUntil([&] { return std::ranges::count(rig.sink.lines, kAccepted) == 1; }, 3000));
    EXPECT_EQ(rig.device2->Received(), kLastRecordRequest);
    // The repeated packet may reach a poll in two pieces; nothing else is listed.
    Lines lines = rig.sink.lines;
    std::erase(lines, std::string(kPiecesRestored));
    EXPECT_EQ(lines, Lines{kAccepted});
    EXPECT_EQ(rig.sink.beeps, (Beeps{kDefault, kDefault}));
    EXPECT_EQ(rig.DataFile(), kExampleLine + "\r\n");
}

TEST_F(ReceptionPipelineTest, AQel1MConnectionFilesNothingAndNotesEachBurstOnce) {
    rig.window.lastRecordIfError = true;
    rig.window.types[0] = 1;
    rig.window.types[1] = 1;
    // Even bytes that pass every check of a packet are a reply's tail or noise there.
    Send(*rig.device1, rig.driver1, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(1));
    Send(*rig.device1, rig.driver1, kBadChecksum);  // the same burst
    Send(*rig.device2, rig.driver2, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(2));
    rig.loop.RunFor(400);
    EXPECT_EQ(rig.sink.lines, (Lines{"Приняты данные вне обмена с прибором КЭЛ-1М - данные игнорированы, соединение 1",
                                     "Приняты данные вне обмена с прибором КЭЛ-1М - данные игнорированы, соединение 2"}));
    EXPECT_TRUE(rig.sink.beeps.empty());
    EXPECT_EQ(rig.device1->Received(), "");
    EXPECT_EQ(rig.device2->Received(), "");
    EXPECT_FALSE(DataFileExists());
}

TEST_F(ReceptionPipelineTest, PiecesWithinTheInputTimeoutAreJoined) {
    rig.device1->SendBytes(kExamplePacket, SendOptions{{10}, 120, ""});
    ASSERT_TRUE(RunUntilLines(2));
    EXPECT_EQ(rig.sink.lines, (Lines{kPiecesRestored, kAccepted}));
    EXPECT_EQ(rig.sink.beeps, Beeps{kDefault});
    EXPECT_EQ(rig.DataFile(), kExampleLine + "\r\n");

    // The rest may come in several bursts, as long as no gap exceeds the input timeout.
    rig.device1->SendBytes(kExamplePacket, SendOptions{{10, 2}, 100, ""});
    ASSERT_TRUE(RunUntilLines(4));
    EXPECT_EQ(rig.sink.lines, (Lines{kPiecesRestored, kAccepted, kPiecesRestored, kAccepted}));
    EXPECT_EQ(rig.sink.beeps, (Beeps{kDefault, kDefault}));
}

TEST_F(ReceptionPipelineTest, UpToFivePiecesWithGapsUnderTheInputTimeoutAreFiledOnBothConnections) {
    std::size_t lines = 0;
    for (Simulator* device : {rig.device1.get(), rig.device2.get()}) {
        for (const std::vector<std::size_t>& pieces : {std::vector<std::size_t>{10, 2}, {3, 3, 3, 3}}) {
            SCOPED_TRACE(std::to_string(pieces.size() + 1) + " pieces");
            device->SendBytes(kExamplePacket, SendOptions{pieces, 150, ""});
            lines += 2;
            ASSERT_TRUE(RunUntilLines(lines, 5000));
            EXPECT_EQ(rig.sink.lines[lines - 2], kPiecesRestored);
            EXPECT_EQ(rig.sink.lines[lines - 1], kAccepted);
        }
    }
    EXPECT_EQ(std::ranges::count(rig.sink.beeps, kQuestion), 0);
}

TEST_F(ReceptionPipelineTest, TenThenSixBytesAreRefusedAndAllLost) {
    rig.device1->SendBytes(kExamplePacket + "\x01", SendOptions{{10}, 120, ""});
    ASSERT_TRUE(RunUntilLines(1));
    rig.loop.RunFor(400);
    EXPECT_EQ(rig.sink.lines, Lines{kNotFifteenBytes});
    EXPECT_EQ(rig.sink.beeps, (Beeps{kDefault, kQuestion}));
    EXPECT_FALSE(DataFileExists());
}

TEST_F(ReceptionPipelineTest, TenBytesAloneAreRefusedAfterTheInputTimeout) {
    Steady::time_point eventStart;
    rig.sink.onBeep = [&](BeepKind kind) {
        if (kind == kDefault) eventStart = Steady::now();
    };
    Send(*rig.device1, rig.driver1, kExamplePacket.substr(0, 10));
    ASSERT_TRUE(RunUntilLines(1));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - eventStart);
    EXPECT_EQ(rig.sink.lines, Lines{kNotFifteenBytes});
    EXPECT_GE(waited.count(), 200);  // ComDriver1's input timeout
    EXPECT_FALSE(DataFileExists());
}

// Whole packets that waited in the queue together reach one event: when every piece has a
// good checksum, each is handled on its own, in order; anything else is refused whole.
TEST_F(ReceptionPipelineTest, WholePacketsInOneEventAreHandledOneByOneOnlyWhenAllAreGood) {
    std::string second = kExamplePacket;
    second[3] = 0x2D;  // record 301
    second[14] = static_cast<char>(0xDC);
    std::string deviceError = kExamplePacket;
    deviceError[13] = 0x07;
    deviceError[14] = static_cast<char>(0xE2);
    const std::string secondLine = "00007 00301 09:45 31.12.05 00012,500";
    const std::string accepted2 = std::string(kPacketReceivedPrefix) + secondLine;
    const std::string error7 = std::string(kDeviceErrorPrefix) + "7";
    struct Case {
        const char* name;
        std::string bytes;
        Lines lines;
        Beeps beeps;
        std::string dataFile;
    };
    const std::vector<Case> cases{
        {"two good packets", kExamplePacket + second, {kAccepted, accepted2}, {kDefault, kDefault},
         kExampleLine + "\r\n" + secondLine + "\r\n"},
        {"three, the middle one a device error", kExamplePacket + deviceError + second,
         {kAccepted, error7, accepted2}, {kDefault, kDefault, kQuestion, kDefault},
         kExampleLine + "\r\n" + secondLine + "\r\n"},
        {"one bad checksum among two", kExamplePacket + kBadChecksum, {kNotFifteenBytes}, {kDefault, kQuestion}, ""},
        {"a good packet and noise", kExamplePacket + "\x01", {kNotFifteenBytes}, {kDefault, kQuestion}, ""},
        {"two good packets and noise", kExamplePacket + second + "\x01", {kNotFifteenBytes}, {kDefault, kQuestion},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.sink.Clear();
        fs::remove(rig.window.path);
        Send(*rig.device1, rig.driver1, c.bytes);
        ASSERT_TRUE(RunUntilLines(c.lines.size()));
        rig.loop.RunFor(300);
        EXPECT_EQ(rig.sink.lines, c.lines);
        EXPECT_EQ(rig.sink.beeps, c.beeps);
        EXPECT_EQ(DataFileExists() ? rig.DataFile() : "", c.dataFile);
    }
}

TEST_F(ReceptionPipelineTest, SixteenBytesAreRefusedWithoutReadingFurther) {
    // Were the handler to read on, it would swallow these five bytes; they must make an
    // event of their own instead.
    DuringNextEventSend(*rig.device1, rig.driver1, "12345");
    Send(*rig.device1, rig.driver1, kExamplePacket + "\x01");
    ASSERT_TRUE(RunUntilLines(2));
    EXPECT_EQ(rig.sink.lines, (Lines{kNotFifteenBytes, kNotFifteenBytes}));
    EXPECT_EQ(rig.sink.beeps, (Beeps{kDefault, kQuestion, kDefault, kQuestion}));
    EXPECT_FALSE(DataFileExists());
}

TEST_F(ReceptionPipelineTest, PacketsAreRefusedWhileWritesAreHeldOffAndAcceptedAfter) {
    const std::string dataFile = rig.window.path;
    rig.window.rewrite = true;
    rig.window.path = rig.dir / "missing/Data.qel";
    Send(*rig.device1, rig.driver1, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(2));
    // Listed before the write failed, and the lost record named at once.
    EXPECT_EQ(rig.sink.lines, (Lines{kAccepted, "Запись не сделана: " + kExampleLine + " - файл \"" +
                                                    rig.window.path + "\": нет такой папки"}));
    ASSERT_TRUE(rig.writer.WriteBlocked());

    rig.window.path = dataFile;
    Send(*rig.device1, rig.driver1, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(3));
    EXPECT_EQ(rig.sink.lines[2], kPreviousNotWritten);
    // A wrong-sized block still gets the size message, a bad checksum the hold-off message.
    Send(*rig.device1, rig.driver1, kExamplePacket + "\x01");
    ASSERT_TRUE(RunUntilLines(4));
    EXPECT_EQ(rig.sink.lines[3], kNotFifteenBytes);
    Send(*rig.device1, rig.driver1, kBadChecksum);
    ASSERT_TRUE(RunUntilLines(5));
    EXPECT_EQ(rig.sink.lines[4], kPreviousNotWritten);
    EXPECT_FALSE(DataFileExists());

    // Timer1: ten ticks end the hold-off (a short period keeps the test quick).
    auto timer1 = rig.loop.MakeTickSource();
    timer1->Start(20, [this] { rig.writer.HoldOffTick(); });
    ASSERT_TRUE(rig.loop.RunUntil([&] { return !rig.writer.WriteBlocked(); }, 3000));
    timer1->Stop();
    EXPECT_EQ(rig.sink.lines.back(), kDataFileNotAccessible);

    Send(*rig.device1, rig.driver1, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(7));
    EXPECT_EQ(rig.sink.lines.back(), kAccepted);
    EXPECT_EQ(rig.DataFile(), kExampleLine + "\r\n");
}

// Which check speaks when a packet fails more than one: size, then the hold-off, then the
// checksum, then the device's error byte.
TEST_F(ReceptionPipelineTest, TheFirstFailingCheckInTheFixedOrderGivesTheMessage) {
    std::string deviceError = kExamplePacket;
    deviceError[13] = 0x07;
    deviceError[14] = static_cast<char>(0xE2);
    std::string badChecksumAndError = deviceError;
    badChecksumAndError[14] = 0x00;
    struct Case {
        const char* name;
        bool blocked;
        std::string bytes;
        std::string message;
    };
    const std::vector<Case> cases{
        {"bad checksum and an error byte", false, badChecksumAndError, kChecksumMismatch},
        {"held off, an error byte", true, deviceError, kPreviousNotWritten},
        {"held off, bad checksum and an error byte", true, badChecksumAndError, kPreviousNotWritten},
        {"held off, 16 bytes", true, kExamplePacket + "\x01", kNotFifteenBytes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.blocked) {
            rig.window.rewrite = true;
            const std::string path = rig.window.path;
            rig.window.path.clear();
            rig.writer.Save2File("x", {});  // a failed write holds reception off
            rig.window.path = path;
            rig.window.rewrite = false;
        }
        ASSERT_EQ(rig.writer.WriteBlocked(), c.blocked);
        rig.sink.Clear();
        Send(*rig.device1, rig.driver1, c.bytes);
        ASSERT_TRUE(RunUntilLines(1));
        EXPECT_EQ(rig.sink.lines, Lines{c.message});
        while (rig.writer.WriteBlocked()) rig.writer.HoldOffTick();
    }
    EXPECT_FALSE(DataFileExists());
}

TEST_F(ReceptionPipelineTest, TheAcceptedPacketIsListedBeforeItIsWritten) {
    bool writtenWhenListed = true;
    rig.sink.onLine = [&](const std::string& line) {
        if (line == kAccepted) writtenWhenListed = DataFileExists();
    };
    Send(*rig.device1, rig.driver1, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(1));
    EXPECT_FALSE(writtenWhenListed);
    EXPECT_EQ(rig.DataFile(), kExampleLine + "\r\n");
}

TEST_F(ReceptionPipelineTest, HeldOffWithTheFlagOnAsksConnectionTwoInsteadOfReporting) {
    rig.window.rewrite = true;
    rig.window.path.clear();  // every write fails
    Send(*rig.device1, rig.driver1, kExamplePacket);
    ASSERT_TRUE(RunUntilLines(1));
    ASSERT_TRUE(rig.writer.WriteBlocked());

    rig.window.lastRecordIfError = true;
    Send(*rig.device2, rig.driver2, kExamplePacket);
    ASSERT_TRUE(RunUntilReceived(*rig.device2, 4, 3000));
    EXPECT_EQ(rig.device2->Received(), kLastRecordRequest);
    ASSERT_EQ(rig.sink.lines.size(), 2u);  // the first record, and that it was not written
    EXPECT_EQ(rig.sink.lines[0], kAccepted);
}

TEST_F(ReceptionPipelineTest, AnEventInsideAReportsBoxRunsToCompletion) {
    rig.sink.screenMessages = true;
    // The box's message loop keeps polling: a good packet arrives and is filed meanwhile.
    rig.sink.whileBoxOpen = [this] {
        rig.sink.whileBoxOpen = nullptr;
        Send(*rig.device1, rig.driver1, kExamplePacket);
        rig.loop.RunUntil([&] { return rig.sink.lines.size() >= 2; }, 3000);
    };
    Send(*rig.device1, rig.driver1, kBadChecksum);
    ASSERT_TRUE(RunUntilLines(2));
    rig.loop.RunFor(100);
    EXPECT_EQ(rig.sink.lines, (Lines{kChecksumMismatch, kAccepted}));
    EXPECT_EQ(rig.sink.boxes, Lines{kChecksumMismatch});
    EXPECT_EQ(rig.DataFile(), kExampleLine + "\r\n");
}

}  // namespace
}  // namespace qel
