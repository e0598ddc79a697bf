#pragma once
// A bounded wait for tests that run no event loop.
#include <chrono>
#include <functional>
#include <thread>

namespace qel::test {

// Checks `done` every `pauseMs` until it holds or `timeoutMs` passed; tells whether it held.
inline bool PollUntil(const std::function<bool()>& done, int timeoutMs, int pauseMs = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    return true;
}

}  // namespace qel::test
