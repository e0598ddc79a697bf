#include "Qel1Reception.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Configuration.h"
#include "DiagnosticLog.h"
#include "RecordLine.h"

namespace qel {

bool ReceptionOptions::LastRecordIfError() { return GetLastRecordIfError; }

Qel1Reception::Qel1Reception(TSerialPortDriver& comDriver1, TSerialPortDriver& comDriver2,
                             ReceptionOptions& options, DataFileWriter& writer)
    : comDriver1_(comDriver1), comDriver2_(comDriver2), options_(options), writer_(writer) {
    const auto handler = [this](TSerialPortDriver* sender, const uint8_t* data, uint32_t size) {
        ComDriver1ReceiveData(sender, data, size);
    };
    comDriver1_.OnReceiveData = handler;
    comDriver2_.OnReceiveData = handler;
}

Qel1Reception::~Qel1Reception() {
    comDriver1_.OnReceiveData = nullptr;
    comDriver2_.OnReceiveData = nullptr;
}

namespace {

bool ChecksumMatches(const uint8_t* packet) {
    unsigned sum = 0;
    for (uint32_t i = 0; i < Qel1Reception::PacketSize - 1; ++i) sum += packet[i];
    return static_cast<uint8_t>(sum & 0xFF) == packet[Qel1Reception::PacketSize - 1];
}

// Two or more whole packets back to back, each with a good checksum: packets that
// waited in the queue together and reached one receive event.
bool IsRunOfGoodPackets(const uint8_t* data, uint32_t size) {
    if (data == nullptr || size <= Qel1Reception::PacketSize || size % Qel1Reception::PacketSize != 0) return false;
    for (uint32_t offset = 0; offset < size; offset += Qel1Reception::PacketSize)
        if (!ChecksumMatches(data + offset)) return false;
    return true;
}

}  // namespace

void Qel1Reception::ComDriver1ReceiveData(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize) {
    const bool requestLastRecord = options_.LastRecordIfError();
    BeepDefault();

    if (IsRunOfGoodPackets(DataPtr, DataSize)) {
        // Each packet on its own, in order, as if it had come in an event of its own. A
        // copy: a box of one packet's report may run a further event on the driver's buffer.
        const std::vector<uint8_t> packets(DataPtr, DataPtr + DataSize);
        for (uint32_t offset = 0; offset < DataSize; offset += PacketSize) {
            if (offset > 0) BeepDefault();
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
            NoteDiagnostic(kPiecesRestored);
            std::memcpy(packetBuffer_.data() + size, fragmentBuffer_.data(), count);
        }
        size += count;
    }

    // Anything else that is not one packet is refused whole.
    if (size != PacketSize) return Refuse(Sender, requestLastRecord, kNotFifteenBytes);
    ExamineWholePacket(Sender, requestLastRecord);
}

// The checks after the size, in their fixed order. Every report is the last thing done
// with the buffers: its box may run further receive events that overwrite them.
void Qel1Reception::ExamineWholePacket(TSerialPortDriver* sender, bool requestLastRecord) {
    if (writer_.WriteBlocked()) return Refuse(sender, requestLastRecord, kPreviousNotWritten);
    if (!ChecksumMatches(packetBuffer_.data())) return Refuse(sender, requestLastRecord, kChecksumMismatch);

    if (packetBuffer_[13] != 0) {
        ReportDiagnostic(kDeviceErrorPrefix + DecimalText(packetBuffer_[13]));
        return;
    }

    const std::string line = BuildQel1Record(packetBuffer_.data());
    NoteDiagnostic(kPacketReceivedPrefix + line);
    writer_.Save2File(line);
}

void Qel1Reception::Refuse(TSerialPortDriver* sender, bool requestLastRecord, const char* message) {
    if (requestLastRecord)
        RequestLastRecord(sender);
    else
        ReportDiagnostic(message);
}

void Qel1Reception::RequestLastRecord(TSerialPortDriver* sender) {
    constexpr int kQel1Type = 0;
    if (sender == &comDriver1_ && options_.DeviceTypeIndex(1) == kQel1Type) {
        comDriver1_.Purge(true, true);
    } else if (sender == &comDriver2_ && options_.DeviceTypeIndex(2) == kQel1Type) {
        // The result is not looked at: there is nothing more to be done if it fails.
        comDriver2_.SendText(std::string(LastRecordCommand));
    }
}

}  // namespace qel
