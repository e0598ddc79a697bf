#include "Exchange.h"

#include <array>
#include <string_view>

#include "DiBusModTransport.h"
#include "SerialPortDriver.h"

namespace qel {

namespace {

// Whether the received bytes form an acceptable reply.
bool Acceptable(std::string_view r) {
    if (r.size() < kShortFrameSize) return false;
    if (ChecksumBytes(r.substr(0, kFrameHeaderSize)) != r.substr(kFrameHeaderSize, kChecksumSize)) return false;
    const std::size_t length =
        static_cast<uint8_t>(r[kLengthOffset]) + 256u * static_cast<uint8_t>(r[kLengthOffset + 1]);
    // Without data neither the total length nor a data checksum is checked.
    if (length == 0) return true;
    if (r.size() != length + kFrameOverhead) return false;
    return ChecksumBytes(r.substr(kShortFrameSize, length)) == r.substr(r.size() - kChecksumSize);
}

// ReadReply that also tells how many bytes the read gave.
// `heldOver`: the bytes that were waiting before the request went out, left from before.
std::string ReadReplyCounting(TSerialPortDriver& driver, uint32_t& bytesRead,
                              uint32_t heldOver = TSerialPortDriver::kWaitingAtStart) {
    std::array<char, kReplyBufferSize> buffer{};
    // The read ends soon after the reply is whole, not after the input timeout of silence.
    const auto whole = [](const uint8_t* bytes, uint32_t count) {
        return Acceptable(std::string_view(reinterpret_cast<const char*>(bytes), count));
    };
    bytesRead = driver.ReadUntilComplete(buffer.data(), kReplyReadSize, whole, ReplyConfirmSilence, heldOver);
    if (bytesRead > kReplyReadSize) bytesRead = kReplyReadSize;  // never trust a count beyond the request
    const std::string_view received(buffer.data(), bytesRead);
    return Acceptable(received) ? std::string(received) : std::string();
}

}  // namespace

std::string ReadReply(TSerialPortDriver& driver) {
    uint32_t bytesRead = 0;
    return ReadReplyCounting(driver, bytesRead);
}

std::string Exchange(TSerialPortDriver& driver, const std::string& frame, Clock& clock) {
    std::string reply;
    try {
        // What waits before the request goes out is left from before; a reply that has all
        // come by the time the read begins is still the reply.
        uint32_t heldOver = driver.IsConnected() ? driver.InputCount() : 0;
        driver.SendText(frame);
        const uint32_t start = clock.NowMs();
        for (;;) {
            uint32_t bytesRead = 0;
            reply = ReadReplyCounting(driver, bytesRead, heldOver);
            // A further attempt reads on after what the one before took.
            heldOver = TSerialPortDriver::kWaitingAtStart;
            if (!reply.empty()) break;
            if (TimedOut(clock.NowMs(), start, ReplyDeadline)) break;
            // A read that gave nothing returned at once (the port is closed): wait a little
            // rather than spin through the deadline.
            if (bytesRead == 0) clock.SleepMs(1);
        }
    } catch (...) {
        reply.clear();
    }
    return reply;
}

}  // namespace qel
