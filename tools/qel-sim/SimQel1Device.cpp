#include "SimQel1Device.h"

#include <algorithm>

namespace qel {

uint64_t SimQel1Device::SendPacket(const Qel1Fields& fields, bool badChecksum, const SendOptions& options) {
    std::lock_guard lock(mu_);
    lastRecord_ = BuildQel1Packet(fields);
    return writer_.Enqueue(SentKind::Packet, BuildQel1Packet(fields, badChecksum), options);
}

uint64_t SimQel1Device::SendRecord(const std::string& bytes, const SendOptions& options) {
    std::lock_guard lock(mu_);
    lastRecord_ = bytes;
    return writer_.Enqueue(SentKind::Packet, bytes, options);
}

void SimQel1Device::SetLastRecord(const std::string& packet) {
    std::lock_guard lock(mu_);
    lastRecord_ = packet;
}

std::string SimQel1Device::LastRecord() const {
    std::lock_guard lock(mu_);
    return lastRecord_;
}

void SimQel1Device::Input(std::string_view bytes, std::vector<std::string>& log) {
    std::lock_guard lock(mu_);
    const std::string window = commandTail_ + std::string(bytes);
    for (std::size_t at = window.find(kLastRecordCommand); at != std::string::npos;
         at = window.find(kLastRecordCommand, at + kLastRecordCommand.size())) {
        if (lastRecord_.empty()) {
            log.push_back("last-record command: no record sent yet, nothing to repeat");
        } else {
            log.push_back("last-record command: repeating the last record");
            writer_.Enqueue(SentKind::LastRecord, lastRecord_, {});
        }
    }
    const std::size_t keep = std::min(window.size(), kLastRecordCommand.size() - 1);
    commandTail_ = window.substr(window.size() - keep);
}

void SimQel1Device::DropInput() {
    std::lock_guard lock(mu_);
    commandTail_.clear();
}

}  // namespace qel
