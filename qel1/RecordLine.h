#pragma once
#include <cstdint>
#include <string>

namespace qel {

// The seven text fields of the latest record, QEL-1 or QEL-1M.
struct RecordFieldsData {
    std::string DeviceNumberText;
    std::string RecordNumberText;
    std::string TimeText;
    std::string DateText;
    std::string DoseText;
    std::string FileDateText;
    std::string FileNumberText;
};

// One copy for the whole program, shared by both device types.
extern RecordFieldsData RecordFields;

uint8_t BcdToByte(uint8_t b);
void PadZeroLeft(std::string& text, std::size_t width);
void PadZeroRight(std::string& text, std::size_t width);
// Plain decimal digits of a number, without sign, grouping or padding.
std::string DecimalText(uint32_t value);

// Device, record, time, date and dose fields joined by single spaces.
std::string JoinRecordLine(const RecordFieldsData& f);

// Overwrites RecordFields from an accepted 15-byte QEL-1 packet and returns its RecordLine.
std::string BuildQel1Record(const uint8_t packet[15]);

}  // namespace qel
