#include "Simulator.h"

#include <time.h>

#include <algorithm>

#include "SimHex.h"
#include "SimValueWord.h"
#include "numFormats.h"

namespace qel {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr uint32_t kIdleWaitMs = 100;
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

std::unique_ptr<Simulator> Simulator::CreatePty(const std::string& linkPath, std::string& error) {
    auto line = OpenPtyLine(linkPath, error);
    if (!line) return nullptr;
    return std::make_unique<Simulator>(std::move(line));
}

std::unique_ptr<Simulator> Simulator::OpenPort(const std::string& device, uint32_t baud, std::string& error) {
    auto line = OpenPortLine(device, baud, error);
    if (!line) return nullptr;
    return std::make_unique<Simulator>(std::move(line));
}

Simulator::Simulator(std::unique_ptr<SimLine> line) : line_(std::move(line)) {
    lastInput_ = rampStart_ = SteadyClock::now();
    reader_ = std::thread([this] { ReaderLoop(); });
    writer_ = std::thread([this] { WriterLoop(); });
}

Simulator::~Simulator() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
    }
    changed_.notify_all();
    line_->Wake();
    reader_.join();
    writer_.join();
}

void Simulator::SetLog(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(logMu_);
    logging_ = static_cast<bool>(sink);
    logSink_ = std::move(sink);
}

void Simulator::Log(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    std::lock_guard lock(logMu_);
    if (!logSink_) return;
    for (const auto& line : lines) logSink_(line);
}

void Simulator::SetType(SimDeviceType type) {
    std::lock_guard lock(mu_);
    if (type_ == type) return;
    type_ = type;
    parser_.DropPending();
    commandTail_.clear();
}

SimDeviceType Simulator::Type() const {
    std::lock_guard lock(mu_);
    return type_;
}

void Simulator::SetBaud(uint32_t baud) {
    std::lock_guard lock(mu_);
    baud_ = baud;
}

uint32_t Simulator::Baud() const {
    std::lock_guard lock(mu_);
    return baud_;
}

uint64_t Simulator::EnqueueLocked(SentKind kind, std::string bytes, const SendOptions& options,
                                  SteadyClock::time_point notBefore) {
    Job job;
    job.id = nextId_++;
    job.kind = kind;
    job.bytes = std::move(bytes);
    job.bytes += options.extra;
    job.pieces = options.pieces;
    job.pauseMs = options.pauseMs;
    job.notBefore = notBefore;
    queue_.push_back(std::move(job));
    changed_.notify_all();
    return queue_.back().id;
}

uint64_t Simulator::SendPacket(const Qel1Fields& fields, bool badChecksum, const SendOptions& options) {
    std::lock_guard lock(mu_);
    lastRecord_ = BuildQel1Packet(fields);
    return EnqueueLocked(SentKind::Packet, BuildQel1Packet(fields, badChecksum), options, SteadyClock::now());
}

uint64_t Simulator::SendBytes(const std::string& bytes, const SendOptions& options, bool rememberAsLastRecord) {
    std::lock_guard lock(mu_);
    if (rememberAsLastRecord) lastRecord_ = bytes;
    return EnqueueLocked(rememberAsLastRecord ? SentKind::Packet : SentKind::Bytes, bytes, options,
                         SteadyClock::now());
}

void Simulator::SetLastRecord(const std::string& packet) {
    std::lock_guard lock(mu_);
    lastRecord_ = packet;
}

std::string Simulator::LastRecord() const {
    std::lock_guard lock(mu_);
    return lastRecord_;
}

