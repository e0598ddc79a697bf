#include "SimOptions.h"

#include <charconv>
#include <set>

#include "DiBusModTransport.h"
#include "SimHex.h"
#include "SimValueWord.h"

namespace qel {
namespace {

constexpr double kDefaultRampPerSecond = 0.1;
constexpr std::size_t kMaxExtraBytes = 65536;

template <typename T>
bool ParseBounded(std::string_view text, T& value, uint32_t low, uint32_t high) {
    uint32_t n = 0;
    if (!ParseNumber(text, n) || n < low || n > high) return false;
    value = static_cast<T>(n);
    return true;
}

bool Bad(std::string& error, std::string_view key, std::string_view value, std::string_view expected) {
    error = "bad " + std::string(key) + " \"" + std::string(value) + "\": expected " + std::string(expected);
    return false;
}

// "HH:MM"
bool ParseTime(std::string_view text, Qel1Fields& fields) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    uint8_t hour = 0, minute = 0;
    if (!ParseBounded(text.substr(0, colon), hour, 0, 23) || !ParseBounded(text.substr(colon + 1), minute, 0, 59)) {
        return false;
    }
    fields.hour = hour;
    fields.minute = minute;
    return true;
}

// "DD.MM.YY" or "DD.MM.YYYY"
bool ParseDate(std::string_view text, Qel1Fields& fields) {
    const std::size_t dot1 = text.find('.');
    if (dot1 == std::string_view::npos) return false;
    const std::size_t dot2 = text.find('.', dot1 + 1);
    if (dot2 == std::string_view::npos) return false;
    uint8_t day = 0, month = 0;
    uint32_t year = 0;
    const std::string_view yearText = text.substr(dot2 + 1);
    if (!ParseBounded(text.substr(0, dot1), day, 1, 31) ||
        !ParseBounded(text.substr(dot1 + 1, dot2 - dot1 - 1), month, 1, 12) ||
        (yearText.size() != 2 && yearText.size() != 4) || !ParseNumber(yearText, year)) {
        return false;
    }
    fields.day = day;
    fields.month = month;
    fields.year = static_cast<uint8_t>(year % 100);
    return true;
}

bool ParsePieces(std::string_view text, std::vector<std::size_t>& pieces) {
    std::vector<std::size_t> list;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        uint32_t n = 0;
        if (!ParseNumber(text.substr(0, comma), n) || n == 0 || n > kMaxExtraBytes) return false;
        list.push_back(n);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
        if (text.empty()) return false;
    }
    pieces = std::move(list);
    return true;
}

std::optional<uint16_t> ParseWord(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 4) return std::nullopt;
    uint16_t word = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), word, 16);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return word;
}

std::optional<ReplyCorruption> ParseCorruption(std::string_view text) {
    if (text == "off" || text == "none") return ReplyCorruption::None;
    if (text == "header") return ReplyCorruption::HeaderChecksum;
    if (text == "reversed") return ReplyCorruption::ReversedHeaderChecksum;
    if (text == "data") return ReplyCorruption::DataChecksum;
    return std::nullopt;
}

const std::set<std::string_view> kPacketKeys{"device", "record", "time", "date", "dose", "fraction",
                                              "error", "bad-checksum", "extra", "pieces", "pause", "hex"};
const std::set<std::string_view> kDeviceKeys{"value", "value-word", "address", "silent", "delay",
                                              "reply-bytes", "zero-reply-bytes", "corrupt", "ramp"};
// Options that stand alone; a value is given to them only with "=".
const std::set<std::string_view> kFlags{"help", "pty", "no-stdin", "bad-checksum", "silent", "corrupt", "ramp"};

}  // namespace

std::optional<SimDeviceType> ParseDeviceType(std::string_view text) {
    if (text == "qel1") return SimDeviceType::Qel1;
    if (text == "qel1m") return SimDeviceType::Qel1m;
    return std::nullopt;
}

std::optional<bool> ParseOnOff(std::string_view text) {
    if (text == "on" || text == "1" || text == "yes") return true;
    if (text == "off" || text == "0" || text == "no") return false;
    return std::nullopt;
}

