#pragma once
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel {

// The text of a profile (INI) file as the file holds it, and the Windows rules for
// finding and writing keys in it (see ProfileFile.h). Names, values and text here are the
// file's own bytes; turning them into the program's text is the caller's part. Each
// operation goes over the text once, whatever the number of keys.

// The values of `keys` in the first section named `section`: the first matching key line
// of that section, blanks around the value and one pair of outer quotes removed.
// nullopt where the key is absent or its line has no "=".
std::vector<std::optional<std::string_view>> FindProfileValues(std::string_view text, std::string_view section,
                                                               const std::vector<std::string>& keys);

// A value found, and whether its line is UTF-8 (IsUtf8Line) rather than code page 1251.
struct ProfileValue {
    std::string_view bytes;
    bool utf8 = false;
};
// As FindProfileValues, with the encoding of each value's line. Names in UTF-8 lines are
// matched in their code page 1251 form.
std::vector<std::optional<ProfileValue>> FindProfileLineValues(std::string_view text, std::string_view section,
                                                               const std::vector<std::string>& keys);

// Key and value pairs to write, in order; names trimmed, no line breaks anywhere.
using ProfileEntries = std::vector<std::pair<std::string, std::string>>;

// New text as pieces: views into the old text and into `added`, to be written in order.
struct ProfileRewrite {
    ProfileRewrite() = default;
    ProfileRewrite(ProfileRewrite&&) = default;  // a move keeps the views valid, a copy would not
    ProfileRewrite& operator=(ProfileRewrite&&) = default;
    ProfileRewrite(const ProfileRewrite&) = delete;
    ProfileRewrite& operator=(const ProfileRewrite&) = delete;

    std::deque<std::string> added;
    std::vector<std::string_view> pieces;
    std::string Joined() const;
};

// The text after writing each entry into `section`, one after the other, by the rules:
// an existing key is replaced in place (its name as the file spells it when that is
// ASCII, else as the entry gives it), a new key goes right after the last key line of
// its section, a missing section goes at the end of the text. The result is byte for byte
// that of the single writes in turn. `text` must outlive the result.
ProfileRewrite WriteProfileValues(std::string_view text, std::string_view section, const ProfileEntries& entries);

}  // namespace qel
