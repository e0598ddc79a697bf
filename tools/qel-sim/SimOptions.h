#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SimDiBusDevice.h"
#include "SimPacket.h"
#include "Simulator.h"

namespace qel {

// What the next QEL-1 packet is made of, when no other value is given for it.
struct PacketSettings {
    Qel1Fields fields;
    bool fixedTime = false;  // else the time of sending
    bool fixedDate = false;  // else the date of sending
    bool badChecksum = false;
    std::size_t extra = 0;   // bytes FF appended
    std::vector<std::size_t> pieces;
    uint32_t pauseMs = 0;
    std::optional<std::string> hex;  // raw bytes sent in place of a packet from fields
};

// One packet setting, as "--key value" on the command line or "key=value" after send/set:
// device, record, time (HH:MM), date (DD.MM.YY), dose, fraction, error, bad-checksum (no
// value, or 0/1), extra, pieces (10,5), pause. False with a message for a bad key or value.
bool ApplyPacketSetting(std::string_view key, std::string_view value, bool hasValue, PacketSettings& settings,
                        bool& recordGiven, std::string& error);

// The QEL-1M's behaviour.
struct DeviceSettings {
    uint16_t valueWord = 0;
    std::string address{"\x01\x17\x2D", 3};  // 1.23.45
    bool silent = false;
    uint32_t delayMs = 0;
    int pollReplyLength = kPollReplyLength;
    int zeroReplyLength = kZeroReplyLength;
    ReplyCorruption corruption = ReplyCorruption::None;
    double rampPerSecond = 0;
};

// One device setting: value (1.23), value-word (047B), address (1.23.45), silent (no value,
// or on/off), delay, reply-bytes, zero-reply-bytes, corrupt (no value = header, or
// off/header/reversed/data), ramp (no value = 0.1 a second, or the rate; off or 0 stops it).
// On success `note` may say how a value was stored.
bool ApplyDeviceSetting(std::string_view key, std::string_view value, bool hasValue, DeviceSettings& settings,
                        std::string& note, std::string& error);

struct CliOptions {
    bool help = false;
    std::string link;
    std::string port;  // empty: a pseudo-terminal
    SimDeviceType type = SimDeviceType::Qel1;
    uint32_t baud = 0;  // pacing; 0 none
    PacketSettings packet;
    bool recordGiven = false;
    uint32_t everyMs = 0;
    DeviceSettings device;
    bool noStdin = false;
    std::vector<std::string> notes;  // how given values were understood, for the user
};

// argv without the program name. False with a message for anything not understood.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

std::string HelpText();

// Helpers shared with the console (ParseNumber is in SimPacket.h).
std::optional<SimDeviceType> ParseDeviceType(std::string_view text);
std::optional<bool> ParseOnOff(std::string_view text);

}  // namespace qel
