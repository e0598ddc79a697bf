#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "Clock.h"
#include "Configuration.h"
#include "DataFile.h"
#include "DiagnosticLog.h"
#include "Qel1Protocol.h"
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
// Bytes outside an exchange on a QEL-1M connection; the connection's number follows.
inline constexpr const char* kStrayQel1mBytesPrefix =
    "Приняты данные вне обмена с прибором КЭЛ-1М - данные игнорированы, соединение ";

// The receive handler of both serial drivers for QEL-1 devices: joins a packet that came in
// pieces, checks size, the write hold-off, the checksum and the device's error byte, and
// files every good measurement through the data file writer.
class Qel1Reception {
public:
    // Drops that follow each other within this time are one burst, noted once.
    static constexpr uint32_t StrayBurstGapMs = 2000;

    // Reads the device types and the flag GetLastRecordIfError from the options, reports
    // and notes through the log, and files through the writer. Its owner binds it to the
    // drivers.
    Qel1Reception(TSerialPortDriver& comDriver1, TSerialPortDriver& comDriver2, OptionsSource& options,
                  DataFileWriter& writer, DiagnosticLog& log, Clock& clock = SystemClock());
    Qel1Reception(const Qel1Reception&) = delete;
    Qel1Reception& operator=(const Qel1Reception&) = delete;

    // One receive event; Sender tells which connection the bytes came from. Several whole
    // packets with good checksums in one event are handled one by one; anything else
    // that is not 15 bytes (after the fragment join) is refused whole. On a connection of
    // type QEL-1M the bytes are only the rest of a reply or noise: they are dropped, and
    // a burst of such events is noted once.
    void ComDriver1ReceiveData(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize);

    // Told after each record handed to the writer: its connection (1 or 2) and whether it
    // was written.
    std::function<void(int connection, bool written)> OnRecordFiled;

private:
    // True when the sender's connection is of type QEL-1M (the bytes were dropped).
    bool DroppedOnQel1mLine(TSerialPortDriver* sender, const ProgramOptions& options);
    void ExamineWholePacket(TSerialPortDriver* sender, bool requestLastRecord);
    void Refuse(TSerialPortDriver* sender, bool requestLastRecord, const char* message);
    void RequestLastRecord(TSerialPortDriver* sender);

    TSerialPortDriver& comDriver1_;
    TSerialPortDriver& comDriver2_;
    OptionsSource& options_;
    DataFileWriter& writer_;
    DiagnosticLog& log_;
    Clock& clock_;
    // The last drop on each connection's QEL-1M line, and whether there was one.
    std::array<uint32_t, 2> lastStrayMs_{};
    std::array<bool, 2> strayBurst_{};
    // Shared by both connections; a nested event (from inside a report's box) overwrites them.
    std::array<uint8_t, QEL1Packet::Size> packetBuffer_{};
    std::array<uint8_t, QEL1Packet::Size> fragmentBuffer_{};
};

}  // namespace qel
