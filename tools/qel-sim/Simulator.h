#pragma once
// The device simulator: a QEL-1 or a QEL-1M on a pseudo-terminal or a real port, for the
// tests, the demo and a bench.
//
// It is an independent model of the devices where a test must be able to catch the
// program. The QEL-1 packet (size, fields, checksum, the last-record command; SimPacket.h)
// and the QEL-1M's command codes and reply lengths (SimDiBusDevice.h) are written here
// again. The simulator deliberately includes neither qel1/Qel1Protocol.h nor
// qel1m/Qel1mProtocol.h, nor any other header of qel1/ or qel1m/ but the two below, so a
// changed constant in the program fails an exchange instead of changing both sides. It shares
// the program's QEL-1M frame layer (DiBusModTransport.h: frame layout, checksum, frame
// builder) and value coding (numFormats.h) only: those are pinned on their own against
// fixed byte strings in tests/qel1m, and a second copy would model nothing. The test
// sim.SharesOnlyTheFrameLayerAndValueCoding holds every file here to that.
//
// The parts: the paced writer (SimPacedWriter), one behaviour per device type
// (SimQel1Device, SimQel1mDevice), and this class, which owns the line, the reader thread
// and the device being played.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SimLine.h"
#include "SimLog.h"
#include "SimPacedWriter.h"
#include "SimQel1Device.h"
#include "SimQel1mDevice.h"

namespace qel {

enum class SimDeviceType { Qel1, Qel1m };

// A QEL-1 or QEL-1M on a serial line. A reader thread records everything that arrives and
// hands it to the device being played, which answers through the paced writer. Both
// devices keep their state while the other one is played. Every public call is
// thread-safe and returns at once; the Wait calls wait at most their timeout.
class Simulator {
public:
    static std::unique_ptr<Simulator> CreatePty(const std::string& linkPath, std::string& error);
    static std::unique_ptr<Simulator> OpenPort(const std::string& device, uint32_t baud, std::string& error);
    explicit Simulator(std::unique_ptr<SimLine> line);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // What the program under test opens.
    const std::string& Path() const { return line_->Path(); }
    // One line of text per event; called from the simulator's threads, one call at a time.
    void SetLog(std::function<void(const std::string&)> sink) { log_.SetSink(std::move(sink)); }

    void SetType(SimDeviceType type);
    SimDeviceType Type() const;

    // The line: what was sent, and what arrived.
    void SetBaud(uint32_t baud) { writer_.SetBaud(baud); }  // 0: every piece goes to the line at once
    uint32_t Baud() const { return writer_.Baud(); }
    std::optional<SentRecord> WaitSent(uint64_t id, uint32_t timeoutMs) const {
        return writer_.WaitSent(id, timeoutMs);
    }
    std::vector<SentRecord> Sent() const { return writer_.Sent(); }
    // True when nothing is queued or being written.
    bool WaitIdle(uint32_t timeoutMs) const { return writer_.WaitIdle(timeoutMs); }
    std::string Received() const;
    bool WaitReceived(std::size_t count, uint32_t timeoutMs) const;
    void ClearReceived();
    // The line failed for good (the simulator then neither reads nor writes).
    bool LineFailed() const;
    // Any bytes; with rememberAsLastRecord they are the QEL-1's packet and what a
    // last-record command repeats. Returns the transmission's id.
    uint64_t SendBytes(const std::string& bytes, const SendOptions& options = {}, bool rememberAsLastRecord = false);

    // QEL-1 (see SimQel1Device).
    uint64_t SendPacket(const Qel1Fields& fields, bool badChecksum = false, const SendOptions& options = {}) {
        return qel1_.SendPacket(fields, badChecksum, options);
    }
    void SetLastRecord(const std::string& packet) { qel1_.SetLastRecord(packet); }
    std::string LastRecord() const { return qel1_.LastRecord(); }

    // QEL-1M (see SimQel1mDevice): its value, how it answers, and what it was asked.
    void SetValueWord(uint16_t word) { qel1m_.SetValueWord(word); }
    bool SetValue(double value);  // false when no value word can hold it
    uint16_t ValueWord() const { return qel1m_.ValueWord(); }
    void SetRamp(double perSecond) { qel1m_.SetRamp(perSecond); }

    Qel1mReplySettings ReplySettings() const { return qel1m_.ReplySettings(); }
    void SetReplySettings(const Qel1mReplySettings& settings) { qel1m_.SetReplySettings(settings); }
    void ChangeReplySettings(const std::function<void(Qel1mReplySettings&)>& change) {
        qel1m_.ChangeReplySettings(change);
    }
    // Shorthands for changing one reply setting.
    void SetAddress(const std::string& threeBytes) {
        ChangeReplySettings([&](Qel1mReplySettings& s) { s.address = threeBytes; });
    }
    std::string Address() const { return ReplySettings().address; }
    void SetSilent(bool silent) {
        ChangeReplySettings([&](Qel1mReplySettings& s) { s.silent = silent; });
    }
    void SetReplyDelay(uint32_t ms) {
        ChangeReplySettings([&](Qel1mReplySettings& s) { s.replyDelayMs = ms; });
    }
    void SetReplySplit(const SendOptions& split) {
        ChangeReplySettings([&](Qel1mReplySettings& s) { s.replySplit = split; });
    }
    void SetReplyLength(uint8_t command, int length) {
        ChangeReplySettings([&](Qel1mReplySettings& s) { s.replyLength[command] = length; });
    }
    void SetCorruption(ReplyCorruption corruption) {
        ChangeReplySettings([&](Qel1mReplySettings& s) { s.corruption = corruption; });
    }

    unsigned RequestCount(uint8_t command) const { return qel1m_.RequestCount(command); }
    std::vector<std::string> Requests() const { return qel1m_.Requests(); }
    std::vector<int64_t> RequestTimesNs(uint8_t command) const { return qel1m_.RequestTimesNs(command); }
    bool WaitRequests(uint8_t command, unsigned count, uint32_t timeoutMs) const {
        return qel1m_.WaitRequests(command, count, timeoutMs);
    }

    // The line quiet this long drops an incomplete request.
    static constexpr uint32_t kRequestGapMs = SimQel1mDevice::kRequestGapMs;

private:
    void ReaderLoop();
    void HandleInput(const std::string& bytes, std::vector<std::string>& log);

    // Declared in the order they are made: the writer writes to the line and the devices
    // answer through the writer.
    std::unique_ptr<SimLine> line_;
    SimLog log_;
    SimPacedWriter writer_;
    SimQel1Device qel1_;
    SimQel1mDevice qel1m_;

    // Lock order: mu_, then a device's lock, then the writer's.
    mutable std::mutex mu_;
    mutable std::condition_variable changed_;  // received, line failed, stop
    bool stop_ = false;
    bool lineFailed_ = false;
    SimDeviceType type_ = SimDeviceType::Qel1;
    SimDevice* current_ = &qel1_;
    std::string received_;

    std::thread reader_;
};

}  // namespace qel
