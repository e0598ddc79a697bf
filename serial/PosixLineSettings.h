#pragma once
#include "PortBackend.h"

namespace qel {

// Pushes the whole line setting to an open terminal in one TCSETS2 (exact speed, raw mode,
// non-blocking reads), then sets DTR and RTS. Every error is ignored.
void ApplyPosixLineSettings(int fd, const LineSettings& settings);

}  // namespace qel
