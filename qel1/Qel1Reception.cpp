#include "Qel1Reception.h"

#include <algorithm>
#include <cstring>
#include <string>

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

void Qel1Reception::ComDriver1ReceiveData(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize) {
    const bool requestLastRecord = options_.LastRecordIfError();
    BeepDefault();

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

    // The checks in their fixed order. Every report is the last thing done with the
    // buffers: its box may run further receive events that overwrite them.
    if (size != PacketSize) return Refuse(Sender, requestLastRecord, kNotFifteenBytes);
    if (writer_.WriteBlocked()) return Refuse(Sender, requestLastRecord, kPreviousNotWritten);

    unsigned sum = 0;
    for (uint32_t i = 0; i < 14; ++i) sum += packetBuffer_[i];
    if (static_cast<uint8_t>(sum & 0xFF) != packetBuffer_[14])
        return Refuse(Sender, requestLastRecord, kChecksumMismatch);

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
