// The kernel's own termios2 interface: the only way to set speeds that have no B constant
// (14400, 56000). <asm/termbits.h> clashes with <termios.h>, so this file keeps to it.
#include "PosixLineSettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace qel {

namespace {

tcflag_t DataBitsFlag(int dataBits) {
    switch (dataBits) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

tcflag_t ParityFlags(int parity) {
    switch (parity) {
        case 1: return PARENB | PARODD;           // odd
        case 2: return PARENB;                    // even
        case 3: return PARENB | CMSPAR | PARODD;  // mark
        case 4: return PARENB | CMSPAR;           // space
        default: return 0;
    }
}

}  // namespace

int SystemLineIoctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }

void ApplyPosixLineSettings(int fd, const LineSettings& s, LineIoctlCall ioctlCall) {
    struct termios2 t {};
    if (ioctlCall(fd, TCGETS2, &t) == 0) {
        // Raw bytes both ways; received parity is not checked.
        t.c_iflag = s.xonXoff ? (IXON | IXOFF) : 0;
        t.c_oflag = 0;
        t.c_lflag = 0;
        tcflag_t c = BOTHER | (BOTHER << IBSHIFT) | CREAD | CLOCAL | HUPCL;
        c |= DataBitsFlag(s.dataBits);
        c |= ParityFlags(s.parity);
        if (s.stopBits != 0) c |= CSTOPB;  // one and a half is CSTOPB too
        if (s.rtsCtsFlow) c |= CRTSCTS;
        t.c_cflag = c;
        t.c_ispeed = s.baudRate;
        t.c_ospeed = s.baudRate;
        // Reads return at once with whatever is there.
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        t.c_cc[VSTART] = 0x11;
        t.c_cc[VSTOP] = 0x13;
        (void)ioctlCall(fd, TCSETS2, &t);
    }
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    (void)ioctlCall(fd, s.dtrOn ? TIOCMBIS : TIOCMBIC, &dtr);
    (void)ioctlCall(fd, s.rtsOn ? TIOCMBIS : TIOCMBIC, &rts);
}

}  // namespace qel
