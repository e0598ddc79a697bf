#include "Qel1Reception.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "RecordLine.h"

namespace qel {

Qel1Reception::Qel1Reception(TSerialPortDriver& comDriver1, TSerialPortDriver& comDriver2, OptionsSource& options,
                             DataFileWriter& writer, DiagnosticLog& log, Clock& clock)
    : comDriver1_(comDriver1),
      comDriver2_(comDriver2),
      options_(options),
      writer_(writer),
      log_(log),
      clock_(clock) {}

namespace {

constexpr uint32_t PacketSize = QEL1Packet::Size;

bool ChecksumMatches(const uint8_t* packet) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < QEL1Packet::ChecksumByte; ++i) sum += packet[i];
    return static_cast<uint8_t>(sum & 0xFF) == packet[QEL1Packet::ChecksumByte];
}

// Two or more whole packets back to back, each with a good checksum: packets that
// waited in the queue together and reached one receive event.
bool IsRunOfGoodPackets(const uint8_t* data, uint32_t size) {
    if (data == nullptr || size <= PacketSize || size % PacketSize != 0) return false;
    for (uint32_t offset = 0; offset < size; offset += PacketSize)
        if (!ChecksumMatches(data + offset)) return false;
    return true;
}

}  // namespace

void Qel1Reception::ComDriver1ReceiveData(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize) {
    // The options as they stand when the event begins: one snapshot for all it asks.
    const ProgramOptions options = options_.Current();
    if (DroppedOnQel1mLine(Sender, options)) return;
    const bool requestLastRecord = options.lastRecordIfError;
    log_.BeepDefault();

    if (IsRunOfGoodPackets(DataPtr, DataSize)) {
        // Each packet on its own, in order, as if it had come in an event of its own. A
        // copy: a box of one packet's report may run a further event on the driver's buffer.
        const std::vector<uint8_t> packets(DataPtr, DataPtr + DataSize);
        for (uint32_t offset = 0; offset < DataSize; offset += PacketSize) {
            if (offset > 0) log_.BeepDefault();
            std::memcpy(packetBuffer_.data(), packets.data() + offset, PacketSize);
            ExamineWholePacket(Sender, requestLastRecord);
        }
        return;
    }

    if (DataPtr != nullptr) std::memcpy(packetBuffer_.data(), DataPtr, std::min(DataSize, PacketSize));
    uint32_t size = DataSize;

    // The rest of a split packet: one read, which goes on while bytes keep coming.
    if (size < PacketSize) {
        const uint32_t count =
            Sender != nullptr ? std::min(Sender->Read(fragmentBuffer_.data(), PacketSize), PacketSize) : 0;
        if (size + count == PacketSize) {
            log_.Note(kPiecesRestored);
            std::memcpy(packetBuffer_.data() + size, fragmentBuffer_.data(), count);
        }
        size += count;
    }

    // Anything else that is not one packet is refused whole.
    if (size != PacketSize) return Refuse(Sender, requestLastRecord, kNotFifteenBytes);
    ExamineWholePacket(Sender, requestLastRecord);
}

bool Qel1Reception::DroppedOnQel1mLine(TSerialPortDriver* sender, const ProgramOptions& options) {
    const int connection = sender == &comDriver1_ ? 1 : sender == &comDriver2_ ? 2 : 0;
    if (connection == 0 || options.Connection(connection).typeIndex != kQel1mTypeIndex) return false;
    // A reply's tail that came after its exchange ended, or noise: a QEL-1M never sends a
    // measurement of its own, and 15 such bytes with a matching sum would file a phantom
    // record. A line that stays noisy is one burst, noted once.
    const std::size_t slot = ConnectionIndex(connection);
    const uint32_t now = clock_.NowMs();
    const bool newBurst = !strayBurst_[slot] || TimedOut(now, lastStrayMs_[slot], StrayBurstGapMs);
    strayBurst_[slot] = true;
    lastStrayMs_[slot] = now;
    if (newBurst) log_.Note(kStrayQel1mBytesPrefix + std::to_string(connection));
    return true;
}

// The checks after the size, in their fixed order. Every report is the last thing done
// with the buffers: its box may run further receive events that overwrite them.
void Qel1Reception::ExamineWholePacket(TSerialPortDriver* sender, bool requestLastRecord) {
    if (writer_.WriteBlocked()) return Refuse(sender, requestLastRecord, kPreviousNotWritten);
    if (!ChecksumMatches(packetBuffer_.data())) return Refuse(sender, requestLastRecord, kChecksumMismatch);

    if (const uint8_t error = packetBuffer_[QEL1Packet::ErrorByte]; error != 0) {
        log_.Report(kDeviceErrorPrefix + DecimalText(error));
        return;
    }

    const RecordFieldsData record = BuildQel1Record(packetBuffer_.data());
    const std::string line = JoinRecordLine(record);
    log_.Note(kPacketReceivedPrefix + line);
    const bool written = writer_.Save2File(line, record.FileName());
    if (OnRecordFiled) OnRecordFiled(sender == &comDriver2_ ? 2 : 1, written);
}

void Qel1Reception::Refuse(TSerialPortDriver* sender, bool requestLastRecord, const char* message) {
    if (requestLastRecord)
        RequestLastRecord(sender);
    else
        log_.Report(message);
}

void Qel1Reception::RequestLastRecord(TSerialPortDriver* sender) {
    if (sender == &comDriver1_ && options_.Current().Connection(1).typeIndex == kQel1TypeIndex) {
        comDriver1_.Purge(true, true);
    } else if (sender == &comDriver2_ && options_.Current().Connection(2).typeIndex == kQel1TypeIndex) {
        // The result is not looked at: there is nothing more to be done if it fails.
        comDriver2_.SendText(std::string(kQel1LastRecordCommand));
    }
}

}  // namespace qel
