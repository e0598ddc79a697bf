#include "SimDiBusDevice.h"

#include <algorithm>

#include "DiBusModTransport.h"

namespace qel {
namespace {

std::size_t DataLength(std::string_view header) {
    return static_cast<unsigned char>(header[8]) + 256u * static_cast<unsigned char>(header[9]);
}

}  // namespace

std::vector<DiBusRequestParser::Event> DiBusRequestParser::Feed(std::string_view bytes) {
    buffer_.append(bytes);
    std::vector<Event> events;
    std::string skipped;
    auto flushSkipped = [&] {
        if (!skipped.empty()) events.push_back({false, std::move(skipped), "no valid frame header"});
        skipped.clear();
    };
    std::size_t pos = 0;
    while (buffer_.size() - pos >= kShortFrameSize) {
        const std::string_view rest = std::string_view(buffer_).substr(pos);
        if (ChecksumBytes(rest.substr(0, kFrameHeaderSize)) != rest.substr(kFrameHeaderSize, kChecksumSize)) {
            skipped.push_back(rest[0]);
            ++pos;
            continue;
        }
        const std::size_t total = DataLength(rest) + kFrameOverhead;
        if (rest.size() < total) break;  // wait for the rest of the frame
        flushSkipped();
        const std::string_view data = rest.substr(kShortFrameSize, total - kFrameOverhead);
        if (ChecksumBytes(data) == rest.substr(total - kChecksumSize, kChecksumSize)) {
            events.push_back({true, std::string(rest.substr(0, total)), {}});
        } else {
            events.push_back({false, std::string(rest.substr(0, total)), "data checksum does not match"});
        }
        pos += total;
    }
    flushSkipped();
    buffer_.erase(0, pos);
    return events;
}

std::vector<DiBusRequestParser::Event> DiBusRequestParser::DropPending() {
    std::vector<Event> events;
    if (!buffer_.empty()) events.push_back({false, std::move(buffer_), "incomplete frame"});
    buffer_.clear();
    return events;
}

bool IsReplyLength(int length) {
    switch (length) {
        case 13: case 14: case 18: case 20: case 25: case 26: case 27:
            return true;
        default:
            return false;
    }
}

std::string AddressText(std::string_view address) {
    std::string text;
    for (std::size_t i = 0; i < 3 && i < address.size(); ++i) {
        if (i > 0) text.push_back('.');
        text += std::to_string(static_cast<unsigned char>(address[i]));
    }
    return text;
}

std::string BuildDiBusReply(std::string_view request, std::string_view sourceAddress, uint16_t valueWord,
                            int length, ReplyCorruption corruption) {
    const std::string to = AddressText(request.substr(3, 3));
    const std::string from = AddressText(sourceAddress);
    const auto command = static_cast<uint8_t>(request[6]);
    const auto parameter = static_cast<uint8_t>(request[7]);
    std::string data(8, '\0');
    data[2] = static_cast<char>(valueWord & 0xFF);
    data[3] = static_cast<char>(valueWord >> 8);

    std::string reply;
    switch (length) {
        case 13:
        case 14:
            reply = BuildFrame(to, from, command, parameter, {}).substr(0, static_cast<std::size_t>(length));
            break;
        case 18:
            reply = BuildFrame(to, from, command, parameter, {});
            break;
        case 20:
            reply = BuildFrame(to, from, command, parameter, {}).substr(0, kShortFrameSize) + data.substr(0, 6);
            break;
        case 25:
            reply = BuildFrame(to, from, command, parameter, data).substr(0, 25);
            break;
        case 27:
            reply = BuildFrame(to, from, command, parameter, data + std::string(1, '\0'));
            break;
        default:
            reply = BuildFrame(to, from, command, parameter, data);
            break;
    }
    switch (corruption) {
        case ReplyCorruption::None:
            break;
        case ReplyCorruption::HeaderChecksum:
            if (reply.size() > kFrameHeaderSize) reply[kFrameHeaderSize] = static_cast<char>(~reply[kFrameHeaderSize]);
            break;
        case ReplyCorruption::ReversedHeaderChecksum:
            if (reply.size() >= kShortFrameSize) {
                std::reverse(reply.begin() + kFrameHeaderSize, reply.begin() + kShortFrameSize);
            }
            break;
        case ReplyCorruption::DataChecksum:
            if (reply.size() > kShortFrameSize) reply.back() = static_cast<char>(~reply.back());
            break;
    }
    return reply;
}

}  // namespace qel
