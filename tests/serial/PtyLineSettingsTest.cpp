// The line setting as the kernel keeps it, read back from a pseudo-terminal. (A pty
// forces 8 data bits without parity; everything else is kept as set.)
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <vector>

#include "PosixLineSettings.h"
#include "PtyDevice.h"

namespace qel::test {
namespace {

struct termios2 ReadBack(const LineSettings& s) {
    PtyDevice device;
    const int fd = ::open(device.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct termios2 t {};
    if (fd < 0) {
        ADD_FAILURE() << "cannot open " << device.SlavePath();
        return t;
    }
    ApplyPosixLineSettings(fd, s);
    EXPECT_EQ(ioctl(fd, TCGETS2, &t), 0);
    ::close(fd);
    return t;
}

TEST(PosixLineSettings, ExactSpeedRawModeAndNonBlockingReads) {
    LineSettings s;
    s.baudRate = 14400;  // no B constant exists for it
    s.stopBits = 1;      // one and a half
    s.rtsCtsFlow = true;
    s.xonXoff = true;
    const struct termios2 t = ReadBack(s);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(t.c_ospeed, 14400u);
    EXPECT_EQ(t.c_ispeed, 14400u);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);

    LineSettings plain;
    plain.baudRate = 56000;
    const struct termios2 u = ReadBack(plain);
    EXPECT_EQ(u.c_ospeed, 56000u);
    EXPECT_FALSE(u.c_cflag & (CSTOPB | CRTSCTS));
    EXPECT_EQ(u.c_iflag & (IXON | IXOFF), 0u);
}

// What reaches the kernel for settings a pseudo-terminal cannot keep.
struct SeenRequests {
    static inline struct termios2 set {};
    static inline std::vector<std::pair<unsigned long, int>> modem;
    static int Call(int, unsigned long request, void* argument) {
        if (request == TCGETS2) *static_cast<struct termios2*>(argument) = {};
        if (request == TCSETS2) set = *static_cast<struct termios2*>(argument);
        if (request == TIOCMBIS || request == TIOCMBIC) modem.emplace_back(request, *static_cast<int*>(argument));
        return 0;
    }
    SeenRequests() { modem.clear(); }
};

TEST(PosixLineSettings, DataBitsParityStopBitsAndModemLinesReachTheKernel) {
    struct Case {
        int dataBits, parity, stopBits;
        bool dtrOn, rtsOn;
        tcflag_t size, parityFlags;
        bool twoStopBits;
    };
    const Case cases[] = {
        {8, 0, 0, true, true, CS8, 0, false},
        {7, 1, 2, false, true, CS7, PARENB | PARODD, true},
        {6, 2, 1, true, false, CS6, PARENB, true},
        {5, 3, 0, false, false, CS5, PARENB | CMSPAR | PARODD, false},
        {8, 4, 2, true, true, CS8, PARENB | CMSPAR, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dataBits) + " bits, parity " + std::to_string(c.parity));
        SeenRequests seen;
        LineSettings s;
        s.baudRate = 9600;
        s.dataBits = c.dataBits;
        s.parity = c.parity;
        s.stopBits = c.stopBits;
        s.dtrOn = c.dtrOn;
        s.rtsOn = c.rtsOn;
        ApplyPosixLineSettings(-1, s, &SeenRequests::Call);
        EXPECT_EQ(SeenRequests::set.c_cflag & CSIZE, c.size);
        EXPECT_EQ(SeenRequests::set.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ((SeenRequests::set.c_cflag & CSTOPB) != 0, c.twoStopBits);
        const std::vector<std::pair<unsigned long, int>> modem{
            {c.dtrOn ? TIOCMBIS : TIOCMBIC, TIOCM_DTR}, {c.rtsOn ? TIOCMBIS : TIOCMBIC, TIOCM_RTS}};
        EXPECT_EQ(SeenRequests::modem, modem);
    }
}

}  // namespace
}  // namespace qel::test
