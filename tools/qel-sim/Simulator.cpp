#include "Simulator.h"

#include <algorithm>
#include <chrono>

#include "SimHex.h"
#include "SimValueWord.h"

namespace qel {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr uint32_t kIdleWaitMs = 100;
// How long the reader rests when the line reports input it then does not deliver.
constexpr uint32_t kEmptyReadRestMs = 20;

}  // namespace

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

Simulator::Simulator(std::unique_ptr<SimLine> line)
    : line_(std::move(line)),
      writer_(*line_, log_),
      qel1_(writer_),
      qel1m_(writer_) {
    reader_ = std::thread([this] { ReaderLoop(); });
}

Simulator::~Simulator() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
    }
    changed_.notify_all();
    line_->Wake();
    writer_.Stop();
    reader_.join();
}

void Simulator::SetType(SimDeviceType type) {
    std::lock_guard lock(mu_);
    if (type_ == type) return;
    type_ = type;
    current_->DropInput();
    current_ = type == SimDeviceType::Qel1 ? static_cast<SimDevice*>(&qel1_) : &qel1m_;
}

SimDeviceType Simulator::Type() const {
    std::lock_guard lock(mu_);
    return type_;
}

std::string Simulator::Received() const {
    std::lock_guard lock(mu_);
    return received_;
}

bool Simulator::WaitReceived(std::size_t count, uint32_t timeoutMs) const {
    std::unique_lock lock(mu_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return received_.size() >= count; });
}

void Simulator::ClearReceived() {
    std::lock_guard lock(mu_);
    received_.clear();
}

bool Simulator::LineFailed() const {
    std::lock_guard lock(mu_);
    return lineFailed_;
}

uint64_t Simulator::SendBytes(const std::string& bytes, const SendOptions& options, bool rememberAsLastRecord) {
    if (rememberAsLastRecord) return qel1_.SendRecord(bytes, options);
    return writer_.Enqueue(SentKind::Bytes, bytes, options);
}

bool Simulator::SetValue(double value) {
    const auto word = EncodeValueWord(value);
    if (!word) return false;
    SetValueWord(*word);
    return true;
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
            waitMs = current_->ExpireInput(SimDevice::SteadyClock::now(), waitMs, log);
        }
        log_.Write(log);
        log.clear();

        const int64_t waitStart = MonotonicNowNs();
        line_->WaitReadable(waitMs);
        bool gone = false;
        const std::size_t n = line_->Read(buffer, sizeof buffer, gone);
        if (n > 0) {
            HandleInput(std::string(reinterpret_cast<const char*>(buffer), n), log);
        } else if (gone) {
            {
                std::lock_guard lock(mu_);
                lineFailed_ = true;
                writer_.LineFailed();
            }
            log.push_back("the line failed; nothing more is read or written");
            changed_.notify_all();
        } else if (MonotonicNowNs() - waitStart < 2'000'000) {
            // A line that reports input it does not deliver must not make this loop spin.
            std::unique_lock lock(mu_);
            changed_.wait_for(lock, std::chrono::milliseconds(kEmptyReadRestMs), [&] { return stop_; });
        }
        log_.Write(log);
        log.clear();
    }
}

// Under mu_ as a whole, so that what arrived and what the device made of it are seen together.
void Simulator::HandleInput(const std::string& bytes, std::vector<std::string>& log) {
    {
        std::lock_guard lock(mu_);
        received_ += bytes;
        if (log_.Enabled()) log.push_back("rx " + std::to_string(bytes.size()) + " bytes: " + HexText(bytes));
        current_->Input(bytes, log);
    }
    changed_.notify_all();
}

}  // namespace qel
