#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qel {

class SimLine;
class SimLog;

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

// Puts transmissions on the line one after another from a thread of its own, at the pace
// of the set baud rate (ten bit times a byte, each byte written when its last bit would
// have arrived), and keeps a record of each one sent. Every call is thread-safe; the Wait
// calls wait at most their timeout.
class SimPacedWriter {
public:
    using SteadyClock = std::chrono::steady_clock;

    SimPacedWriter(SimLine& line, SimLog& log);
    ~SimPacedWriter();
    SimPacedWriter(const SimPacedWriter&) = delete;
    SimPacedWriter& operator=(const SimPacedWriter&) = delete;

    // Queues the bytes (with options.extra after them), not to start before notBefore.
    // Returns the transmission's id.
    uint64_t Enqueue(SentKind kind, std::string bytes, const SendOptions& options,
                     SteadyClock::time_point notBefore = SteadyClock::now());

    // 0: every piece goes to the line at once.
    void SetBaud(uint32_t baud);
    uint32_t Baud() const;

    std::optional<SentRecord> WaitSent(uint64_t id, uint32_t timeoutMs) const;
    std::vector<SentRecord> Sent() const;
    // True when nothing is queued or being written.
    bool WaitIdle(uint32_t timeoutMs) const;

    // The line failed for good: a transmission under way ends where it is.
    void LineFailed();
    // Ends the thread; a transmission under way ends where it is. Called again, nothing.
    void Stop();

private:
    struct Job {
        uint64_t id = 0;
        SentKind kind = SentKind::Bytes;
        std::string bytes;
        std::vector<std::size_t> pieces;
        uint32_t pauseMs = 0;
        SteadyClock::time_point notBefore;
    };

    void Loop();
    bool Transmit(const Job& job, uint32_t baud, int64_t& lastByteNs);

    SimLine& line_;
    SimLog& log_;

    mutable std::mutex mu_;
    mutable std::condition_variable changed_;  // queued, sent, stop
    bool stop_ = false;
    bool lineFailed_ = false;
    uint32_t baud_ = 0;
    std::deque<Job> queue_;
    bool writing_ = false;
    uint64_t nextId_ = 1;
    std::vector<SentRecord> sent_;

    std::thread thread_;
};

}  // namespace qel
