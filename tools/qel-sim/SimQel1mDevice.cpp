#include "SimQel1mDevice.h"

#include <algorithm>

#include "DiBusModTransport.h"
#include "SimHex.h"
#include "SimValueWord.h"
#include "numFormats.h"

namespace qel {
namespace {

std::chrono::milliseconds Ms(uint32_t ms) { return std::chrono::milliseconds(ms); }

std::string IgnoredText(const DiBusRequestParser::Event& e) {
    return "ignored " + std::to_string(e.bytes.size()) + " bytes (" + e.reason + "): " + HexText(e.bytes);
}

}  // namespace

SimQel1mDevice::SimQel1mDevice(SimPacedWriter& writer) : writer_(writer) {
    lastInput_ = rampStart_ = SteadyClock::now();
}

Qel1mReplySettings SimQel1mDevice::ReplySettings() const {
    std::lock_guard lock(mu_);
    return settings_;
}

void SimQel1mDevice::SetReplySettings(const Qel1mReplySettings& settings) {
    ChangeReplySettings([&](Qel1mReplySettings& s) { s = settings; });
}

void SimQel1mDevice::ChangeReplySettings(const std::function<void(Qel1mReplySettings&)>& change) {
    std::lock_guard lock(mu_);
    change(settings_);
    settings_.address.resize(3, '\0');
}

void SimQel1mDevice::SetValueWord(uint16_t word) {
    std::lock_guard lock(mu_);
    valueWord_ = word;
    rampBase_ = DecodeScaledValue(word);
    rampStart_ = SteadyClock::now();
}

uint16_t SimQel1mDevice::ValueWordLocked(SteadyClock::time_point now) const {
    if (rampPerSecond_ == 0) return valueWord_;
    const double seconds = std::chrono::duration<double>(now - rampStart_).count();
    const auto word = EncodeValueWord(std::max(0.0, rampBase_ + rampPerSecond_ * seconds));
    return word ? *word : MakeValueWord(1023, 31);
}

uint16_t SimQel1mDevice::ValueWord() const {
    std::lock_guard lock(mu_);
    return ValueWordLocked(SteadyClock::now());
}

void SimQel1mDevice::SetRamp(double perSecond) {
    std::lock_guard lock(mu_);
    const auto now = SteadyClock::now();
    valueWord_ = ValueWordLocked(now);
    rampBase_ = DecodeScaledValue(valueWord_);
    rampStart_ = now;
    rampPerSecond_ = perSecond;
}

unsigned SimQel1mDevice::RequestCount(uint8_t command) const {
    std::lock_guard lock(mu_);
    const auto it = requestTimesNs_.find(command);
    return it == requestTimesNs_.end() ? 0 : static_cast<unsigned>(it->second.size());
}

std::vector<std::string> SimQel1mDevice::Requests() const {
    std::lock_guard lock(mu_);
    return requests_;
}

std::vector<int64_t> SimQel1mDevice::RequestTimesNs(uint8_t command) const {
    std::lock_guard lock(mu_);
    const auto it = requestTimesNs_.find(command);
    return it == requestTimesNs_.end() ? std::vector<int64_t>{} : it->second;
}

bool SimQel1mDevice::WaitRequests(uint8_t command, unsigned count, uint32_t timeoutMs) const {
    std::unique_lock lock(mu_);
    return requested_.wait_for(lock, Ms(timeoutMs), [&] {
        const auto it = requestTimesNs_.find(command);
        return it != requestTimesNs_.end() && it->second.size() >= count;
    });
}

void SimQel1mDevice::Input(std::string_view bytes, std::vector<std::string>& log) {
    {
        std::lock_guard lock(mu_);
        lastInput_ = SteadyClock::now();
        for (const auto& e : parser_.Feed(bytes)) {
            if (e.frame) {
                HandleRequest(e.bytes, log);
            } else {
                log.push_back(IgnoredText(e));
            }
        }
    }
    requested_.notify_all();
}

uint32_t SimQel1mDevice::ExpireInput(SteadyClock::time_point now, uint32_t limitMs, std::vector<std::string>& log) {
    std::lock_guard lock(mu_);
    if (!parser_.Pending()) return limitMs;
    const auto quiet = now - lastInput_;
    if (quiet >= Ms(kRequestGapMs)) {
        for (const auto& e : parser_.DropPending()) log.push_back(IgnoredText(e));
        return limitMs;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(Ms(kRequestGapMs) - quiet);
    return std::min<uint32_t>(limitMs, static_cast<uint32_t>(left.count()));
}

void SimQel1mDevice::DropInput() {
    std::lock_guard lock(mu_);
    parser_.DropPending();
}

void SimQel1mDevice::HandleRequest(const std::string& frame, std::vector<std::string>& log) {
    const auto command = static_cast<uint8_t>(frame[kCommandOffset]);
    const std::string destination = frame.substr(0, 3);
    std::string line = "request, command " + std::to_string(command) + ", to " + AddressText(destination) + " from " +
                       AddressText(frame.substr(kSourceOffset, 3)) + ": " + HexText(frame);
    if (destination != std::string(3, '\xFF') && destination != settings_.address) {
        log.push_back(line + " - not for this device (" + AddressText(settings_.address) + "), ignored");
        return;
    }
    requests_.push_back(frame);
    requestTimesNs_[command].push_back(MonotonicNowNs());
    if (settings_.silent) {
        log.push_back(line + " - silent, not answered");
        return;
    }
    const auto length = settings_.replyLength.find(command);
    if (length == settings_.replyLength.end() || !IsReplyLength(length->second)) {
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
    const std::string reply = BuildDiBusReply(frame, settings_.address, word, length->second, settings_.corruption);
    writer_.Enqueue(SentKind::Reply, reply, settings_.replySplit, now + Ms(settings_.replyDelayMs));
}

}  // namespace qel
