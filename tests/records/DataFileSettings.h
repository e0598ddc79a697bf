#pragma once
// The data file options as plain values, where the settings window reads its controls,
// and a data file writer with a hold-off of its own.
#include <array>
#include <cstdint>
#include <string>

#include "Configuration.h"
#include "DataFile.h"
#include "Qel1Samples.h"
#include "RecordLine.h"

namespace qel::test {

struct DataFileSettings : OptionsSource {
    std::string path = "Data.qel";
    bool rewrite = false;
    bool multiple = false;
    std::array<std::string, 2> names;

    ProgramOptions Current() const override {
        ProgramOptions o;
        o.dataFile = path;
        o.rewrite = rewrite;
        o.multipleFiles = multiple;
        o.deviceNames = names;
        return o;
    }
    void SetDataFile(const std::string& p) override { path = p; }
    void SetDeviceName(int connection, const std::string& name) override { names[ConnectionIndex(connection)] = name; }
};

// The writer as the program uses it: a record is filed under its own file name (when
// every record has a file of its own), a plain line under none.
class TestWriter : public WriteHoldOff, public DataFileWriter {
public:
    TestWriter(OptionsSource& options, DiagnosticLog& log) : DataFileWriter(options, log, *this) {}
    void Save2File(const std::string& line) { DataFileWriter::Save2File(line, {}); }
    void Save2File(const RecordFieldsData& record) {
        DataFileWriter::Save2File(JoinRecordLine(record), record.FileName());
    }
};

// The example packet's record with another record number and day.
inline RecordFieldsData ExampleRecord(uint16_t recordNumber, uint8_t day = 0x31) {
    std::array<uint8_t, 15> p = ExamplePacketBytes();
    p[6] = day;
    p[2] = static_cast<uint8_t>(recordNumber >> 8);
    p[3] = static_cast<uint8_t>(recordNumber & 0xFF);
    return BuildQel1Record(p.data());
}

}  // namespace qel::test