bool ApplyPacketSetting(std::string_view key, std::string_view value, bool hasValue, PacketSettings& s,
                        bool& recordGiven, std::string& error) {
    if (key == "bad-checksum") {
        const auto on = hasValue ? ParseOnOff(value) : std::optional<bool>(true);
        if (!on) return Bad(error, key, value, "on or off");
        s.badChecksum = *on;
        return true;
    }
    if (!hasValue) {
        error = std::string(key) + " needs a value";
        return false;
    }
    if (key == "device") {
        return ParseBounded(value, s.fields.device, 0, 65535) || Bad(error, key, value, "0 to 65535");
    }
    if (key == "record") {
        if (!ParseBounded(value, s.fields.record, 0, 65535)) return Bad(error, key, value, "0 to 65535");
        recordGiven = true;
        return true;
    }
    if (key == "time") {
        if (value == "now") {
            s.fixedTime = false;
            return true;
        }
        if (!ParseTime(value, s.fields)) return Bad(error, key, value, "HH:MM or now");
        s.fixedTime = true;
        return true;
    }
    if (key == "date") {
        if (value == "now") {
            s.fixedDate = false;
            return true;
        }
        if (!ParseDate(value, s.fields)) return Bad(error, key, value, "DD.MM.YY or now");
        s.fixedDate = true;
        return true;
    }
    if (key == "dose") {
        return ParseDose(value, s.fields.doseInteger, s.fields.doseFraction) ||
               Bad(error, key, value, "a number such as 12.5 (0 to 65535, fraction digits 0 to 255, no leading 0)");
    }
    if (key == "fraction") {
        return ParseBounded(value, s.fields.doseFraction, 0, 255) || Bad(error, key, value, "0 to 255");
    }
    if (key == "error") {
        return ParseBounded(value, s.fields.error, 0, 255) || Bad(error, key, value, "0 to 255");
    }
    if (key == "extra") {
        return ParseBounded(value, s.extra, 0, kMaxExtraBytes) || Bad(error, key, value, "0 to 65536 bytes");
    }
    if (key == "pieces") {
        if (value == "off" || value == "0") {
            s.pieces.clear();
            return true;
        }
        return ParsePieces(value, s.pieces) || Bad(error, key, value, "piece sizes such as 10,5");
    }
    if (key == "pause") {
        return ParseNumber(value, s.pauseMs) || Bad(error, key, value, "milliseconds");
    }
    if (key == "hex") {
        if (value == "off") {
            s.hex.reset();
            return true;
        }
        const auto bytes = ParseHexBytes(value);
        if (!bytes || bytes->empty()) return Bad(error, key, value, "hex bytes such as \"00 07 01 2C\"");
        s.hex = *bytes;
        return true;
    }
    error = "unknown packet setting " + std::string(key);
    return false;
}

