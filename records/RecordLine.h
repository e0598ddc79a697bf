#pragma once
#include <cstdint>
#include <string>

namespace qel {

// What names a record's own data file when every record has one: "<date>.<number>".
struct RecordFileName {
    std::string date;    // ddmmyy
    std::string number;  // the record number, at least three digits
};

// The seven text fields of a record, QEL-1 or QEL-1M.
struct RecordFieldsData {
    std::string DeviceNumberText;
    std::string RecordNumberText;
    std::string TimeText;
    std::string DateText;
    std::string DoseText;
    std::string FileDateText;
    std::string FileNumberText;

    RecordFileName FileName() const { return {FileDateText, FileNumberText}; }
};

uint8_t BcdToByte(uint8_t b);
void PadZeroLeft(std::string& text, std::size_t width);
void PadZeroRight(std::string& text, std::size_t width);
// Plain decimal digits of a number, without sign, grouping or padding.
std::string DecimalText(uint32_t value);

// Device, record, time, date and dose fields joined by single spaces.
std::string JoinRecordLine(const RecordFieldsData& f);

// The fields of an accepted 15-byte QEL-1 packet.
RecordFieldsData BuildQel1Record(const uint8_t packet[15]);

}  // namespace qel
