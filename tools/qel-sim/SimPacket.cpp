#include "SimPacket.h"

#include <charconv>

#include "LocalTime.h"

namespace qel {
namespace {

char Bcd(uint8_t value) {
    return static_cast<char>(((value / 10 % 10) << 4) | (value % 10));
}

void PutBigEndian(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value & 0xFF));
}

}  // namespace

bool ParseNumber(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

uint8_t Qel1Checksum(std::string_view bytes) {
    unsigned sum = 0;
    for (const char c : bytes) sum += static_cast<unsigned char>(c);
    return static_cast<uint8_t>(sum & 0xFF);
}

std::string BuildQel1Packet(const Qel1Fields& f, bool badChecksum) {
    std::string p;
    p.reserve(kQel1PacketSize);
    PutBigEndian(p, f.device);
    PutBigEndian(p, f.record);
    p.push_back(Bcd(f.minute));
    p.push_back(Bcd(f.hour));
    p.push_back(Bcd(f.day));
    p.push_back(Bcd(f.month));
    p.push_back(Bcd(f.year));
    p.push_back(static_cast<char>(f.reserved));
    PutBigEndian(p, f.doseInteger);
    p.push_back(static_cast<char>(f.doseFraction));
    p.push_back(static_cast<char>(f.error));
    const uint8_t sum = Qel1Checksum(p);
    p.push_back(static_cast<char>(badChecksum ? static_cast<uint8_t>(~sum) : sum));
    return p;
}

void SetQel1Time(Qel1Fields& fields) {
    const LocalMoment now = NowLocal();
    fields.minute = static_cast<uint8_t>(now.minute);
    fields.hour = static_cast<uint8_t>(now.hour);
    fields.day = static_cast<uint8_t>(now.day);
    fields.month = static_cast<uint8_t>(now.month);
    fields.year = static_cast<uint8_t>(now.year % 100);
}

bool ParseDose(std::string_view text, uint16_t& integer, uint8_t& fraction) {
    const std::size_t sep = text.find_first_of(".,");
    const std::string_view whole = text.substr(0, sep);
    const std::string_view digits = sep == std::string_view::npos ? std::string_view{} : text.substr(sep + 1);
    uint32_t i = 0;
    uint32_t f = 0;
    if (!ParseNumber(whole, i) || i > UINT16_MAX) return false;
    if (sep != std::string_view::npos) {
        if (digits.size() > 1 && digits[0] == '0') return false;
        if (!ParseNumber(digits, f) || f > UINT8_MAX) return false;
    }
    integer = static_cast<uint16_t>(i);
    fraction = static_cast<uint8_t>(f);
    return true;
}

}  // namespace qel
