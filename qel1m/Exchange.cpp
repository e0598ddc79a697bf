#include "Exchange.h"

#include <array>
#include <string_view>

#include "DiBusModTransport.h"
#include "SerialPortDriver.h"

namespace qel {

namespace {

// A whole received reply, checked as a frame; empty when it is not acceptable.
std::string CheckedReply(std::string_view r) {
    if (r.size() < kShortFrameSize) return {};
    if (ChecksumBytes(r.substr(0, kFrameHeaderSize)) != r.substr(kFrameHeaderSize, kChecksumSize)) return {};
    const std::size_t length = static_cast<uint8_t>(r[8]) + 256u * static_cast<uint8_t>(r[9]);
    // Without data neither the total length nor a data checksum is checked.
    if (length == 0) return std::string(r);
    if (r.size() != length + kFrameOverhead) return {};
    if (ChecksumBytes(r.substr(kShortFrameSize, length)) != r.substr(r.size() - kChecksumSize)) return {};
    return std::string(r);
}

// ReadReply that also tells how many bytes the read gave.
std::string ReadReplyCounting(TSerialPortDriver& driver, uint32_t& bytesRead) {
    std::array<char, kReplyBufferSize> buffer{};
    bytesRead = driver.Read(buffer.data(), kReplyReadSize);
    if (bytesRead > kReplyReadSize) bytesRead = kReplyReadSize;  // never trust a count beyond the request
    return CheckedReply(std::string_view(buffer.data(), bytesRead));
}

}  // namespace

std::string ReadReply(TSerialPortDriver& driver) {
    uint32_t bytesRead = 0;
    return ReadReplyCounting(driver, bytesRead);
}

std::string Exchange(TSerialPortDriver& driver, const std::string& frame, Clock& clock) {
    std::string reply;
    try {
        driver.SendText(frame);
        const uint32_t start = clock.NowMs();
        for (;;) {
            uint32_t bytesRead = 0;
            reply = ReadReplyCounting(driver, bytesRead);
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
