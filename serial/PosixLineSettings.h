#pragma once
#include "PortBackend.h"

namespace qel {

// The system's ioctl, through which every request of ApplyPosixLineSettings goes.
using LineIoctlCall = int (*)(int fd, unsigned long request, void* argument);
int SystemLineIoctl(int fd, unsigned long request, void* argument);

// Pushes the whole line setting to an open terminal in one TCSETS2 (exact speed, raw mode,
// non-blocking reads), then sets DTR and RTS. Every error is ignored. The requests go
// through `ioctlCall`, so a test can see each one that would reach the kernel (a
// pseudo-terminal keeps neither parity nor data bits nor modem lines).
void ApplyPosixLineSettings(int fd, const LineSettings& settings, LineIoctlCall ioctlCall = &SystemLineIoctl);

}  // namespace qel
