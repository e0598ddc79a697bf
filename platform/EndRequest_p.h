#pragma once
// Not part of the program's interface: for tests that deliver a termination signal to
// themselves and go on afterwards.

namespace qel {

// Forgets a request.
void ClearEndRequest() noexcept;

}  // namespace qel
