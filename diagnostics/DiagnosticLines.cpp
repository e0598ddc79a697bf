#include "DiagnosticLines.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace qel {

DiagnosticLines::DiagnosticLines(std::size_t bound) : bound_(std::max<std::size_t>(bound, 10)) {}

std::string DiagnosticLines::DroppedLinesText(std::size_t dropped, std::size_t bound) {
    return "Из списка удалены самые старые строки (" + std::to_string(dropped) + "): он хранит не более " +
           std::to_string(bound) + " строк";
}

std::size_t DiagnosticLines::Append(std::string_view line) {
    std::size_t dropped = 0;
    if (refs_.size() >= bound_) {
        dropped = DropOldest(bound_ / 10);
        Store(DroppedLinesText(dropped, bound_));
    }
    Store(line);
    return dropped;
}

void DiagnosticLines::Store(std::string_view line) {
    // A line is cut only where nothing could show it anyway (4 GiB).
    const std::size_t length = std::min<std::size_t>(line.size(), std::numeric_limits<uint32_t>::max());
    if (blocks_.empty() || length > kBlockSize - used_) {
        // A new block; a line longer than a block gets one of its own size.
        blocks_.push_back(std::make_unique<char[]>(std::max(length, kBlockSize)));
        used_ = 0;
    }
    if (length > 0) std::memcpy(blocks_.back().get() + used_, line.data(), length);
    refs_.push_back(Ref{firstBlock_ + blocks_.size() - 1, static_cast<uint32_t>(used_), static_cast<uint32_t>(length)});
    // A block that a long line has to itself is full.
    used_ = length > kBlockSize ? kBlockSize : used_ + length;
}

std::size_t DiagnosticLines::DropOldest(std::size_t count) {
    count = std::min(count, refs_.size());
    refs_.erase(refs_.begin(), refs_.begin() + static_cast<std::ptrdiff_t>(count));
    // Blocks that no line refers to any more are freed; the last block stays for new lines.
    const uint64_t firstUsed = refs_.empty() ? firstBlock_ + blocks_.size() - 1 : refs_.front().block;
    while (firstBlock_ < firstUsed && blocks_.size() > 1) {
        blocks_.pop_front();
        ++firstBlock_;
    }
    return count;
}

void DiagnosticLines::Clear() {
    blocks_.clear();
    refs_.clear();
    refs_.shrink_to_fit();
    firstBlock_ = 0;
    used_ = kBlockSize;
}

std::string_view DiagnosticLines::Line(std::size_t index) const {
    const Ref& ref = refs_.at(index);
    return {blocks_[static_cast<std::size_t>(ref.block - firstBlock_)].get() + ref.offset, ref.length};
}

std::vector<std::string> DiagnosticLines::All() const {
    std::vector<std::string> lines;
    lines.reserve(refs_.size());
    for (std::size_t i = 0; i < refs_.size(); ++i) lines.emplace_back(Line(i));
    return lines;
}

}  // namespace qel
