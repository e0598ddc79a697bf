#include "DiagnosticLines.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qel {

void DiagnosticLines::Append(std::string_view line) {
    // A line is cut only where nothing could show it anyway (4 GiB).
    const std::size_t length = std::min<std::size_t>(line.size(), std::numeric_limits<uint32_t>::max());
    if (blocks_.empty() || length > kBlockSize - used_) {
        // A new block; a line longer than a block gets one of its own size.
        blocks_.push_back(std::make_unique<char[]>(std::max(length, kBlockSize)));
        used_ = 0;
    }
    if (length > 0) std::memcpy(blocks_.back().get() + used_, line.data(), length);
    refs_.push_back(Ref{static_cast<uint32_t>(blocks_.size() - 1), static_cast<uint32_t>(used_),
                        static_cast<uint32_t>(length)});
    // A block that a long line has to itself is full.
    used_ = length > kBlockSize ? kBlockSize : used_ + length;
}

void DiagnosticLines::Clear() {
    blocks_.clear();
    refs_.clear();
    refs_.shrink_to_fit();
    used_ = kBlockSize;
}

std::string_view DiagnosticLines::Line(std::size_t index) const {
    const Ref& ref = refs_.at(index);
    return {blocks_[ref.block].get() + ref.offset, ref.length};
}

std::vector<std::string> DiagnosticLines::All() const {
    std::vector<std::string> lines;
    lines.reserve(refs_.size());
    for (std::size_t i = 0; i < refs_.size(); ++i) lines.emplace_back(Line(i));
    return lines;
}

}  // namespace qel
