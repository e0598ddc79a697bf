#include "SimConsole.h"

#include <map>
#include <vector>

#include "SimHex.h"
#include "SimValueWord.h"

namespace qel {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        std::size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
        if (end > i) words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

struct Setting {
    std::string_view key;
    std::string_view value;
    bool hasValue = false;
};

Setting SplitSetting(std::string_view word) {
    const std::size_t eq = word.find('=');
    if (eq == std::string_view::npos) return {word, {}, false};
    return {word.substr(0, eq), word.substr(eq + 1), true};
}

bool IsPacketKey(std::string_view key) {
    static const char* const keys[] = {"device", "record", "time", "date", "dose", "fraction",
                                       "error", "bad-checksum", "extra", "pieces", "pause", "hex"};
    for (const char* k : keys) {
        if (key == k) return true;
    }
    return false;
}

const char* CorruptionText(ReplyCorruption c) {
    switch (c) {
        case ReplyCorruption::HeaderChecksum: return "header";
        case ReplyCorruption::ReversedHeaderChecksum: return "reversed";
        case ReplyCorruption::DataChecksum: return "data";
        case ReplyCorruption::None: break;
    }
    return "off";
}

// The console's reply settings into the device's; its reply split and the lengths for
// other commands stay as they are.
void TakeReplySettings(const DeviceSettings& device, Qel1mReplySettings& settings) {
    settings.address = device.address;
    settings.silent = device.silent;
    settings.replyDelayMs = device.delayMs;
    settings.replyLength[kPollCommandCode] = device.pollReplyLength;
    settings.replyLength[kZeroCommandCode] = device.zeroReplyLength;
    settings.corruption = device.corruption;
}

}  // namespace

SimConsole::SimConsole(Simulator& sim, const CliOptions& options)
    : sim_(sim), packet_(options.packet), device_(options.device), nextRecord_(options.packet.fields.record),
      everyMs_(options.everyMs) {
    sim_.SetType(options.type);
    sim_.SetBaud(options.baud);
    sim_.SetValueWord(device_.valueWord);
    sim_.ChangeReplySettings([&](Qel1mReplySettings& s) { TakeReplySettings(device_, s); });
    sim_.SetRamp(device_.rampPerSecond);
}

uint64_t SimConsole::SendNext() { return Send(packet_, false); }

uint64_t SimConsole::Send(PacketSettings settings, bool recordGiven) {
    SendOptions options;
    options.pieces = settings.pieces;
    options.pauseMs = settings.pauseMs;
    options.extra.assign(settings.extra, '\xFF');
    if (settings.hex) return sim_.SendBytes(*settings.hex, options, true);

    Qel1Fields fields = settings.fields;
    if (!recordGiven) fields.record = nextRecord_;
    nextRecord_ = static_cast<uint16_t>(fields.record + 1);
    if (!settings.fixedTime || !settings.fixedDate) {
        Qel1Fields now;
        SetQel1Time(now);
        if (!settings.fixedTime) {
            fields.hour = now.hour;
            fields.minute = now.minute;
        }
        if (!settings.fixedDate) {
            fields.day = now.day;
            fields.month = now.month;
            fields.year = now.year;
        }
    }
    return sim_.SendPacket(fields, settings.badChecksum, options);
}

bool SimConsole::ApplyDevice(std::string_view key, std::string_view value, bool hasValue, std::string& reply) {
    DeviceSettings changed = device_;
    std::string note, error;
    if (!ApplyDeviceSetting(key, value, hasValue, changed, note, error)) {
        reply = error;
        return false;
    }
    device_ = changed;
    if (key == "value" || key == "value-word") {
        sim_.SetValueWord(device_.valueWord);
    } else if (key == "ramp") {
        sim_.SetRamp(device_.rampPerSecond);
    } else {
        sim_.ChangeReplySettings([&](Qel1mReplySettings& s) { TakeReplySettings(device_, s); });
    }
    if (!note.empty()) reply += (reply.empty() ? "" : "\n") + note;
    return true;
}

