#pragma once
#include <cstdint>
#include <string>

#include "Clock.h"

namespace qel {

class TSerialPortDriver;

// One request/reply exchange with a QEL-1M on a connection's driver.
inline constexpr uint32_t kReplyReadSize = 280;    // bytes asked of one read
inline constexpr uint32_t kReplyBufferSize = 300;  // room the read goes into
// How long the exchange keeps reading after the send; an elapsed time equal to it
// still gives one more attempt.
inline constexpr uint32_t ReplyDeadline = 100;  // ms

// How long the line must stay silent after the bytes read form an acceptable reply before
// the read takes it as whole. A USB serial adapter hands on what it has received when its
// latency timer runs out (16 ms by default), so one reply may arrive in pieces up to about
// 16 ms apart; the host polls the adapter every 1 ms on top, and the scheduler may add a
// few more. 40 ms is well beyond any such gap, yet short beside the 500 ms poll period.
// A byte that comes within it joins the reply and is checked with it.
inline constexpr uint32_t ReplyConfirmSilence = 40;  // ms

// One read of up to 280 bytes. The bytes read if they form an acceptable frame: at least
// 14 bytes whose header checksum holds, and either a data length of 0 (then any number of
// bytes is taken as it is) or exactly length + 18 bytes with a matching data checksum.
// Otherwise empty. The read ends once the bytes read are acceptable and ReplyConfirmSilence
// has passed without another byte; bytes that never become acceptable end it after the
// driver's input timeout of silence, as any read.
std::string ReadReply(TSerialPortDriver& driver);

// Sends the frame (its result unchecked), then reads until an acceptable reply comes or
// more than ReplyDeadline has passed. The input queue is not cleared first: bytes left
// from before are read with the reply and spoil it. Never throws; every failure gives an
// empty reply. When a read returns nothing at once (a closed port) the loop sleeps a
// millisecond between attempts instead of spinning.
std::string Exchange(TSerialPortDriver& driver, const std::string& frame, Clock& clock = SystemClock());

}  // namespace qel
