#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Splits the bytes a host sends to a QEL-1M into request frames. A frame is taken only when
// its header checksum and its data checksum hold; bytes before a valid header are skipped
// one at a time, so the parser finds the next frame after noise.
class DiBusRequestParser {
public:
    struct Event {
        bool frame = false;   // true: `bytes` is a whole valid request
        std::string bytes;
        std::string reason;   // why bytes were ignored
    };

    std::vector<Event> Feed(std::string_view bytes);
    // Drops an incomplete frame (called when the line has been quiet too long).
    std::vector<Event> DropPending();
    bool Pending() const { return !buffer_.empty(); }

private:
    std::string buffer_;
};

// Ways to spoil a reply for tests of the host's checks.
enum class ReplyCorruption { None, HeaderChecksum, ReversedHeaderChecksum, DataChecksum };

// Reply lengths the simulator can give:
//  13  the first 13 bytes of a header (too short for any frame)
//  14  the short form: header with data length 0 and its checksum
//  18  the full form with data length 0 (data checksum 00 00 00 00)
//  20  the short form followed by 6 further bytes
//  25  the 26-byte reply without its last byte
//  26  a frame with 8 data bytes; data bytes 2-3 are the value word, little-endian
//  27  a frame with 9 data bytes (the 8 above and 00)
bool IsReplyLength(int length);

// The command codes the device answers, with the reply length of a sound device.
inline constexpr uint8_t kPollCommandCode = 6;
inline constexpr uint8_t kZeroCommandCode = 8;
inline constexpr int kPollReplyLength = 26;
inline constexpr int kZeroReplyLength = 14;

// The reply to `request` (a valid frame): addressed back to the request's sender, from
// `sourceAddress` (3 bytes), with the request's command and parameter, in the given length
// (see IsReplyLength), then spoiled as asked.
std::string BuildDiBusReply(std::string_view request, std::string_view sourceAddress, uint16_t valueWord,
                            int length, ReplyCorruption corruption);

// "1.23.45" from three address bytes.
std::string AddressText(std::string_view address);

}  // namespace qel
