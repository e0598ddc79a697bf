#pragma once
// Regional settings a test sets for the life of an object, restored when it goes.
#include "Regional.h"

namespace qel::test {

class RegionalGuard {
public:
    explicit RegionalGuard(const RegionalSettings& settings) : saved_(Regional()) { SetRegional(settings); }
    ~RegionalGuard() { SetRegional(saved_); }
    RegionalGuard(const RegionalGuard&) = delete;
    RegionalGuard& operator=(const RegionalGuard&) = delete;

private:
    RegionalSettings saved_;
};

}  // namespace qel::test
