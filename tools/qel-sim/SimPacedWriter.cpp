#include "SimPacedWriter.h"

#include <time.h>

#include <algorithm>

#include "SimHex.h"
#include "SimLine.h"
#include "SimLog.h"

namespace qel {
namespace {

constexpr uint32_t kWriteWaitMs = 20;
constexpr int64_t kNsPerSecond = 1'000'000'000;

std::chrono::milliseconds Ms(uint32_t ms) { return std::chrono::milliseconds(ms); }

// Milliseconds with three decimals: "1234.567".
std::string MsText(int64_t ns) {
    std::string micros = std::to_string(ns / 1000 % 1000);
    micros.insert(0, 3 - micros.size(), '0');
    return std::to_string(ns / 1'000'000) + "." + micros;
}

const char* KindText(SentKind kind) {
    switch (kind) {
        case SentKind::Packet: return "packet";
        case SentKind::LastRecord: return "last record";
        case SentKind::Reply: return "reply";
        case SentKind::Bytes: break;
    }
    return "bytes";
}

}  // namespace

int64_t MonotonicNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

SimPacedWriter::SimPacedWriter(SimLine& line, SimLog& log) : line_(line), log_(log) {
    thread_ = std::thread([this] { Loop(); });
}

SimPacedWriter::~SimPacedWriter() { Stop(); }

void SimPacedWriter::Stop() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void SimPacedWriter::LineFailed() {
    std::lock_guard lock(mu_);
    lineFailed_ = true;
}

uint64_t SimPacedWriter::Enqueue(SentKind kind, std::string bytes, const SendOptions& options,
                                 SteadyClock::time_point notBefore) {
    Job job;
    job.kind = kind;
    job.bytes = std::move(bytes);
    job.bytes += options.extra;
    job.pieces = options.pieces;
    job.pauseMs = options.pauseMs;
    job.notBefore = notBefore;
    std::lock_guard lock(mu_);
    job.id = nextId_++;
    queue_.push_back(std::move(job));
    changed_.notify_all();
    return queue_.back().id;
}

void SimPacedWriter::SetBaud(uint32_t baud) {
    std::lock_guard lock(mu_);
    baud_ = baud;
}

uint32_t SimPacedWriter::Baud() const {
    std::lock_guard lock(mu_);
    return baud_;
}

std::optional<SentRecord> SimPacedWriter::WaitSent(uint64_t id, uint32_t timeoutMs) const {
    std::unique_lock lock(mu_);
    std::optional<SentRecord> found;
    changed_.wait_for(lock, Ms(timeoutMs), [&] {
        for (const auto& s : sent_) {
            if (s.id == id) {
                found = s;
                return true;
            }
        }
        return false;
    });
    return found;
}

std::vector<SentRecord> SimPacedWriter::Sent() const {
    std::lock_guard lock(mu_);
    return sent_;
}

bool SimPacedWriter::WaitIdle(uint32_t timeoutMs) const {
    std::unique_lock lock(mu_);
    return changed_.wait_for(lock, Ms(timeoutMs), [&] { return queue_.empty() && !writing_; });
}

void SimPacedWriter::Loop() {
    for (;;) {
        Job job;
        uint32_t baud = 0;
        {
            std::unique_lock lock(mu_);
            changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            writing_ = true;
            baud = baud_;
        }
        int64_t lastByteNs = 0;
        const bool complete = Transmit(job, baud, lastByteNs);
        SentRecord record{job.id, job.kind, job.bytes, lastByteNs, complete};
        if (log_.Enabled()) {
            log_.Write({std::string("tx ") + KindText(job.kind) + " #" + std::to_string(job.id) + ", " +
                        std::to_string(job.bytes.size()) + " bytes" + (complete ? "" : " (cut short)") +
                        ", last byte at " + MsText(record.lastByteNs) + " ms: " + HexText(job.bytes)});
        }
        {
            std::lock_guard lock(mu_);
            sent_.push_back(std::move(record));
            writing_ = false;
        }
        changed_.notify_all();
    }
}

// Writes the job by absolute deadlines from its start: with a baud rate, byte i (counted
// from 0) is due (i + 1) ten-bit times after the start; every pause between pieces moves
// the rest of the schedule on. Returns false when stopped or the line failed midway.
// lastByteNs is when the last write ended.
bool SimPacedWriter::Transmit(const Job& job, uint32_t baud, int64_t& lastByteNs) {
    lastByteNs = MonotonicNowNs();
    const auto start = std::max(SteadyClock::now(), job.notBefore);
    const std::string& bytes = job.bytes;

    // The end offsets of the pieces, the last one being the whole length.
    std::vector<std::size_t> ends;
    std::size_t at = 0;
    for (const std::size_t piece : job.pieces) {
        if (piece == 0 || at >= bytes.size()) continue;
        at = std::min(bytes.size(), at + piece);
        ends.push_back(at);
    }
    if (ends.empty() || ends.back() != bytes.size()) ends.push_back(bytes.size());

    std::size_t pos = 0;
    for (std::size_t piece = 0; piece < ends.size(); ++piece) {
        const auto pieceStart = start + Ms(job.pauseMs) * piece;
        while (pos < ends[piece]) {
            // Without pacing the whole piece is one write; with it, one byte at a time.
            std::size_t end = ends[piece];
            auto due = pieceStart;
            if (baud > 0) {
                end = pos + 1;
                due += std::chrono::nanoseconds(static_cast<int64_t>(end) * 10 * kNsPerSecond / baud);
            }
            {
                std::unique_lock lock(mu_);
                if (changed_.wait_until(lock, due, [&] { return stop_; })) return false;
            }
            while (pos < end) {
                const std::size_t n = line_.Write(reinterpret_cast<const uint8_t*>(bytes.data()) + pos, end - pos);
                if (n > 0) lastByteNs = MonotonicNowNs();
                pos += n;
                if (pos == end) break;
                {
                    std::lock_guard lock(mu_);
                    if (stop_ || lineFailed_) return false;
                }
                if (n == 0) line_.WaitWritable(kWriteWaitMs);
            }
        }
    }
    return true;
}

}  // namespace qel
