// Where the ports come from. The program always gets the socket ports; a
// test may hand its own (in-memory peers) to the code it tests.
#pragma once

#include <functional>
#include <memory>

#include "net/INetPort.h"

using PortMaker = std::function<std::unique_ptr<INetPort>(int kind)>;

// A new, unopened port of the kind (PORT_UDP or PORT_TCP) from maker, or a
// socket port when maker is empty; null for another kind.
std::unique_ptr<INetPort> MakePort(const PortMaker& maker, int kind);
