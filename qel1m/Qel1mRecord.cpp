#include "Qel1mRecord.h"

#include <charconv>

#include "RecordLine.h"
#include "Regional.h"
#include "Utf8.h"

namespace qel {

namespace {

constexpr std::size_t kMaxFractionChars = 200;

// Decimal text of the record number; the counter is signed, so after wrapping it shows a sign.
std::string SignedText(int32_t value) {
    char buffer[12];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Decimal of a date, time or device number part (never negative), padded on the left.
std::string Padded(int value, std::size_t width) {
    std::string text = DecimalText(static_cast<uint32_t>(value < 0 ? 0 : value));
    PadZeroLeft(text, width);
    return text;
}

// Byte length of the first `count` characters of UTF-8 text (all of it when shorter), so a
// cut never splits a character.
std::size_t Utf8PrefixBytes(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t chars = 0; pos < text.size() && chars < count; ++chars) pos += DecodeUtf8At(text, pos).length;
    return pos;
}


}  // namespace

std::string Qel1mDoseText(std::string_view shownValue) {
    const std::size_t dot = shownValue.find('.');
    const std::size_t comma = shownValue.find(',');
    std::size_t separator = std::string_view::npos;
    if (dot != std::string_view::npos && comma != std::string_view::npos)
        separator = dot > comma ? dot : comma;
    else if (dot != std::string_view::npos)
        separator = dot;
    else
        separator = comma;

    if (separator == std::string_view::npos) {
        std::string whole(shownValue);
        PadZeroLeft(whole, 5);
        return whole;
    }
    std::string integerPart(shownValue.substr(0, separator));
    PadZeroLeft(integerPart, 5);
    const std::string_view rest = shownValue.substr(separator + 1);
    std::string fraction(rest.substr(0, Utf8PrefixBytes(rest, kMaxFractionChars)));
    PadZeroRight(fraction, 3);
    return integerPart + Regional().decimalSeparator + fraction;
}

RecordFieldsData BuildQel1mRecord(int deviceNumber, int32_t recordNumber, const LocalMoment& now,
                                  std::string_view shownValue) {
    const RegionalSettings& regional = Regional();
    RecordFieldsData f;
    f.DeviceNumberText = Padded(deviceNumber, 5);

    const std::string numberText = SignedText(recordNumber);
    f.RecordNumberText = numberText;
    f.FileNumberText = numberText;
    PadZeroLeft(f.RecordNumberText, 5);
    PadZeroLeft(f.FileNumberText, 3);

    f.TimeText = Padded(now.hour, 2) + regional.timeSeparator + Padded(now.minute, 2);

    const std::string day = Padded(now.day, 2);
    const std::string month = Padded(now.month, 2);
    std::string year = DecimalText(static_cast<uint32_t>(now.year < 0 ? 0 : now.year));
    if (year.size() == 4) year.erase(0, 2);
    PadZeroLeft(year, 2);
    f.DateText = day + regional.dateSeparator + month + regional.dateSeparator + year;
    f.FileDateText = day + month + year;

    f.DoseText = Qel1mDoseText(shownValue);

    return f;
}

}  // namespace qel
