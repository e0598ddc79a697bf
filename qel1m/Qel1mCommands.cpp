#include "Qel1mCommands.h"

#include "DiBusModTransport.h"
#include "Exchange.h"
#include "Qel1mProtocol.h"
#include "numFormats.h"

namespace qel {

std::optional<PolledValue> PollValue(TSerialPortDriver& driver) {
    const std::string reply = Exchange(driver, PollRequest());
    if (reply.size() != kPollReplySize) return std::nullopt;
    return PolledValue{FloatToText(DecodeScaledValue(ValueWord(reply))), AddressNumberText(reply)};
}

bool ZeroDevice(TSerialPortDriver& driver) { return Exchange(driver, ZeroRequest()).size() == kZeroReplySize; }

}  // namespace qel