bool ApplyDeviceSetting(std::string_view key, std::string_view value, bool hasValue, DeviceSettings& s,
                        std::string& note, std::string& error) {
    if (key == "silent") {
        const auto on = hasValue ? ParseOnOff(value) : std::optional<bool>(true);
        if (!on) return Bad(error, key, value, "on or off");
        s.silent = *on;
        return true;
    }
    if (key == "corrupt") {
        const auto c = hasValue ? ParseCorruption(value) : std::optional<ReplyCorruption>(ReplyCorruption::HeaderChecksum);
        if (!c) return Bad(error, key, value, "off, header, reversed or data");
        s.corruption = *c;
        return true;
    }
    if (key == "ramp") {
        if (!hasValue) {
            s.rampPerSecond = kDefaultRampPerSecond;
            return true;
        }
        if (value == "off") {
            s.rampPerSecond = 0;
            return true;
        }
        const auto rate = ParseValueText(value);
        if (!rate) return Bad(error, key, value, "a value per second such as 0.1, or off");
        s.rampPerSecond = *rate;
        return true;
    }
    if (!hasValue) {
        error = std::string(key) + " needs a value";
        return false;
    }
    if (key == "value") {
        const auto v = ParseValueText(value);
        const auto word = v ? EncodeValueWord(*v) : std::nullopt;
        if (!word) return Bad(error, key, value, "a number from 0 to 1.023E32 such as 1.23");
        s.valueWord = *word;
        note = "value " + std::string(value) + " is value word " + DescribeValueWord(*word);
        return true;
    }
    if (key == "value-word") {
        const auto word = ParseWord(value);
        if (!word) return Bad(error, key, value, "1 to 4 hex digits such as 047B");
        s.valueWord = *word;
        note = "value word " + DescribeValueWord(*word);
        return true;
    }
    if (key == "address") {
        try {
            s.address = ParseDeviceAddress(value);
        } catch (const EFormatError&) {
            return Bad(error, key, value, "three numbers such as 1.23.45");
        }
        return true;
    }
    if (key == "delay") {
        return ParseNumber(value, s.delayMs) || Bad(error, key, value, "milliseconds");
    }
    if (key == "reply-bytes" || key == "zero-reply-bytes") {
        uint32_t n = 0;
        if (!ParseNumber(value, n) || !IsReplyLength(static_cast<int>(n))) {
            return Bad(error, key, value, "13, 14, 18, 20, 25, 26 or 27");
        }
        (key == "reply-bytes" ? s.pollReplyLength : s.zeroReplyLength) = static_cast<int>(n);
        return true;
    }
    error = "unknown device setting " + std::string(key);
    return false;
}

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& o, std::string& error) {
    bool ptyGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "-h") arg = "--help";
        if (arg.substr(0, 2) != "--" || arg.size() == 2) {
            error = "unexpected argument \"" + args[i] + "\" (see --help)";
            return false;
        }
        arg.remove_prefix(2);
        const std::size_t eq = arg.find('=');
        const std::string_view key = arg.substr(0, eq);
        bool hasValue = eq != std::string_view::npos;
        std::string_view value = hasValue ? arg.substr(eq + 1) : std::string_view{};
        if (!hasValue && !kFlags.count(key) && (kPacketKeys.count(key) || kDeviceKeys.count(key) ||
                                                key == "link" || key == "port" || key == "type" ||
                                                key == "baud" || key == "every")) {
            if (i + 1 >= args.size()) {
                error = "--" + std::string(key) + " needs a value";
                return false;
            }
            value = args[++i];
            hasValue = true;
        }
        std::string note;
        if (key == "help") {
            o.help = true;
        } else if (key == "pty") {
            ptyGiven = true;
        } else if (key == "no-stdin") {
            o.noStdin = true;
        } else if (key == "link") {
            if (value.empty()) return Bad(error, key, value, "a path");
            o.link = value;
        } else if (key == "port") {
            if (value.empty()) return Bad(error, key, value, "a device path");
            o.port = value;
        } else if (key == "type") {
            const auto type = ParseDeviceType(value);
            if (!type) return Bad(error, key, value, "qel1 or qel1m");
            o.type = *type;
        } else if (key == "baud") {
            if (!ParseNumber(value, o.baud)) return Bad(error, key, value, "bits per second such as 4800");
        } else if (key == "every") {
            if (!ParseNumber(value, o.everyMs)) return Bad(error, key, value, "milliseconds");
        } else if (kPacketKeys.count(key)) {
            if (!ApplyPacketSetting(key, value, hasValue, o.packet, o.recordGiven, error)) return false;
        } else if (kDeviceKeys.count(key)) {
            if (!ApplyDeviceSetting(key, value, hasValue, o.device, note, error)) return false;
            if (!note.empty()) o.notes.push_back(note);
        } else {
            error = "unknown option --" + std::string(key) + " (see --help)";
            return false;
        }
    }
    if (!o.port.empty() && (ptyGiven || !o.link.empty())) {
        error = "--port cannot go with --pty or --link";
        return false;
    }
    return true;
}

