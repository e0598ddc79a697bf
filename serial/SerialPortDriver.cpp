#include "SerialPortDriver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "DriverEvent.h"

namespace qel {

namespace {

constexpr uint32_t kNotConnectedCount = 65535;
// Longest single sleep of a blocking loop; the loop re-examines the port after each.
constexpr uint32_t kWaitSliceMs = 20;
// Windows timers never fire faster than this; a QTimer of period 0 would fire on every
// pass of the event loop.
constexpr uint32_t kMinTimerPeriodMs = 10;

TickSourceFactory& DefaultTickSourceFactory() {
    static TickSourceFactory factory;
    return factory;
}

// How long a blocking loop may sleep when `elapsed` of `timeout` ms have passed without
// progress: just past the timeout, so the next pass sees it expired, but at most one slice.
uint32_t WaitSlice(uint32_t elapsed, uint32_t timeout) {
    const uint32_t remaining = timeout - elapsed;
    return remaining >= kWaitSliceMs ? kWaitSliceMs : remaining + 1;
}

}  // namespace

void SetDefaultTickSourceFactory(TickSourceFactory factory) {
    DefaultTickSourceFactory() = std::move(factory);
}

uint32_t BaudRateValue(TComPortBaudRate rate) {
    static constexpr uint32_t kRates[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                          14400, 19200, 38400, 56000, 57600, 115200};
    const auto index = static_cast<std::size_t>(rate);
    return index < std::size(kRates) ? kRates[index] : 0;
}

int32_t TransmitTime(TComPortBaudRate speed, int32_t n) {
    const uint32_t baud = BaudRateValue(speed);
    if (baud == 0) return 0;
    const double ms = static_cast<double>(n) / (static_cast<double>(baud) / 10.0) * 1000.0;
    // Nearest integer, halves to the even neighbour.
    double whole = std::floor(ms);
    const double fraction = ms - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (whole <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(whole);
}

std::string DefaultDevicePath(TComPortNumber port) {
    return "/dev/ttyS" + std::to_string(static_cast<unsigned>(port));
}

TSerialPortDriver::TSerialPortDriver(std::unique_ptr<PortBackend> backend, Clock* clock,
                                     std::unique_ptr<TickSource> ticks)
    : backend_(std::move(backend)), clock_(clock ? clock : &SystemClock()), ticks_(std::move(ticks)) {
    try {
        if (!backend_) backend_ = MakeSystemPortBackend();
        if (!ticks_ && DefaultTickSourceFactory()) ticks_ = DefaultTickSourceFactory()();
    } catch (...) {
        // Without a backend the driver never connects; without ticks the owner polls.
    }
    ReallocateBuffer();
}

TSerialPortDriver::~TSerialPortDriver() { Disconnect(); }

void TSerialPortDriver::ReallocateBuffer() {
    receiveBuffer_ = std::vector<uint8_t>();  // the old block goes first
    try {
        receiveBuffer_.resize(inBufSize_);
    } catch (const std::bad_alloc&) {
        // Every access is bounded by the buffer's actual size, so an empty one is safe.
        receiveBuffer_.clear();
    }
}

bool TSerialPortDriver::Connect() {
    if (connected_) return true;
    openFailure_ = PortOpenFailure{PortOpenError::Other, 0, {}};
    if (!backend_) return false;
    try {
        devicePath_ = DevicePathOf ? DevicePathOf(comPort_) : DefaultDevicePath(comPort_);
    } catch (...) {
        devicePath_.clear();
        return false;
    }
    if (!backend_->Open(devicePath_)) {
        openFailure_ = backend_->LastOpenFailure();
        if (openFailure_.reason == PortOpenError::None) openFailure_.reason = PortOpenError::Other;
        return false;
    }
    openFailure_ = {};
    connected_ = true;
    lineLost_ = false;
    ApplySettings();
    StartTicks();
    return true;
}

void TSerialPortDriver::Disconnect() {
    if (!connected_) return;
    if (ticks_) ticks_->Stop();
    backend_->Close();
    connected_ = false;
    lineLost_ = false;
}

bool TSerialPortDriver::IsConnected() const { return connected_; }

void TSerialPortDriver::StartTicks() {
    if (!ticks_) return;
    try {
        ticks_->Start(std::max<uint32_t>(pollingDelay_, kMinTimerPeriodMs), [this] { PollTick(); });
    } catch (...) {
        // A timer that cannot start leaves the port connected but unpolled.
    }
}

LineSettings TSerialPortDriver::CurrentLineSettings() const {
    LineSettings s;
    s.baudRate = BaudRateValue(speed_);
    s.dataBits = 5 + static_cast<int>(dataBits_);
    s.parity = static_cast<int>(parity_);
    s.stopBits = static_cast<int>(stopBits_);
    s.rtsCtsFlow = hw_ == hhRTSCTS;
    s.xonXoff = sw_ == shXONXOFF;
    s.dtrOn = enableDtr_;
    s.rtsOn = hw_ != hhNONE;  // with hhRTSCTS the line starts raised, then flow control drives it
    return s;
}

void TSerialPortDriver::ApplySettings() {
    if (!connected_) return;
    backend_->Configure(CurrentLineSettings());
    Purge(true, true);
    // Queue sizes cannot be set on this platform; the driver's own sizes still rule
    // OutputFree and the receive buffer.
}

void TSerialPortDriver::Purge(bool input, bool output) {
    if (!connected_) return;
    backend_->Purge(input, output);
    packetBeginTick_ = kNoPacketTick;
}

uint32_t TSerialPortDriver::InputCount() {
    if (!connected_) return kNotConnectedCount;
    uint32_t in = 0;
    if (!backend_->InputQueue(in)) return 0;
    return in;
}

uint16_t TSerialPortDriver::OutputFree() {
    if (!connected_) return static_cast<uint16_t>(kNotConnectedCount);
    uint32_t in = 0, out = 0;
    if (!backend_->QueueCounts(in, out)) out = 0;
    return static_cast<uint16_t>(outBufSize_ - static_cast<uint16_t>(out));
}

uint32_t TSerialPortDriver::SendWithTimeout(const void* data, uint32_t count, uint32_t timeoutMs) {
    if (!connected_) return 0;
    auto bytes = static_cast<const uint8_t*>(data);
    uint32_t written = 0;
    uint32_t last = clock_->NowMs();
    while (count > 0) {
        const uint16_t room = OutputFree();
        if (room > 0) {
            if (checkLineStatus_ && ModemLines() == 0) break;
            const std::size_t w = backend_->Write(bytes, std::min<uint32_t>(count, room));
            if (w > 0) {
                const auto n = static_cast<uint32_t>(std::min<std::size_t>(w, count));
                written += n;
                count -= n;
                bytes += n;
                last = clock_->NowMs();
                continue;
            }
        }
        const uint32_t elapsed = clock_->NowMs() - last;
        if (elapsed > timeoutMs) break;
        // The kernel wakes us when its queue takes bytes again; a full driver-side
        // budget (room 0) has no such event, so that case simply sleeps a little.
        const uint32_t wait = WaitSlice(elapsed, timeoutMs);
        if (room > 0)
            backend_->WaitWritable(wait);
        else
            clock_->SleepMs(std::min<uint32_t>(wait, 2));
    }
    return written;
}

uint32_t TSerialPortDriver::Send(const void* data, uint32_t count) {
    return SendWithTimeout(data, count, outputTimeout_);
}

bool TSerialPortDriver::SendText(const std::string& text) {
    if (text.empty()) return true;
    if (text.size() > std::numeric_limits<uint32_t>::max()) return false;
    const auto length = static_cast<uint32_t>(text.size());
    return Send(text.data(), length) == length;
}

uint32_t TSerialPortDriver::Read(void* buffer, uint32_t count) {
    return ReadUntilComplete(buffer, count, nullptr, 0);
}

uint32_t TSerialPortDriver::ReadUntilComplete(void* buffer, uint32_t count, const ReadComplete& complete,
                                              uint32_t confirmMs, uint32_t heldOver) {
    if (!connected_) return 0;
    HoldPolling();
    auto* const first = static_cast<uint8_t*>(buffer);
    auto bytes = first;
    uint32_t got = 0;
    uint32_t last = clock_->NowMs();
    // The whole call lasts at most the time the bytes take on the line plus five input
    // timeouts: a line that trickles a byte now and then, never silent for the timeout,
    // would otherwise hold the caller (and with it the window) for as long as it likes,
    // while a packet in up to five pieces, each gap under the input timeout, still joins.
    const uint32_t start = last;
    const uint32_t bound = ReadBound(count);
    bool whole = false;  // the bytes so far are complete, and more than the held-over ones
    while (count > 0) {
        const uint32_t waiting = InputCount();
        if (heldOver == kWaitingAtStart) heldOver = waiting;
        if (waiting > 0) {
            const std::size_t r = backend_->Read(bytes, std::min(waiting, count));
            if (r > 0) {
                const auto n = static_cast<uint32_t>(std::min<std::size_t>(r, count));
                got += n;
                count -= n;
                bytes += n;
                last = clock_->NowMs();
                whole = complete && got > heldOver && complete(first, got);
                continue;
            }
        }
        const uint32_t now = clock_->NowMs();
        const uint32_t elapsed = now - last;
        const uint32_t total = now - start;
        if (elapsed > inputTimeout_ || total > bound) break;
        if (whole && elapsed > confirmMs) break;
        uint32_t wait = std::min(WaitSlice(elapsed, inputTimeout_), WaitSlice(total, bound));
        if (whole) wait = std::min(wait, WaitSlice(elapsed, confirmMs));
        backend_->WaitReadable(wait);
    }
    ReleasePolling();
    return got;
}

uint32_t TSerialPortDriver::ReadBound(uint32_t count) const {
    const auto n = static_cast<int32_t>(std::min<uint32_t>(count, std::numeric_limits<int32_t>::max()));
    const uint64_t bound = static_cast<uint64_t>(std::max(TransmitTime(speed_, n), 0)) +
                           uint64_t{kReadBoundTimeouts} * inputTimeout_;
    return static_cast<uint32_t>(std::min<uint64_t>(bound, std::numeric_limits<uint32_t>::max()));
}

void TSerialPortDriver::HoldPolling() { ++pollHoldCount_; }

void TSerialPortDriver::ReleasePolling() { --pollHoldCount_; }

void TSerialPortDriver::PollTick() {
    if (!connected_ || pollHoldCount_ > 0 || lineLost_) return;
    uint32_t waiting = 0;
    if (backend_->ProbeLine(waiting)) {
        // Told once; from now on the tick has nothing to do until the port is closed.
        lineLost_ = true;
        if (OnLineLost) {
            TComPortLineLostEvent handler;
            try {
                handler = OnLineLost;
            } catch (...) {
                return;
            }
            handler(this);
        }
        return;
    }
    if (packetSize_ >= 1) {
        PollPackets(waiting);
        return;
    }
    // Stream mode: one read of what fits into the buffer; the rest stays queued.
    const uint32_t n = std::min<uint32_t>(waiting, static_cast<uint32_t>(receiveBuffer_.size()));
    if (n == 0) return;
    const std::size_t r = backend_->Read(receiveBuffer_.data(), n);
    if (r == 0) return;
    RaiseDriverEvent(OnReceiveData, this, receiveBuffer_.data(), r);
}

void TSerialPortDriver::SetComPort(TComPortNumber v) {
    if (!connected_) comPort_ = v;
}

void TSerialPortDriver::SetComPortSpeed(TComPortBaudRate v) {
    speed_ = v;
    ApplySettings();
}

void TSerialPortDriver::SetComPortInBufSize(uint16_t v) {
    if (connected_) return;
    inBufSize_ = v;
    ReallocateBuffer();
    SetPacketSize(packetSize_);
}

void TSerialPortDriver::SetComPortOutBufSize(uint16_t v) {
    if (!connected_) outBufSize_ = v;
}

void TSerialPortDriver::SetComPortPollingDelay(uint16_t v) {
    if (v == pollingDelay_) return;
    if (connected_ && ticks_) ticks_->Stop();
    pollingDelay_ = v;
    if (connected_) StartTicks();
    SetPacketTimeout(packetTimeout_);
}

}  // namespace qel
