#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "Configuration.h"
#include "DataFile.h"
#include "ProgramState.h"
#include "SerialPortDriver.h"

namespace qel {

inline constexpr const char* kPiecesRestored = "Данные приняты кусочно - восстановлены";
inline constexpr const char* kNotFifteenBytes =
    "Приняты данные, но не 15 байт как полагается от КЭЛ-1, - данные игнорированы";
inline constexpr const char* kPreviousNotWritten = "Ещё не записаны предыдущие данные - текущие - игнорируются.";
inline constexpr const char* kChecksumMismatch = "Приняты данные 15 байт, но не совпадает CRC - данные игнорированы";
inline constexpr const char* kDeviceErrorPrefix =
    "Приняты данные с информацией о внутренней ошибке прибора КЭЛ-1 под номером ";
inline constexpr const char* kPacketReceivedPrefix = "Принят пакет: ";

// The receive handler of both serial drivers for QEL-1 devices: joins a packet that came in
// pieces, checks size, the write hold-off, the checksum and the device's error byte, and
// files every good measurement through the data file writer.
class Qel1Reception {
public:
    static constexpr uint32_t PacketSize = 15;
    // Asks a QEL-1 for its last record again.
    static constexpr std::string_view LastRecordCommand{"\x04\x52\x44\x00", 4};

    // Reads the device types from the options, the flag GetLastRecordIfError from the
    // program state, and files through the writer. Its owner binds it to the drivers.
    Qel1Reception(TSerialPortDriver& comDriver1, TSerialPortDriver& comDriver2, OptionsSource& options,
                  DataFileWriter& writer, ProgramState& state);
    Qel1Reception(const Qel1Reception&) = delete;
    Qel1Reception& operator=(const Qel1Reception&) = delete;

    // One receive event; Sender tells which connection the bytes came from. Several whole
    // packets with good checksums in one event are handled one by one; anything else
    // that is not 15 bytes (after the fragment join) is refused whole.
    void ComDriver1ReceiveData(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize);

private:
    void ExamineWholePacket(TSerialPortDriver* sender, bool requestLastRecord);
    void Refuse(TSerialPortDriver* sender, bool requestLastRecord, const char* message);
    void RequestLastRecord(TSerialPortDriver* sender);

    TSerialPortDriver& comDriver1_;
    TSerialPortDriver& comDriver2_;
    OptionsSource& options_;
    DataFileWriter& writer_;
    ProgramState& state_;
    // Shared by both connections; a nested event (from inside a report's box) overwrites them.
    std::array<uint8_t, PacketSize> packetBuffer_{};
    std::array<uint8_t, PacketSize> fragmentBuffer_{};
};

}  // namespace qel