std::string HelpText() {
    return R"(qel-sim - plays a QEL-1 or QEL-1M dose meter on a serial line, for trying out
and testing QEL-1 Agent without the device.

Usage: qel-sim [--pty [--link PATH] | --port DEVICE] [--type qel1|qel1m] [options]

The first line on standard output is the path of the line to open (the pseudo-terminal's
slave, or DEVICE). Everything the simulator receives and sends is logged on standard
error, bytes in hex, with the CLOCK_MONOTONIC time at which each transmission's last byte
was written. Commands are then read from standard input, one a line (below). The program
ends on "quit", at the end of standard input, or on SIGINT/SIGTERM; it removes its link.
Running in the background with no input (for example "< /dev/null" with --every), give
--no-stdin: standard input is then not read and only a signal ends it.

Line:
  --pty              make a pseudo-terminal (the default); the simulator keeps its slave
                     open too, so the program under test may open and close it freely.
                     Unlike a real line, what is sent while the program does not have it
                     open waits there and is read by whoever opens it next
  --link PATH        also make a symbolic link PATH to it (replaces an existing link,
                     never another file; removed at the end)
  --port DEVICE      open a serial device instead, exclusively, raw 8N1 at --baud
                     (4800 when not given)
  --baud N           send at the pace of N baud: one byte every ten bit times (4800 Bd:
                     2.083 ms a byte), each written when its last bit would have arrived.
                     Without it, each piece is written at once (on a real port the port
                     itself then sets the pace)
  --type qel1|qel1m  the device to play (default qel1)
  --no-stdin         do not read standard input
  -h, --help         this text

QEL-1 (sends a 15-byte packet; answers the last-record command 04 52 44 00 by sending
its last packet again, with a right checksum):
  --device N         device number, 0..65535 (default 1)
  --record N         record number of the next packet, 0..65535 (default 1); it counts
                     up by one with every packet sent from fields
  --time HH:MM       time of the measurement (default: the time of sending)
  --date DD.MM.YY    date of the measurement (default: the date of sending)
  --dose D           dose as the device shows it, e.g. 12.5: integer part 0..65535, and
                     the fraction's digits as one byte (12.5 and 12.50 send 5 and 50;
                     leading zeros such as 12.05 cannot be sent) (default 0)
  --fraction N       the fraction byte itself, 0..255
  --error N          device error number, 0..255 (default 0: a measurement)
  --hex "00 07 ..."  send these bytes in place of a packet from fields (with send and
                     --every); they are also what a last-record command repeats
  --every MS         send a packet every MS milliseconds
  --pieces 10,5      send each packet in pieces of these sizes (the rest is one more)
  --pause MS         silence between the pieces (default 0)
  --bad-checksum     send a wrong checksum (the complement of the right one)
  --extra N          append N bytes FF to each packet

QEL-1M (answers command frames; the program's requests go to 255.255.255):
  --value X          the value it reports, e.g. 1.23 (kept as the nearest value word)
  --value-word HEX   the value word itself, e.g. 047B (12.3)
  --address A.B.C    its own address, the source of its replies (default 1.23.45)
  --silent           receive and log requests, but do not answer or act on them
  --delay MS         answer MS milliseconds after the request
  --reply-bytes N    length of its reply to a poll (command 6), default 26
  --zero-reply-bytes N  length of its reply to zeroing (command 8), default 14
                     N: 13 cut after 13 bytes; 14 header only (data length 0);
                     18 data length 0 with the empty data checksum; 20 the 14 bytes and
                     6 more; 25 the 26-byte reply less its last byte; 26 eight data bytes,
                     value word in data bytes 2-3 (frame bytes 16-17, low byte first);
                     27 nine data bytes, otherwise valid
  --corrupt[=MODE]   spoil every reply: header (the default: a wrong header checksum),
                     reversed (header checksum bytes in reverse order), data (a wrong data
                     checksum), off
  --ramp[=RATE]      the value grows by RATE a second (default 0.1) from its set value
Zeroing (command 8) sets the value to 0; a ramp then starts again from 0.

Commands on standard input:
  send [KEY=VALUE ...]  send one packet; keys as the QEL-1 options without "--" (device,
                     record, time, date, dose, fraction, error, hex, pieces, pause, extra,
                     bad-checksum), for this packet only, e.g. "send dose=12.5 record=7"
  set KEY=VALUE ...  change the settings for later packets, or the QEL-1M settings
                     (value, value-word, address, silent, delay, reply-bytes,
                     zero-reply-bytes, corrupt, ramp), e.g. "set silent=on"
  hex 00 07 ...      send these bytes once, as they are
  value X            the QEL-1M's value (same as "set value=X"); "word 047B" likewise
  every MS|off       send packets periodically, or stop
  baud N|off         the pace of everything sent
  type qel1|qel1m    the device to play
  status             show the settings and the number of requests per command
  help               this text
  quit               end

Examples:
  qel-sim --pty --link /tmp/qel1 --every 5000 --dose 12.5 --no-stdin
  qel-sim --pty --type qel1m --value 1.23 --address 1.23.45
  qel-sim --pty --device 7 --record 300 --time 09:45 --date 31.12.05 --dose 12.5
      then type "send" whenever the program under test should receive a packet
)";
}

}  // namespace qel
