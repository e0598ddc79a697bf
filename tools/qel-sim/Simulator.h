#pragma once
// The device simulator: a QEL-1 or a QEL-1M on a pseudo-terminal or a real port, for the
// tests, the demo and a bench.
//
// It is an independent model of the devices where a test must be able to catch the
// program: the QEL-1 packet (size, fields, checksum, the last-record command) and the
// QEL-1M's commands and reply lengths are written here again (SimPacket.h,
// SimDiBusDevice.h), not taken from qel1/ and qel1m/, so a changed constant in the program
// fails an exchange instead of changing both sides. It shares the program's QEL-1M frame
// layer (DiBusModTransport) and value coding (numFormats) only: those are pinned on their
// own against fixed byte strings in tests/qel1m, and a second copy would model nothing.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "SimDiBusDevice.h"
#include "SimLine.h"
#include "SimPacket.h"

namespace qel {

enum class SimDeviceType { Qel1, Qel1m };

// How one transmission is cut up.
struct SendOptions {
    // Sizes of the leading pieces; what is left after them is the last piece.
    std::vector<std::size_t> pieces;
    uint32_t pauseMs = 0;  // silence between two pieces
    std::string extra;     // bytes appended to the transmission
};

enum class SentKind { Packet, Bytes, LastRecord, Reply };

struct SentRecord {
    uint64_t id = 0;
    SentKind kind = SentKind::Bytes;
    std::string bytes;
    int64_t lastByteNs = 0;  // CLOCK_MONOTONIC when the last byte was written
    bool complete = true;    // false when the simulator stopped or the line failed midway
};

// CLOCK_MONOTONIC now, in nanoseconds.
int64_t MonotonicNowNs();

// A QEL-1 or QEL-1M on a serial line. A reader thread records everything that arrives and
// answers requests; a writer thread puts transmissions on the line one after another, at
// the pace of the set baud rate (ten bit times a byte, each byte written when its last
// bit would have arrived). Every public call is thread-safe and returns at once; the Wait
// calls wait at most their timeout.
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
    void SetLog(std::function<void(const std::string&)> sink);

    void SetType(SimDeviceType type);
    SimDeviceType Type() const;
    // 0: every piece goes to the line at once.
    void SetBaud(uint32_t baud);
    uint32_t Baud() const;

    // QEL-1: a packet from fields; it becomes the device's last record (with a right checksum,
    // whatever badChecksum spoils on the way). Returns the transmission's id.
    uint64_t SendPacket(const Qel1Fields& fields, bool badChecksum = false, const SendOptions& options = {});
    // Any bytes; with rememberAsLastRecord they are what a last-record command repeats.
    uint64_t SendBytes(const std::string& bytes, const SendOptions& options = {}, bool rememberAsLastRecord = false);
    void SetLastRecord(const std::string& packet);
    std::string LastRecord() const;

    std::optional<SentRecord> WaitSent(uint64_t id, uint32_t timeoutMs) const;
    std::vector<SentRecord> Sent() const;
    // True when nothing is queued or being written.
    bool WaitIdle(uint32_t timeoutMs) const;

    std::string Received() const;
    bool WaitReceived(std::size_t count, uint32_t timeoutMs) const;
    void ClearReceived();
    // The line failed for good (the simulator then neither reads nor writes).
    bool LineFailed() const;

    // QEL-1M.
    void SetValueWord(uint16_t word);
    bool SetValue(double value);  // false when no value word can hold it
    uint16_t ValueWord() const;   // now, the ramp included
    // The value grows by perSecond every second from the value it has now; 0 stops it.
    void SetRamp(double perSecond);
    void SetAddress(const std::string& threeBytes);
    std::string Address() const;
    // A silent device receives and counts requests but neither answers nor acts on them.
    void SetSilent(bool silent);
    void SetReplyDelay(uint32_t ms);
    // How every later reply goes on the line: cut up (pieces and the pause between them) and
    // with the bytes of `extra` after it.
    void SetReplySplit(const SendOptions& split);
    // Reply length for a command (see IsReplyLength); commands without one are not answered.
    void SetReplyLength(uint8_t command, int length);
    void SetCorruption(ReplyCorruption corruption);
    // Valid requests addressed to this device (or to all), per command.
    unsigned RequestCount(uint8_t command) const;
    std::vector<std::string> Requests() const;
    // CLOCK_MONOTONIC (ns) at which each request of `command` was taken, in order.
    std::vector<int64_t> RequestTimesNs(uint8_t command) const;
    bool WaitRequests(uint8_t command, unsigned count, uint32_t timeoutMs) const;

    // The line quiet this long drops an incomplete request.
    static constexpr uint32_t kRequestGapMs = 500;

private:
    using SteadyClock = std::chrono::steady_clock;
    struct Job {
        uint64_t id = 0;
        SentKind kind = SentKind::Bytes;
        std::string bytes;
        std::vector<std::size_t> pieces;
        uint32_t pauseMs = 0;
        SteadyClock::time_point notBefore;
    };

    uint64_t EnqueueLocked(SentKind kind, std::string bytes, const SendOptions& options,
                           SteadyClock::time_point notBefore);
    void ReaderLoop();
    void WriterLoop();
    bool Transmit(const Job& job, uint32_t baud, int64_t& lastByteNs);
    void HandleInput(const std::string& bytes, std::vector<std::string>& log);
    void HandleRequest(const std::string& frame, std::vector<std::string>& log);
    uint16_t ValueWordLocked(SteadyClock::time_point now) const;
    void Log(const std::vector<std::string>& lines);

    std::unique_ptr<SimLine> line_;

    mutable std::mutex mu_;
    mutable std::condition_variable changed_;  // sent, received, requests, queue, stop
    bool stop_ = false;
    bool lineFailed_ = false;
    SimDeviceType type_ = SimDeviceType::Qel1;
    uint32_t baud_ = 0;

    std::deque<Job> queue_;
    bool writing_ = false;
    uint64_t nextId_ = 1;
    std::vector<SentRecord> sent_;

    std::string received_;
    std::string commandTail_;  // the last bytes, to find a last-record command split across reads
    std::string lastRecord_;

    DiBusRequestParser parser_;
    SteadyClock::time_point lastInput_;
    uint16_t valueWord_ = 0;
    double rampPerSecond_ = 0;
    double rampBase_ = 0;
    SteadyClock::time_point rampStart_;
    std::string address_{"\x01\x17\x2D", 3};  // 1.23.45
    bool silent_ = false;
    uint32_t replyDelayMs_ = 0;
    SendOptions replySplit_;
    std::map<uint8_t, std::vector<int64_t>> requestTimesNs_;
    std::map<uint8_t, int> replyLength_{{kPollCommandCode, kPollReplyLength}, {kZeroCommandCode, kZeroReplyLength}};
    ReplyCorruption corruption_ = ReplyCorruption::None;
    std::map<uint8_t, unsigned> requestCounts_;
    std::vector<std::string> requests_;

    std::atomic<bool> logging_{false};  // lines are made only for a sink
    std::mutex logMu_;
    std::function<void(const std::string&)> logSink_;

    std::thread reader_;
    std::thread writer_;
};

}  // namespace qel
