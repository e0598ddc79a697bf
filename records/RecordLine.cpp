#include "RecordLine.h"

#include <charconv>

#include "Regional.h"

namespace qel {

uint8_t BcdToByte(uint8_t b) {
    // Nibbles above 9 are taken as they are: 0xFF gives 15 * 10 + 15 = 165.
    return static_cast<uint8_t>((b >> 4) * 10 + (b & 0x0F));
}

void PadZeroLeft(std::string& text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), '0');
}

void PadZeroRight(std::string& text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), '0');
}

std::string DecimalText(uint32_t value) {
    char digits[10];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
}

std::string JoinRecordLine(const RecordFieldsData& f) {
    std::string line;
    line.reserve(f.DeviceNumberText.size() + f.RecordNumberText.size() + f.TimeText.size() +
                 f.DateText.size() + f.DoseText.size() + 4);
    line += f.DeviceNumberText;
    line += ' ';
    line += f.RecordNumberText;
    line += ' ';
    line += f.TimeText;
    line += ' ';
    line += f.DateText;
    line += ' ';
    line += f.DoseText;
    return line;
}

namespace {

uint32_t BigEndian16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) * 256u + p[1]; }

// Decimal of a BCD byte, at least two digits.
std::string BcdText(uint8_t b) {
    std::string text = DecimalText(BcdToByte(b));
    PadZeroLeft(text, 2);
    return text;
}

}  // namespace

RecordFieldsData BuildQel1Record(const uint8_t packet[15]) {
    const RegionalSettings& regional = Regional();
    RecordFieldsData f;

    f.DeviceNumberText = DecimalText(BigEndian16(packet + 0));
    PadZeroLeft(f.DeviceNumberText, 5);

    f.RecordNumberText = DecimalText(BigEndian16(packet + 2));
    f.FileNumberText = f.RecordNumberText;
    PadZeroLeft(f.RecordNumberText, 5);
    PadZeroLeft(f.FileNumberText, 3);

    // Hours (byte 5) before minutes (byte 4).
    f.TimeText = BcdText(packet[5]) + regional.timeSeparator + BcdText(packet[4]);

    const std::string day = BcdText(packet[6]);
    const std::string month = BcdText(packet[7]);
    const std::string year = BcdText(packet[8]);
    f.DateText = day + regional.dateSeparator + month + regional.dateSeparator + year;
    f.FileDateText = day + month + year;

    // The fraction byte is not scaled: its digits are extended with zeros on the right.
    std::string integerPart = DecimalText(BigEndian16(packet + 10));
    PadZeroLeft(integerPart, 5);
    std::string fraction = DecimalText(packet[12]);
    PadZeroRight(fraction, 3);
    f.DoseText = integerPart + regional.decimalSeparator + fraction;

    return f;
}

}  // namespace qel
