#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "SimDiBusDevice.h"
#include "SimPacedWriter.h"

namespace qel {

// How a QEL-1M answers; set as a whole, under one lock.
struct Qel1mReplySettings {
    std::string address{"\x01\x17\x2D", 3};  // 1.23.45; cut or padded with 00 to three bytes
    // A silent device receives and counts requests but neither answers nor acts on them.
    bool silent = false;
    uint32_t replyDelayMs = 0;
    // How every reply goes on the line: cut up (pieces and the pause between them) and with
    // the bytes of `extra` after it.
    SendOptions replySplit;
    // The reply length for each command (see IsReplyLength); a command without one, or
    // with a length IsReplyLength refuses, is not answered.
    std::map<uint8_t, int> replyLength{{kPollCommandCode, kPollReplyLength}, {kZeroCommandCode, kZeroReplyLength}};
    ReplyCorruption corruption = ReplyCorruption::None;
};

// A QEL-1M: takes request frames out of what arrives (DiBusRequestParser), counts those
// addressed to it or to all, zeroes on the zero command, and answers each through the
// paced writer as its reply settings say. Thread-safe.
class SimQel1mDevice : public SimDevice {
public:
    // The line quiet this long drops an incomplete request.
    static constexpr uint32_t kRequestGapMs = 500;

    explicit SimQel1mDevice(SimPacedWriter& writer);

    Qel1mReplySettings ReplySettings() const;
    void SetReplySettings(const Qel1mReplySettings& settings);
    // Changes the settings in place under the device's lock; `change` must not call the device.
    void ChangeReplySettings(const std::function<void(Qel1mReplySettings&)>& change);

    void SetValueWord(uint16_t word);
    uint16_t ValueWord() const;  // now, the ramp included
    // The value grows by perSecond every second from the value it has now; 0 stops it.
    void SetRamp(double perSecond);

    // Valid requests addressed to this device (or to all), per command.
    unsigned RequestCount(uint8_t command) const;
    std::vector<std::string> Requests() const;
    // CLOCK_MONOTONIC (ns) at which each request of `command` was taken, in order.
    std::vector<int64_t> RequestTimesNs(uint8_t command) const;
    bool WaitRequests(uint8_t command, unsigned count, uint32_t timeoutMs) const;

    void Input(std::string_view bytes, std::vector<std::string>& log) override;
    uint32_t ExpireInput(SteadyClock::time_point now, uint32_t limitMs, std::vector<std::string>& log) override;
    void DropInput() override;

private:
    void HandleRequest(const std::string& frame, std::vector<std::string>& log);
    uint16_t ValueWordLocked(SteadyClock::time_point now) const;

    SimPacedWriter& writer_;

    mutable std::mutex mu_;
    mutable std::condition_variable requested_;
    Qel1mReplySettings settings_;

    DiBusRequestParser parser_;
    SteadyClock::time_point lastInput_;

    // The value is valueWord_, or with a ramp rampBase_ + rampPerSecond_ * (now - rampStart_).
    uint16_t valueWord_ = 0;
    double rampPerSecond_ = 0;
    double rampBase_ = 0;
    SteadyClock::time_point rampStart_;

    std::vector<std::string> requests_;
    std::map<uint8_t, std::vector<int64_t>> requestTimesNs_;
};

}  // namespace qel
