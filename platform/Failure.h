#pragma once
#include <string>
#include <utility>

namespace qel {

// The shape of a failure below the windows: the function gives false and, when the
// caller asks (`reason` not null), says why in the words the user is shown. Returns false
// for `return Fail(reason, ...);`.
inline bool Fail(std::string* reason, std::string why) {
    if (reason != nullptr) *reason = std::move(why);
    return false;
}

}  // namespace qel
