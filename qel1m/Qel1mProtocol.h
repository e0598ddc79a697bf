#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "DiBusModTransport.h"

namespace qel {

// The QEL-1M's side of its protocol, in frames of `DiBusModTransport`: the commands the
// program sends and the replies it takes as success.

// Addresses the program uses: every request goes to all devices from the computer.
inline constexpr const char* kBroadcastAddress = "255.255.255";
inline constexpr const char* kHostAddress = "1.1.1";

// Commands the program sends, each with parameter 1 and the one data byte 01.
inline constexpr uint8_t PollCommand = 6;  // read the current value
inline constexpr uint8_t ZeroCommand = 8;  // zero the device
inline constexpr uint8_t kCommandParameter = 1;
inline constexpr std::string_view kCommandData{"\x01", 1};

// A poll is answered by a full frame with 8 data bytes, data bytes 2 and 3 the value word
// (low byte first); a zero by the short form without data.
inline constexpr std::size_t kPollReplyDataSize = 8;
inline constexpr std::size_t kPollReplySize = kFrameOverhead + kPollReplyDataSize;  // 26
inline constexpr std::size_t kValueWordOffset = kShortFrameSize + 2;                // 16
inline constexpr std::size_t kZeroReplySize = kShortFrameSize;                      // 14

}  // namespace qel
