#pragma once
// The texts of IP assignment, each in one place. The connect, send and timer
// texts are the device link's (core/link/LinkMessages.h).
#include "core/model/Message.h"

namespace varnel {

// The server socket could not be bound.
Message ReceiveFailedMessage();
// No answer of the gateway within 5000 ms during the DHCP switch.
Message DeviceNoAnswerMessage();

}  // namespace varnel