std::optional<SentRecord> Simulator::WaitSent(uint64_t id, uint32_t timeoutMs) const {
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

std::vector<SentRecord> Simulator::Sent() const {
    std::lock_guard lock(mu_);
    return sent_;
}

bool Simulator::WaitIdle(uint32_t timeoutMs) const {
    std::unique_lock lock(mu_);
    return changed_.wait_for(lock, Ms(timeoutMs), [&] { return queue_.empty() && !writing_; });
}

std::string Simulator::Received() const {
    std::lock_guard lock(mu_);
    return received_;
}

bool Simulator::WaitReceived(std::size_t count, uint32_t timeoutMs) const {
    std::unique_lock lock(mu_);
    return changed_.wait_for(lock, Ms(timeoutMs), [&] { return received_.size() >= count; });
}

void Simulator::ClearReceived() {
    std::lock_guard lock(mu_);
    received_.clear();
}

bool Simulator::LineFailed() const {
    std::lock_guard lock(mu_);
    return lineFailed_;
}

void Simulator::SetValueWord(uint16_t word) {
    std::lock_guard lock(mu_);
    valueWord_ = word;
    rampBase_ = DecodeScaledValue(word);
    rampStart_ = SteadyClock::now();
}

bool Simulator::SetValue(double value) {
    const auto word = EncodeValueWord(value);
    if (!word) return false;
    SetValueWord(*word);
    return true;
}

uint16_t Simulator::ValueWordLocked(SteadyClock::time_point now) const {
    if (rampPerSecond_ == 0) return valueWord_;
    const double seconds = std::chrono::duration<double>(now - rampStart_).count();
    const auto word = EncodeValueWord(std::max(0.0, rampBase_ + rampPerSecond_ * seconds));
    return word ? *word : MakeValueWord(1023, 31);
}

uint16_t Simulator::ValueWord() const {
    std::lock_guard lock(mu_);
    return ValueWordLocked(SteadyClock::now());
}

void Simulator::SetRamp(double perSecond) {
    std::lock_guard lock(mu_);
    const auto now = SteadyClock::now();
    valueWord_ = ValueWordLocked(now);
    rampBase_ = DecodeScaledValue(valueWord_);
    rampStart_ = now;
    rampPerSecond_ = perSecond;
}

void Simulator::SetAddress(const std::string& threeBytes) {
    std::lock_guard lock(mu_);
    address_ = threeBytes.substr(0, 3);
    address_.resize(3, '\0');
}

std::string Simulator::Address() const {
    std::lock_guard lock(mu_);
    return address_;
}

void Simulator::SetSilent(bool silent) {
    std::lock_guard lock(mu_);
    silent_ = silent;
}

void Simulator::SetReplyDelay(uint32_t ms) {
    std::lock_guard lock(mu_);
    replyDelayMs_ = ms;
}

void Simulator::SetReplySplit(const SendOptions& split) {
    std::lock_guard lock(mu_);
    replySplit_ = split;
}

void Simulator::SetReplyLength(uint8_t command, int length) {
    std::lock_guard lock(mu_);
    if (IsReplyLength(length)) {
        replyLength_[command] = length;
    } else {
        replyLength_.erase(command);
    }
}

void Simulator::SetCorruption(ReplyCorruption corruption) {
    std::lock_guard lock(mu_);
    corruption_ = corruption;
}

unsigned Simulator::RequestCount(uint8_t command) const {
    std::lock_guard lock(mu_);
    const auto it = requestCounts_.find(command);
    return it == requestCounts_.end() ? 0 : it->second;
}

std::vector<std::string> Simulator::Requests() const {
    std::lock_guard lock(mu_);
    return requests_;
}

std::vector<int64_t> Simulator::RequestTimesNs(uint8_t command) const {
    std::lock_guard lock(mu_);
    const auto it = requestTimesNs_.find(command);
    return it == requestTimesNs_.end() ? std::vector<int64_t>{} : it->second;
}

bool Simulator::WaitRequests(uint8_t command, unsigned count, uint32_t timeoutMs) const {
    std::unique_lock lock(mu_);
    return changed_.wait_for(lock, Ms(timeoutMs), [&] {
        const auto it = requestCounts_.find(command);
        return it != requestCounts_.end() && it->second >= count;
    });
}

void Simulator::ReaderLoop() {
    uint8_t buffer[kReadChunk];
    std::vector<std::string> log;
    for (;;) {
        uint32_t waitMs = kIdleWaitMs;
        {
            std::unique_lock lock(mu_);
            if (stop_) return;
            if (lineFailed_) {
                changed_.wait(lock, [&] { return stop_; });
                return;
            }
            if (parser_.Pending()) {
                const auto quiet = SteadyClock::now() - lastInput_;
                if (quiet >= Ms(kRequestGapMs)) {
                    for (const auto& e : parser_.DropPending()) {
                        log.push_back("ignored " + std::to_string(e.bytes.size()) + " bytes (" + e.reason +
                                      "): " + HexText(e.bytes));
                    }
                } else {
                    const auto left = std::chrono::ceil<std::chrono::milliseconds>(Ms(kRequestGapMs) - quiet);
                    waitMs = std::min<uint32_t>(waitMs, static_cast<uint32_t>(left.count()));
                }
            }
        }
        Log(log);
        log.clear();

        const int64_t waitStart = MonotonicNowNs();
        line_->WaitReadable(waitMs);
        bool gone = false;
        const std::size_t n = line_->Read(buffer, sizeof buffer, gone);
        if (n > 0) {
            HandleInput(std::string(reinterpret_cast<const char*>(buffer), n), log);
        } else if (gone) {
            std::lock_guard lock(mu_);
            lineFailed_ = true;
            log.push_back("the line failed; nothing more is read or written");
            changed_.notify_all();
        } else if (MonotonicNowNs() - waitStart < 2'000'000) {
            // A line that reports input it does not deliver must not make this loop spin.
            std::unique_lock lock(mu_);
            changed_.wait_for(lock, Ms(kWriteWaitMs), [&] { return stop_; });
        }
        Log(log);
        log.clear();
    }
}

void Simulator::HandleInput(const std::string& bytes, std::vector<std::string>& log) {
    std::lock_guard lock(mu_);
    received_ += bytes;
    lastInput_ = SteadyClock::now();
    if (logging_) log.push_back("rx " + std::to_string(bytes.size()) + " bytes: " + HexText(bytes));
    if (type_ == SimDeviceType::Qel1) {
        const std::string window = commandTail_ + bytes;
        for (std::size_t at = window.find(kLastRecordCommand); at != std::string::npos;
             at = window.find(kLastRecordCommand, at + kLastRecordCommand.size())) {
            if (lastRecord_.empty()) {
                log.push_back("last-record command: no record sent yet, nothing to repeat");
            } else {
                log.push_back("last-record command: repeating the last record");
                EnqueueLocked(SentKind::LastRecord, lastRecord_, {}, SteadyClock::now());
            }
        }
        const std::size_t keep = std::min(window.size(), kLastRecordCommand.size() - 1);
        commandTail_ = window.substr(window.size() - keep);
    } else {
        for (const auto& e : parser_.Feed(bytes)) {
            if (e.frame) {
                HandleRequest(e.bytes, log);
            } else {
                log.push_back("ignored " + std::to_string(e.bytes.size()) + " bytes (" + e.reason +
                              "): " + HexText(e.bytes));
            }
        }
    }
    changed_.notify_all();
}

void Simulator::HandleRequest(const std::string& frame, std::vector<std::string>& log) {
    const auto command = static_cast<uint8_t>(frame[6]);
    const std::string destination = frame.substr(0, 3);
    std::string line = "request, command " + std::to_string(command) + ", to " + AddressText(destination) +
                       " from " + AddressText(frame.substr(3, 3)) + ": " + HexText(frame);
    if (destination != std::string(3, '\xFF') && destination != address_) {
        log.push_back(line + " - not for this device (" + AddressText(address_) + "), ignored");
        return;
    }
    ++requestCounts_[command];
    requests_.push_back(frame);
    requestTimesNs_[command].push_back(MonotonicNowNs());
    if (silent_) {
        log.push_back(line + " - silent, not answered");
        return;
    }
    const auto length = replyLength_.find(command);
    if (length == replyLength_.end()) {
        log.push_back(line + " - command not answered");
        return;
    }
    const auto now = SteadyClock::now();
    if (command == kZeroCommandCode) {
        valueWord_ = 0;
        rampBase_ = 0;
        rampStart_ = now;
        line += " - zeroed";
    }
    const uint16_t word = ValueWordLocked(now);
    log.push_back(line);
    const std::string reply = BuildDiBusReply(frame, address_, word, length->second, corruption_);
    EnqueueLocked(SentKind::Reply, reply, replySplit_, now + Ms(replyDelayMs_));
}

void Simulator::WriterLoop() {
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
        if (logging_) {
            Log({std::string("tx ") + KindText(job.kind) + " #" + std::to_string(job.id) + ", " +
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
bool Simulator::Transmit(const Job& job, uint32_t baud, int64_t& lastByteNs) {
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
                const std::size_t n = line_->Write(reinterpret_cast<const uint8_t*>(bytes.data()) + pos, end - pos);
                if (n > 0) lastByteNs = MonotonicNowNs();
                pos += n;
                if (pos == end) break;
                {
                    std::lock_guard lock(mu_);
                    if (stop_ || lineFailed_) return false;
                }
                if (n == 0) line_->WaitWritable(kWriteWaitMs);
            }
        }
    }
    return true;
}

}  // namespace qel
