#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// The lines of the diagnostics list, oldest first, kept compactly: the text of many lines
// shares one block, and each line costs its bytes and a small reference. Appending costs
// the same however many lines there are, and a line's text never moves once stored.
class DiagnosticLines {
public:
    void Append(std::string_view line);
    void Clear();
    std::size_t Count() const { return refs_.size(); }
    bool Empty() const { return refs_.empty(); }
    // The line at `index` (0 = oldest); valid until Clear.
    std::string_view Line(std::size_t index) const;
    std::vector<std::string> All() const;

    static constexpr std::size_t kBlockSize = 64 * 1024;

private:
    struct Ref {
        uint32_t block;
        uint32_t offset;
        uint32_t length;
    };
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = kBlockSize;  // bytes used in the last block; full when there is none
    std::vector<Ref> refs_;
};

}  // namespace qel
