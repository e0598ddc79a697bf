#pragma once
#include "PortBackend.h"

namespace qel {

// Pushes the whole line setting to an open terminal in one TCSETS2 (exact speed, raw mode,
// non-blocking reads), then sets DTR and RTS. Every error is ignored.
void ApplyPosixLineSettings(int fd, const LineSettings& settings);

// Lets a test see every request that reaches the kernel (a pseudo-terminal keeps neither
// parity nor data bits nor modem lines); nullptr restores the system call.
using LineIoctlCall = int (*)(int fd, unsigned long request, void* argument);
void SetLineIoctlForTesting(LineIoctlCall call);

}  // namespace qel