bool SimConsole::Execute(std::string_view line, std::string& reply) {
    reply.clear();
    const auto words = Words(line);
    if (words.empty() || words[0][0] == '#') return true;
    const std::string_view command = words[0];
    const std::string_view rest = line.substr(static_cast<std::size_t>(command.data() - line.data()) + command.size());

    if (command == "quit" || command == "exit") return false;
    if (command == "help") {
        reply = HelpText();
    } else if (command == "send") {
        PacketSettings settings = packet_;
        bool recordGiven = false;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const Setting s = SplitSetting(words[i]);
            if (!ApplyPacketSetting(s.key, s.value, s.hasValue, settings, recordGiven, reply)) return true;
        }
        Send(settings, recordGiven);
    } else if (command == "set") {
        if (words.size() < 2) {
            reply = "set needs KEY=VALUE";
            return true;
        }
        // Check every setting before any takes effect.
        PacketSettings packet = packet_;
        DeviceSettings device = device_;
        bool recordGiven = false;
        std::string note;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const Setting s = SplitSetting(words[i]);
            const bool ok = IsPacketKey(s.key)
                                ? ApplyPacketSetting(s.key, s.value, s.hasValue, packet, recordGiven, reply)
                                : ApplyDeviceSetting(s.key, s.value, s.hasValue, device, note, reply);
            if (!ok) return true;
        }
        packet_ = packet;
        if (recordGiven) nextRecord_ = packet_.fields.record;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const Setting s = SplitSetting(words[i]);
            if (!IsPacketKey(s.key)) ApplyDevice(s.key, s.value, s.hasValue, reply);
        }
    } else if (command == "hex") {
        const auto bytes = ParseHexBytes(rest);
        if (!bytes || bytes->empty()) {
            reply = "hex needs bytes such as: hex 00 07 01 2C";
        } else {
            sim_.SendBytes(*bytes);
        }
    } else if (command == "value" || command == "word") {
        if (words.size() != 2) {
            reply = std::string(command) + " needs one value";
        } else {
            ApplyDevice(command == "value" ? "value" : "value-word", words[1], true, reply);
        }
    } else if (command == "every") {
        uint32_t ms = 0;
        if (words.size() == 2 && words[1] == "off") {
            everyMs_ = 0;
        } else if (words.size() == 2 && ParseNumber(words[1], ms)) {
            everyMs_ = ms;
        } else {
            reply = "every needs milliseconds or off";
        }
    } else if (command == "baud") {
        uint32_t baud = 0;
        if (words.size() == 2 && (words[1] == "off" || ParseNumber(words[1], baud))) {
            sim_.SetBaud(baud);
        } else {
            reply = "baud needs bits per second or off";
        }
    } else if (command == "type") {
        const auto type = words.size() == 2 ? ParseDeviceType(words[1]) : std::nullopt;
        if (type) {
            sim_.SetType(*type);
        } else {
            reply = "type needs qel1 or qel1m";
        }
    } else if (command == "status") {
        reply = Status();
    } else {
        reply = "unknown command \"" + std::string(command) + "\"; type help";
    }
    return true;
}

std::string SimConsole::Status() const {
    std::string s = "line " + sim_.Path();
    s += ", playing " + std::string(sim_.Type() == SimDeviceType::Qel1 ? "qel1" : "qel1m");
    s += ", baud " + (sim_.Baud() == 0 ? std::string("off") : std::to_string(sim_.Baud()));
    s += "\nqel1: next record " + std::to_string(nextRecord_) + ", every " +
         (everyMs_ == 0 ? std::string("off") : std::to_string(everyMs_) + " ms");
    const std::string last = sim_.LastRecord();
    s += ", last record " + (last.empty() ? std::string("none") : HexText(last));
    s += "\nqel1m: value word " + DescribeValueWord(sim_.ValueWord()) + ", address " + AddressText(sim_.Address());
    s += ", silent " + std::string(device_.silent ? "on" : "off") + ", delay " + std::to_string(device_.delayMs) +
         " ms, reply bytes " + std::to_string(device_.pollReplyLength) + ", zero reply bytes " +
         std::to_string(device_.zeroReplyLength) + ", corrupt " + CorruptionText(device_.corruption);
    std::map<int, unsigned> counts;
    for (const auto& r : sim_.Requests()) ++counts[static_cast<unsigned char>(r[6])];
    s += "\nrequests:";
    if (counts.empty()) s += " none";
    for (const auto& [command, count] : counts) {
        s += " command " + std::to_string(command) + ": " + std::to_string(count) + ";";
    }
    s += "\nreceived " + std::to_string(sim_.Received().size()) + " bytes, sent " +
         std::to_string(sim_.Sent().size()) + " transmissions";
    return s;
}

}  // namespace qel
