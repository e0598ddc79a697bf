#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// The lines of the diagnostics list, oldest first, kept compactly: the text of many lines
// shares one block, and each line costs its bytes and a small reference. Appending costs
// the same however many lines there are, and a line's text never moves once stored.
//
// The list is bounded, so that a line that stays noisy for weeks cannot use up the memory:
// an append that finds it full drops the oldest tenth at once and adds one line, before
// the new one, that says how many were dropped.
class DiagnosticLines {
public:
    static constexpr std::size_t kDefaultBound = 500000;
    explicit DiagnosticLines(std::size_t bound = kDefaultBound);

    // Returns how many of the oldest lines were dropped to make room (0 as a rule).
    std::size_t Append(std::string_view line);
    void Clear();
    std::size_t Count() const { return refs_.size(); }
    bool Empty() const { return refs_.empty(); }
    std::size_t Bound() const { return bound_; }
    // The line at `index` (0 = oldest); valid until Clear or until it is dropped.
    std::string_view Line(std::size_t index) const;
    std::vector<std::string> All() const;

    // The line that stands for `dropped` lines dropped at the bound.
    static std::string DroppedLinesText(std::size_t dropped, std::size_t bound);

    static constexpr std::size_t kBlockSize = 64 * 1024;

private:
    struct Ref {
        uint64_t block;  // counted from the first block ever made, so dropping keeps it valid
        uint32_t offset;
        uint32_t length;
    };
    void Store(std::string_view line);
    std::size_t DropOldest(std::size_t count);

    std::size_t bound_;
    std::deque<std::unique_ptr<char[]>> blocks_;
    uint64_t firstBlock_ = 0;        // number of blocks_.front()
    std::size_t used_ = kBlockSize;  // bytes used in the last block; full when there is none
    std::deque<Ref> refs_;
};

}  // namespace qel
